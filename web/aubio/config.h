/* aubio's build configuration for the WebAssembly build of apehost's analysis: the configuration of
 * Debian's libaubio (single precision, FFTW3F's real transforms without C99 complex, memcpy
 * copies), less the sound-file readers and writers, which the analysis never calls. */
#ifndef APE_WEB_AUBIO_CONFIG_H
#define APE_WEB_AUBIO_CONFIG_H

#define HAVE_STDLIB_H 1
#define HAVE_STDIO_H 1
#define HAVE_MATH_H 1
#define HAVE_STRING_H 1
#define HAVE_ERRNO_H 1
#define HAVE_LIMITS_H 1
#define HAVE_STDARG_H 1
#define HAVE_C99_VARARGS_MACROS 1
#define HAVE_MEMCPY_HACKS 1
/* The transforms: FFTW's interface, served by fftw3.h beside this file. */
#define HAVE_FFTW3 1
#define HAVE_FFTW3F 1

#endif
