#include "magnitude_fft.hpp"

#include <new>

namespace apehost::audio::detail {

MagnitudeFft::MagnitudeFft(int window) {
  const auto size = static_cast<uint_t>(window);
  fft_ = new_aubio_fft(size);
  input_ = new_fvec(size);
  complex_ = new_fvec(size);
  spectrum_ = new_cvec(size);
  if (fft_ == nullptr || input_ == nullptr || complex_ == nullptr || spectrum_ == nullptr) {
    release();
    throw std::bad_alloc();
  }
}

MagnitudeFft::~MagnitudeFft() { release(); }

const smpl_t* MagnitudeFft::transform() noexcept {
  aubio_fft_do_complex(fft_, input_, complex_);
  aubio_fft_get_norm(complex_, spectrum_);
  return spectrum_->norm;
}

void MagnitudeFft::release() noexcept {
  if (spectrum_ != nullptr) del_cvec(spectrum_);
  if (complex_ != nullptr) del_fvec(complex_);
  if (input_ != nullptr) del_fvec(input_);
  if (fft_ != nullptr) del_aubio_fft(fft_);
  spectrum_ = nullptr;
  complex_ = nullptr;
  input_ = nullptr;
  fft_ = nullptr;
}

}  // namespace apehost::audio::detail
