/* suites.h - the C test host's suites; each returns the process exit code. */
#ifndef APE_TEST_SUITES_H
#define APE_TEST_SUITES_H

int run_abi_suite(const char* module_path, const char* short_name, const char* long_name);
int run_stack_suite(const char* module_path, const char* trace_path, const char* work_dir);
int run_exports_suite(const char* module_path);
int run_template_suite(const char* module_path, const char* about_title, const char* credit);
int run_panel_suite(const char* module_path);
int run_screenshot(const char* module_path, const char* bmp_path);
int run_fuzz_replay(const char* kind, const char* coil_path, const char* blob_path,
                    const char* corpus_dir);

#endif /* APE_TEST_SUITES_H */
