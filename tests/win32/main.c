/* The C test host: loads effect modules the way the visualisation host does and runs one suite or
 * tool per invocation. Written in C, so that it cannot share the modules' C++ ABI by accident.
 *
 *   abi <module> <short name> <long description>
 *   stack <module> <trace> <work dir>                  (Windows: misaligned stacks)
 *   exports <module>                                   (Windows)
 *   template <module> <about title> <credit line>      (Windows)
 *   panel <module>                                     (Windows, needs a display)
 *   screenshot <module> <out.bmp>                      (Windows, needs a display)
 *   make-trace <trace> <frames>
 *   render <module> <trace> <out.raw> <width> <height> <ticks> <default|cycling> [misalign]
 *   compare <a.raw> <b.raw> <width> <height>           (exit 0 only when identical)
 *   fuzz-replay <settings|frames> <coilfx> <blobfx> <corpus dir> */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "render_trace.h"
#include "suites.h"

#ifdef _WIN32
#include <windows.h>

/* A crash inside a module must fail the test with a clear line, not start a debugger. */
static LONG WINAPI report_crash(EXCEPTION_POINTERS* info) {
  printf("crash: exception 0x%08lX at %p\n", info->ExceptionRecord->ExceptionCode,
         info->ExceptionRecord->ExceptionAddress);
  fflush(stdout);
  ExitProcess(3);
  return EXCEPTION_EXECUTE_HANDLER;
}
#endif

static int usage(void) {
  printf("usage: see the comment at the top of main.c\n");
  return 2;
}

int main(int argc, char** argv) {
  setvbuf(stdout, NULL, _IONBF, 0);
#ifdef _WIN32
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(report_crash);
#endif
  if (argc < 2) return usage();
  const char* command = argv[1];
  if (strcmp(command, "abi") == 0 && argc == 5) return run_abi_suite(argv[2], argv[3], argv[4]);
  if (strcmp(command, "make-trace") == 0 && argc == 4) {
    return write_synthetic_trace(argv[2], atoi(argv[3])) ? 0 : 1;
  }
  if (strcmp(command, "render") == 0 && (argc == 9 || argc == 10)) {
    RenderSettings settings =
        strcmp(argv[8], "cycling") == 0 ? RENDER_CYCLING_SETTINGS : RENDER_DEFAULT_SETTINGS;
    int frames = render_trace(argv[2], argv[3], argv[4], atoi(argv[5]), atoi(argv[6]),
                              (uint32_t)strtoul(argv[7], NULL, 10), settings,
                              argc == 10 ? atoi(argv[9]) : 0);
    printf("%d frames rendered\n", frames);
    return frames > 0 ? 0 : 1;
  }
  if (strcmp(command, "compare") == 0 && argc == 6) {
    long differing = compare_frame_files(argv[2], argv[3], atoi(argv[4]), atoi(argv[5]));
    return differing == 0 ? 0 : 1;
  }
  if (strcmp(command, "fuzz-replay") == 0 && argc == 6) {
    return run_fuzz_replay(argv[2], argv[3], argv[4], argv[5]);
  }
#ifdef _WIN32
  if (strcmp(command, "stack") == 0 && argc == 5) return run_stack_suite(argv[2], argv[3], argv[4]);
  if (strcmp(command, "exports") == 0 && argc == 3) return run_exports_suite(argv[2]);
  if (strcmp(command, "template") == 0 && argc == 5) {
    return run_template_suite(argv[2], argv[3], argv[4]);
  }
  if (strcmp(command, "panel") == 0 && argc == 3) return run_panel_suite(argv[2]);
  if (strcmp(command, "screenshot") == 0 && argc == 4) return run_screenshot(argv[2], argv[3]);
#endif
  return usage();
}
