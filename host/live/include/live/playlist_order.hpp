#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// The order a list of songs plays in: as listed or shuffled, once or repeated. Shuffled, each pass
// plays every song once in an order of its own (drawn again when a repeated list starts over);
// moving back keeps the order already drawn.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace apehost {

class PlaylistOrder {
 public:
  // count songs (at least one); seed draws the shuffled orders.
  PlaylistOrder(std::size_t count, bool shuffle, bool repeat, std::uint32_t seed);

  std::size_t size() const noexcept { return order_.size(); }
  // The song playing: its index in the list as given.
  std::size_t current() const noexcept { return order_[place_]; }
  // Its place in the order played, from 0.
  std::size_t place() const noexcept { return place_; }

  // On to the next song. At the last one: a repeated list starts over (shuffled again when
  // shuffled), one that does not repeat stays and returns false.
  bool next();
  // Back to the one before. At the first one: a repeated list goes to its last, one that does not
  // repeat stays and returns false.
  bool previous();

 private:
  void shuffle();

  std::vector<std::size_t> order_;
  std::size_t place_ = 0;
  bool shuffle_;
  bool repeat_;
  std::mt19937 random_;
};

}  // namespace apehost
