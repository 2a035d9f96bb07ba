#include "check.h"

int check_passed = 0;
int check_failed = 0;

void check_report(int ok, const char* file, int line, const char* what) {
  if (ok) {
    ++check_passed;
    return;
  }
  ++check_failed;
  printf("FAILED %s:%d: %s\n", file, line, what);
  fflush(stdout);
}

int check_summary(const char* suite) {
  printf("%s: %d passed, %d failed\n", suite, check_passed, check_failed);
  fflush(stdout);
  return check_failed == 0 && check_passed > 0 ? 0 : 1;
}
