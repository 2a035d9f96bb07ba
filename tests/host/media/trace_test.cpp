// The sound trace format: exact bytes written, round trip, and every kind of bad file refused on
// opening with a message naming the file.

#include "media/trace.hpp"

#include <gtest/gtest.h>

#include "base/host_error.hpp"
#include "host_test_support.hpp"

namespace {

using apehost::HostError;
using apehost::TraceFrame;
using apehost::TraceReader;
using apehost::TraceWriter;
using hosttest::read_bytes;
using hosttest::write_bytes;

std::vector<std::uint8_t> header(const char* magic, std::uint32_t version, std::uint32_t fps) {
  std::vector<std::uint8_t> bytes(magic, magic + 8);
  for (std::uint32_t v : {version, fps}) {
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
  }
  return bytes;
}

// The message of the error opening path raises, which must be bad input.
std::string open_error(const std::string& path) {
  try {
    TraceReader reader(path);
  } catch (const HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
    return e.what();
  }
  ADD_FAILURE() << path << " opened";
  return {};
}

TEST(Trace, WriterLaysOutHeaderAndRecordsExactly) {
  hosttest::ScratchDir dir;
  const std::string path = dir / "t.trace";
  TraceWriter writer(path, 0x01020304u);
  TraceFrame a = hosttest::numbered_frame(0);
  a.beat = true;
  TraceFrame b = hosttest::numbered_frame(1);
  b.beat = false;
  writer.write(a);
  writer.write(b);
  writer.close();
  EXPECT_EQ(writer.frames_written(), 2u);

  const auto bytes = read_bytes(path);
  ASSERT_EQ(bytes.size(), 16u + 2 * 2305u);
  const std::vector<std::uint8_t> expected_header = {'A', 'P', 'E', 'T', 'R', 'A', 'C', 'E',
                                                     1,   0,   0,   0,   4,   3,   2,   1};
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 16), expected_header);
  EXPECT_EQ(bytes[16], 1);         // beat byte of record 0
  EXPECT_EQ(bytes[16 + 2305], 0);  // and of record 1
  // Sound bytes follow their beat byte in the host's order: spectrum 0, spectrum 1, waveform 0, 1.
  for (std::size_t i : {0u, 575u, 576u, 1152u, 1728u, 2303u}) {
    EXPECT_EQ(bytes[17 + i], a.sound[i]) << i;
    EXPECT_EQ(bytes[16 + 2305 + 1 + i], b.sound[i]) << i;
  }
}

TEST(Trace, RoundTripsFramesAndReportsRateAndCount) {
  hosttest::ScratchDir dir;
  const std::string path = dir / "t.trace";
  hosttest::write_numbered_trace(path, 5, 25);
  TraceReader reader(path);
  EXPECT_EQ(reader.frames_per_second(), 25u);
  EXPECT_EQ(reader.frame_count(), 5u);
  TraceFrame frame;
  for (int f = 0; f < 5; ++f) {
    ASSERT_TRUE(reader.read(frame));
    const TraceFrame expected = hosttest::numbered_frame(f);
    EXPECT_EQ(frame.beat, expected.beat) << f;
    EXPECT_EQ(frame.sound, expected.sound) << f;
  }
  EXPECT_FALSE(reader.read(frame));
}

TEST(Trace, AnyNonzeroBeatByteIsABeat) {
  hosttest::ScratchDir dir;
  const std::string path = dir / "t.trace";
  auto bytes = header("APETRACE", 1, 30);
  for (std::uint8_t beat : {0x00, 0x80, 0x01, 0xFF}) {
    bytes.push_back(beat);
    bytes.insert(bytes.end(), 2304, 0x11);
  }
  write_bytes(path, bytes);
  TraceReader reader(path);
  TraceFrame frame;
  for (bool expected : {false, true, true, true}) {
    ASSERT_TRUE(reader.read(frame));
    EXPECT_EQ(frame.beat, expected);
  }
}

TEST(Trace, HeaderOnlyIsAnEmptyTrace) {
  hosttest::ScratchDir dir;
  write_bytes(dir / "t.trace", header("APETRACE", 1, 60));
  TraceReader reader(dir / "t.trace");
  EXPECT_EQ(reader.frame_count(), 0u);
  TraceFrame frame;
  EXPECT_FALSE(reader.read(frame));
}

TEST(Trace, BadFilesAreRefusedOnOpening) {
  hosttest::ScratchDir dir;
  // One record, give or take some bytes.
  const auto with_records = [](std::vector<std::uint8_t> bytes, int extra) {
    bytes.insert(bytes.end(), static_cast<std::size_t>(2305 + extra), 0);
    return bytes;
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"magic.trace", with_records(header("APETRACX", 1, 30), 0), "does not start with APETRACE"},
      {"version.trace", with_records(header("APETRACE", 2, 30), 0), "version 2"},
      {"version0.trace", with_records(header("APETRACE", 0, 30), 0), "version 0"},
      {"rate.trace", with_records(header("APETRACE", 1, 0), 0), "frame rate of 0"},
      {"long.trace", with_records(header("APETRACE", 1, 30), 1), "not whole 2305-byte"},
      {"short.trace", with_records(header("APETRACE", 1, 30), -1), "not whole 2305-byte"},
      {"stub.trace",
       {'A', 'P', 'E', 'T', 'R', 'A', 'C', 'E', 1, 0, 0},
       "shorter than the 16-byte header"},
      {"empty.trace", {}, "shorter than the 16-byte header"},
  };
  for (const Case& c : cases) {
    const std::string path = dir / c.name;
    write_bytes(path, c.bytes);
    const std::string message = open_error(path);
    EXPECT_NE(message.find(path + ": "), std::string::npos) << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
  EXPECT_NE(open_error(dir / "missing.trace").find("cannot open"), std::string::npos);
  EXPECT_NE(open_error(dir / ".").find("not a regular file"), std::string::npos);
}

TEST(Trace, WriterRefusesARateOfZeroAndAnUncreatableFile) {
  hosttest::ScratchDir dir;
  EXPECT_THROW(TraceWriter(dir / "t.trace", 0), HostError);
  EXPECT_THROW(TraceWriter(dir / "no/such/dir/t.trace", 30), HostError);
}

}  // namespace
