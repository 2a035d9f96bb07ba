// The ring between a capture device's thread and the window's: order kept across the end of the
// storage, a full ring refusing whole buffers, an empty one giving nothing, and nothing lost or
// reordered with a real second thread writing.

#include "live/sample_ring.hpp"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>
#include <vector>

namespace {

using apehost::SampleRing;

std::vector<float> counting(float from, std::size_t count) {
  std::vector<float> values(count);
  std::iota(values.begin(), values.end(), from);
  return values;
}

std::vector<float> pop(SampleRing& ring, std::size_t max_count) {
  std::vector<float> out(max_count, -1.0f);
  out.resize(ring.pop(out.data(), max_count));
  return out;
}

TEST(SampleRing, CapacityIsThePowerOfTwoAtOrAboveTheRequest) {
  EXPECT_EQ(SampleRing(5).capacity(), 8u);
  EXPECT_EQ(SampleRing(8).capacity(), 8u);
  EXPECT_EQ(SampleRing(9).capacity(), 16u);
  EXPECT_EQ(SampleRing(0).capacity(), 1u);
  EXPECT_EQ(SampleRing(176400).capacity(), 262144u);  // two seconds of stereo at 44.1 kHz
}

TEST(SampleRing, AnEmptyRingGivesNothing) {
  SampleRing ring(8);
  float out[4] = {-1, -1, -1, -1};
  EXPECT_EQ(ring.size(), 0u);
  EXPECT_EQ(ring.pop(out, 4), 0u);
  EXPECT_EQ(out[0], -1.0f) << "nothing written out";
  const std::vector<float> three = counting(1, 3);
  ASSERT_TRUE(ring.push(three.data(), 3));
  EXPECT_EQ(pop(ring, 8), three);
  EXPECT_EQ(ring.pop(out, 4), 0u) << "emptied again";
  EXPECT_TRUE(ring.push(nullptr, 0));
  EXPECT_EQ(ring.size(), 0u);
}

TEST(SampleRing, AFullRingRefusesAWholeBufferAndKeepsWhatItHolds) {
  SampleRing ring(8);
  const std::vector<float> eight = counting(10, 8);
  EXPECT_FALSE(ring.push(counting(0, 9).data(), 9)) << "more than it can ever hold";
  ASSERT_TRUE(ring.push(eight.data(), 6));
  const float more[3] = {100, 101, 102};
  EXPECT_FALSE(ring.push(more, 3)) << "three values into two free places";
  EXPECT_EQ(ring.size(), 6u);
  ASSERT_TRUE(ring.push(more, 2));
  EXPECT_EQ(ring.size(), 8u);
  EXPECT_FALSE(ring.push(more, 1));
  EXPECT_EQ(pop(ring, 8), (std::vector<float>{10, 11, 12, 13, 14, 15, 100, 101}));
}

TEST(SampleRing, ValuesComeOutInOrderAcrossTheEndOfTheStorage) {
  SampleRing ring(8);
  ASSERT_TRUE(ring.push(counting(0, 6).data(), 6));
  EXPECT_EQ(pop(ring, 4), counting(0, 4));
  // Places 6 and 7, then 0 to 2.
  ASSERT_TRUE(ring.push(counting(6, 5).data(), 5));
  EXPECT_EQ(ring.size(), 7u);
  EXPECT_EQ(pop(ring, 3), counting(4, 3)) << "a pop that stops short of what is there";
  EXPECT_EQ(pop(ring, 8), counting(7, 4));
  // Round and round: every pass starts somewhere else in the storage.
  float next = 100;
  for (int pass = 0; pass < 20; ++pass) {
    const std::size_t count = 1 + static_cast<std::size_t>(pass) % 8;
    ASSERT_TRUE(ring.push(counting(next, count).data(), count)) << pass;
    ASSERT_EQ(pop(ring, 8), counting(next, count)) << pass;
    next += static_cast<float>(count);
  }
}

TEST(SampleRing, DiscardedValuesAreSkippedAndTheirRoomGivenBack) {
  // What a seek makes stale: dropped by the reader, across the end of the storage, never more than
  // there is.
  SampleRing ring(8);
  const std::vector<float> six = counting(1, 6);
  ASSERT_TRUE(ring.push(six.data(), 6));
  EXPECT_EQ(ring.discard(4), 4u);
  EXPECT_EQ(pop(ring, 1), counting(5, 1));
  const std::vector<float> five = counting(10, 5);
  ASSERT_TRUE(ring.push(five.data(), 5)) << "the dropped places are free again";
  EXPECT_EQ(ring.discard(3), 3u);  // 6, 10, 11: across the end
  EXPECT_EQ(pop(ring, 8), counting(12, 3));
  EXPECT_EQ(ring.discard(5), 0u) << "nothing to drop";
  EXPECT_EQ(ring.size(), 0u);
}

TEST(SampleRing, NothingIsLostOrReorderedWithAWriterThread) {
  // Whole numbers up to 2^24 are exact in a float.
  constexpr std::size_t kTotal = 2000000;
  SampleRing ring(4096);
  std::thread writer([&ring] {
    std::vector<float> buffer;
    std::size_t sent = 0;
    for (std::size_t round = 0; sent < kTotal; ++round) {
      // Buffers of 1 to 1021 values, as devices hand over buffers of their own sizes.
      const std::size_t count = std::min<std::size_t>(1 + round * 37 % 1021, kTotal - sent);
      buffer = counting(static_cast<float>(sent), count);
      while (!ring.push(buffer.data(), count)) std::this_thread::yield();
      sent += count;
    }
  });
  std::vector<float> out(700);
  std::size_t received = 0;
  bool in_order = true;
  while (received < kTotal && in_order) {
    const std::size_t count = ring.pop(out.data(), out.size());
    for (std::size_t i = 0; i < count; ++i) {
      in_order = in_order && out[i] == static_cast<float>(received + i);
    }
    received += count;
    if (count == 0) std::this_thread::yield();
  }
  writer.join();
  EXPECT_TRUE(in_order) << "a value out of place near " << received;
  EXPECT_EQ(received, kTotal);
  EXPECT_EQ(ring.size(), 0u);
}

}  // namespace
