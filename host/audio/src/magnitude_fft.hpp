#pragma once
// aubio's FFT and its buffers for one window size, made once and reused: samples in, the
// magnitudes of the bins out (what aubio_fft_do gives, without the phases it would also work out).
// Internal to apehost_audio.

#include <aubio/aubio.h>

namespace apehost::audio::detail {

class MagnitudeFft {
 public:
  // window: the number of samples, a size aubio's FFT takes. Throws std::bad_alloc when aubio
  // cannot make it.
  explicit MagnitudeFft(int window);
  ~MagnitudeFft();
  MagnitudeFft(const MagnitudeFft&) = delete;
  MagnitudeFft& operator=(const MagnitudeFft&) = delete;

  // The window's samples, to be filled before transform().
  smpl_t* input() noexcept { return input_->data; }
  // Transforms input(); window / 2 + 1 magnitudes, valid until the next transform().
  const smpl_t* transform() noexcept;
  // The magnitudes of the last transform().
  const smpl_t* magnitudes() const noexcept { return spectrum_->norm; }

 private:
  void release() noexcept;

  aubio_fft_t* fft_ = nullptr;
  fvec_t* input_ = nullptr;
  fvec_t* complex_ = nullptr;
  cvec_t* spectrum_ = nullptr;
};

}  // namespace apehost::audio::detail
