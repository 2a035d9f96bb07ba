/* The part of FFTW3F's interface that aubio's FFT module uses (real-to-halfcomplex transforms of
 * one dimension, FFTW_R2HC forward and FFTW_HC2R backward), served by KissFFT's mixed-radix real
 * transform (fftw_kissfft.c).
 *
 * Why: apehost's spectrum takes 1152-point transforms, which aubio's own fallback transform (powers
 * of two only) refuses; Debian's aubio links FFTW for them. FFTW itself is a large build, while
 * KissFFT handles any even length. Same conventions as FFTW: forward is e^(-i), neither direction
 * is scaled, and the halfcomplex layout is r0, r1, ..., r(n/2), i((n+1)/2 - 1), ..., i1. */
#ifndef APE_WEB_FFTW3_H
#define APE_WEB_FFTW3_H

#ifdef __cplusplus
extern "C" {
#endif

/* The cosine transforms are declared for aubio's DCT module (MFCC), which the analysis never uses:
 * planning one gives null. */
typedef enum { FFTW_R2HC = 0, FFTW_HC2R = 1, FFTW_REDFT01 = 4, FFTW_REDFT10 = 5 } fftwf_r2r_kind;
enum { FFTW_ESTIMATE = 1u << 6 };

typedef struct ape_fftwf_plan_s* fftwf_plan;

void* fftwf_malloc(unsigned long size);
void fftwf_free(void* memory);
/* in and out may not overlap; n must be even. Null when n is odd, the kind is a cosine transform,
 * or memory runs out. */
fftwf_plan fftwf_plan_r2r_1d(int n, float* in, float* out, fftwf_r2r_kind kind, unsigned flags);
void fftwf_execute(const fftwf_plan plan);
void fftwf_destroy_plan(fftwf_plan plan);

#ifdef __cplusplus
}
#endif

#endif
