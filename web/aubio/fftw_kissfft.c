/* FFTW3F's real-to-halfcomplex transforms (fftw3.h) on top of KissFFT's real transform. */
#include <stdlib.h>

#include "fftw3.h"
#include "kiss_fftr.h"

struct ape_fftwf_plan_s {
  int n;
  fftwf_r2r_kind kind;
  float* in;
  float* out;
  kiss_fftr_cfg cfg;
  kiss_fft_cpx* bins; /* n / 2 + 1 */
};

void* fftwf_malloc(unsigned long size) { return malloc(size); }

void fftwf_free(void* memory) { free(memory); }

fftwf_plan fftwf_plan_r2r_1d(int n, float* in, float* out, fftwf_r2r_kind kind, unsigned flags) {
  (void)flags;
  if (n < 2 || n % 2 != 0 || (kind != FFTW_R2HC && kind != FFTW_HC2R)) return NULL;
  fftwf_plan plan = calloc(1, sizeof *plan);
  if (!plan) return NULL;
  plan->n = n;
  plan->kind = kind;
  plan->in = in;
  plan->out = out;
  plan->cfg = kiss_fftr_alloc(n, kind == FFTW_HC2R, NULL, NULL);
  plan->bins = malloc(sizeof(kiss_fft_cpx) * (size_t)(n / 2 + 1));
  if (!plan->cfg || !plan->bins) {
    fftwf_destroy_plan(plan);
    return NULL;
  }
  return plan;
}

void fftwf_execute(const fftwf_plan plan) {
  const int n = plan->n;
  const int half = n / 2;
  if (plan->kind == FFTW_R2HC) {
    kiss_fftr(plan->cfg, plan->in, plan->bins);
    for (int k = 0; k <= half; ++k) plan->out[k] = plan->bins[k].r;
    for (int k = 1; k < half; ++k) plan->out[n - k] = plan->bins[k].i;
  } else {
    for (int k = 0; k <= half; ++k) {
      plan->bins[k].r = plan->in[k];
      plan->bins[k].i = (k > 0 && k < half) ? plan->in[n - k] : 0.0f;
    }
    kiss_fftri(plan->cfg, plan->bins, plan->out);
  }
}

void fftwf_destroy_plan(fftwf_plan plan) {
  if (!plan) return;
  kiss_fftr_free(plan->cfg);
  free(plan->bins);
  free(plan);
}
