/* check.h - the C test host's checks: each CHECK counts as passed or failed and a failure prints
 * its place; check_summary() prints "N passed, N failed" and gives the exit code. */
#ifndef APE_TEST_CHECK_H
#define APE_TEST_CHECK_H

#include <stdio.h>

extern int check_passed;
extern int check_failed;

void check_report(int ok, const char* file, int line, const char* what);
int check_summary(const char* suite);

#define CHECK(cond) check_report((cond) ? 1 : 0, __FILE__, __LINE__, #cond)
#define CHECK_EQ_U(actual, expected)                                                             \
  do {                                                                                           \
    unsigned long check_a_ = (unsigned long)(actual), check_e_ = (unsigned long)(expected);      \
    check_report(check_a_ == check_e_, __FILE__, __LINE__, #actual " == " #expected);            \
    if (check_a_ != check_e_)                                                                    \
      printf("    got 0x%lx (%lu), want 0x%lx (%lu)\n", check_a_, check_a_, check_e_, check_e_); \
  } while (0)
#define CHECK_EQ_S(actual, expected)                                                     \
  do {                                                                                   \
    const char* check_a_ = (actual);                                                     \
    const char* check_e_ = (expected);                                                   \
    int check_ok_ = check_a_ && strcmp(check_a_, check_e_) == 0;                         \
    check_report(check_ok_, __FILE__, __LINE__, #actual " == " #expected);               \
    if (!check_ok_)                                                                      \
      printf("    got \"%s\", want \"%s\"\n", check_a_ ? check_a_ : "(null)", check_e_); \
  } while (0)

#endif /* APE_TEST_CHECK_H */
