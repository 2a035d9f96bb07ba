// The window's save keys: each save takes the lowest free number of its series, never a name that
// exists, and a save that cannot be made leaves nothing behind.

#include "cli/window_saves.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/host_error.hpp"
#include "base/output_file.hpp"
#include "host_test_support.hpp"

namespace {

void touch(const std::string& path, const std::string& text) {
  hosttest::write_bytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

TEST(WindowSaves, TheLowestFreeNumberOfTheSeriesNothingReplaced) {
  hosttest::ScratchDir dir;
  const apehost::NumberedName names = apehost::numbered_save_name(dir / "shot-", ".png");
  EXPECT_EQ(names(1), dir / "shot-001.png");
  EXPECT_EQ(names(1000), dir / "shot-1000.png");
  touch(dir / "shot-001.png", "keep me");
  touch(dir / "shot-003.png", "and me");
  const auto write_three = [](apehost::OutputFile& file) {
    const std::uint8_t bytes[] = {1, 2, 3};
    file.write(bytes, sizeof bytes);
  };
  EXPECT_EQ(apehost::write_numbered_file(names, write_three), dir / "shot-002.png");
  EXPECT_EQ(apehost::write_numbered_file(names, write_three), dir / "shot-004.png");
  EXPECT_EQ(hosttest::read_bytes(dir / "shot-002.png"), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(hosttest::read_bytes(dir / "shot-001.png").size(), 7u);
  EXPECT_EQ(hosttest::read_bytes(dir / "shot-003.png").size(), 6u);

  // A save that fails part way leaves no file and no temporary.
  EXPECT_THROW(apehost::write_numbered_file(
                   names, [](apehost::OutputFile&) { throw apehost::HostError("full", 1); }),
               apehost::HostError);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / ""),
                          std::filesystem::directory_iterator()),
            4);
  EXPECT_THROW(apehost::write_numbered_file(
                   apehost::numbered_save_name(dir / "no/such/folder-", ".png"), write_three),
               apehost::HostError);
}

}  // namespace
