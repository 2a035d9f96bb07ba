// The settings blob as apehost reads and writes its fields.

#include "plugin/settings_blob.hpp"

#include <gtest/gtest.h>

namespace {

using apehost::SettingsBlob;

TEST(SettingsBlob, FieldsAreLittleEndianWordsAtTheirOffsets) {
  SettingsBlob blob{};
  apehost::set_blob_colour(blob, 1, 0x00123456);
  apehost::set_blob_colour(blob, 15, 0x00ABCDEF);
  apehost::set_blob_colour_count(blob, -2);
  apehost::set_blob_on_beat(blob, 5);
  EXPECT_EQ(blob[4], 0x56);
  EXPECT_EQ(blob[5], 0x34);
  EXPECT_EQ(blob[6], 0x12);
  EXPECT_EQ(blob[7], 0x00);
  EXPECT_EQ(blob[60], 0xEF);
  EXPECT_EQ(blob[64], 0xFE);  // -2
  EXPECT_EQ(blob[67], 0xFF);
  EXPECT_EQ(blob[68], 5);
  EXPECT_EQ(apehost::blob_colour(blob, 1), 0x00123456u);
  EXPECT_EQ(apehost::blob_colour(blob, 0), 0u);
  EXPECT_EQ(apehost::blob_colour_count(blob), -2);
  EXPECT_EQ(apehost::blob_on_beat(blob), 5);
}

TEST(SettingsBlob, DescriptionShowsCycledAndKeptColours) {
  SettingsBlob blob{};
  apehost::set_blob_colour(blob, 0, 0xFF0000);
  apehost::set_blob_colour(blob, 1, 0x0000FF);
  apehost::set_blob_colour(blob, 3, 0x12345678);  // past the count, top byte set
  apehost::set_blob_colour_count(blob, 2);
  apehost::set_blob_on_beat(blob, 5);
  EXPECT_EQ(apehost::describe_blob(blob, "> "),
            "> colour count: 2\n"
            "> colours cycled: ff0000 0000ff\n"
            "> kept, not cycled: 3=12345678\n"
            "> on-beat colour change: on (5)\n");
  // An unclamped count shows no more than the table holds.
  apehost::set_blob_colour_count(blob, 40);
  apehost::set_blob_on_beat(blob, 0);
  const std::string text = apehost::describe_blob(blob, "");
  EXPECT_NE(text.find("colour count: 40\n"), std::string::npos);
  EXPECT_NE(text.find("on-beat colour change: off\n"), std::string::npos);
  EXPECT_EQ(text.find("kept"), std::string::npos);
}

}  // namespace
