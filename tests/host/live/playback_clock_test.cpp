// The clock the live window follows while a song plays, on made-up counter values: a counter of
// 1000 ticks a second and a song of 1000 samples a second, so one tick is one sample.

#include "live/playback_clock.hpp"

#include <gtest/gtest.h>

#include <thread>

namespace {

using apehost::PlaybackClock;

constexpr int kRate = 1000;
constexpr std::uint64_t kTicksPerSecond = 1000;
constexpr int kBuffer = 100;  // sample frames per device buffer

TEST(PlaybackClock, FollowsTheBufferBeforeTheLastOneTheDeviceTook) {
  PlaybackClock clock(kRate, kBuffer, kTicksPerSecond);
  EXPECT_TRUE(clock.start(900));
  EXPECT_EQ(clock.heard(1000), 0) << "nothing taken yet";
  clock.handed_over(100, 1000);
  clock.handed_over(200, 1100);
  // The second buffer plays once the first is done: the first is heard from the second hand-over.
  EXPECT_EQ(clock.heard(1100), 0);
  EXPECT_EQ(clock.heard(1150), 50);
  clock.handed_over(300, 1200);
  EXPECT_EQ(clock.heard(1200), 100);
  EXPECT_EQ(clock.heard(1299), 199);
  EXPECT_EQ(clock.heard(1450), 200) << "never more than one buffer past the last hand-over";
  // A hand-over that landed after the caller read the counter: no time has passed since it.
  EXPECT_EQ(clock.heard(1190), 100);
}

TEST(PlaybackClock, APausedClockStandsStill) {
  PlaybackClock clock(kRate, kBuffer, kTicksPerSecond);
  clock.start(0);
  clock.handed_over(300, 1200);
  clock.set_paused(true, 1250);
  EXPECT_EQ(clock.heard(1250), 150);
  EXPECT_EQ(clock.heard(9000), 150);
  // The device may still take the buffer it was about to: that much more is heard, no more.
  clock.handed_over(400, 1260);
  EXPECT_EQ(clock.heard(9000), 200);
  clock.set_paused(true, 9500);  // pausing twice changes nothing
  EXPECT_EQ(clock.heard(9600), 200);
  clock.set_paused(false, 10000);
  clock.handed_over(500, 10010);
  EXPECT_EQ(clock.heard(10060), 350);
}

TEST(PlaybackClock, WithoutADeviceTheSongFollowsTheCounterLessItsPauses) {
  PlaybackClock clock(kRate, 0, kTicksPerSecond);
  EXPECT_EQ(clock.heard(500), 0) << "not started";
  EXPECT_TRUE(clock.start(500));
  EXPECT_FALSE(clock.start(600)) << "the first frame starts it, once";
  EXPECT_EQ(clock.heard(700), 200);
  clock.set_paused(true, 800);
  EXPECT_EQ(clock.heard(2000), 300);
  clock.set_paused(false, 1800);
  EXPECT_EQ(clock.heard(1900), 400) << "the second of pause skipped";
  // Samples per tick other than one: 44.1 kHz against a microsecond counter.
  PlaybackClock fine(44100, 0, 1000000);
  fine.start(0);
  EXPECT_EQ(fine.heard(500000), 22050);
}

TEST(PlaybackClock, TheSilentClockMovesToASeeksPositionAndGoesOnFromThere) {
  PlaybackClock clock(kRate, 0, kTicksPerSecond);
  clock.start(0);
  clock.move_to(5000, 300);
  EXPECT_EQ(clock.heard(300), 5000);
  EXPECT_EQ(clock.heard(400), 5100);
  clock.move_to(0, 400);
  EXPECT_EQ(clock.heard(450), 50) << "back as well as forward";
  clock.set_paused(true, 500);
  clock.move_to(2000, 600);
  EXPECT_EQ(clock.heard(900), 2000) << "paused, it stays where it was moved to";
  clock.set_paused(false, 1000);
  EXPECT_EQ(clock.heard(1100), 2100);
  // A clock with a device follows what the device takes; moving it is the device's business.
  PlaybackClock device(kRate, kBuffer, kTicksPerSecond);
  device.start(0);
  device.handed_over(300, 100);
  device.move_to(9000, 100);
  EXPECT_EQ(device.heard(100), 100);
}

TEST(PlaybackClock, AHandOverIsAlwaysReadWhole) {
  // The device's thread reports buffer after buffer; every pair read must be one it wrote.
  PlaybackClock clock(kRate, kBuffer, kTicksPerSecond);
  constexpr std::int64_t kBuffers = 300000;
  std::thread device([&clock] {
    for (std::int64_t k = 1; k <= kBuffers; ++k) {
      clock.handed_over(k * kBuffer, static_cast<std::uint64_t>(k) * 7);
    }
  });
  std::int64_t previous = 0;
  bool whole = true;
  bool forward = true;
  while (previous < kBuffers * kBuffer && whole && forward) {
    const PlaybackClock::HandOver last = clock.last_hand_over();
    whole = whole && last.at == static_cast<std::uint64_t>(last.taken / kBuffer) * 7 &&
            last.taken % kBuffer == 0;
    forward = forward && last.taken >= previous;
    previous = last.taken;
  }
  device.join();
  EXPECT_TRUE(whole) << "a torn hand-over near " << previous;
  EXPECT_TRUE(forward) << "the clock went back near " << previous;
}

}  // namespace
