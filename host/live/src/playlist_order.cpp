#include "live/playlist_order.hpp"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace apehost {

PlaylistOrder::PlaylistOrder(std::size_t count, bool shuffle, bool repeat, std::uint32_t seed)
    : order_(count), shuffle_(shuffle), repeat_(repeat), random_(seed) {
  if (count == 0) throw std::invalid_argument("a playlist of no songs");
  std::iota(order_.begin(), order_.end(), std::size_t{0});
  if (shuffle_) this->shuffle();
}

void PlaylistOrder::shuffle() {
  // Fisher-Yates with our own draws: std::shuffle's use of the generator differs between
  // libraries, and a seed should give the same order everywhere.
  for (std::size_t i = order_.size(); i > 1; --i) {
    const std::size_t j = static_cast<std::size_t>(random_() % i);
    std::swap(order_[i - 1], order_[j]);
  }
}

bool PlaylistOrder::next() {
  if (place_ + 1 < order_.size()) {
    ++place_;
    return true;
  }
  if (!repeat_) return false;
  place_ = 0;
  if (shuffle_) {
    // A new pass in a new order, but not the song just heard again straight away.
    const std::size_t last = order_.back();
    shuffle();
    if (order_.size() > 1 && order_.front() == last) std::swap(order_.front(), order_.back());
  }
  return true;
}

bool PlaylistOrder::previous() {
  if (place_ > 0) {
    --place_;
    return true;
  }
  if (!repeat_) return false;
  place_ = order_.size() - 1;
  return true;
}

}  // namespace apehost
