// Preset files: the text written and read back, the hex layout of a blob, every refusal naming the
// file, the line and the reason, and a preset's stack made into effects with a blob each (or none).

#include "plugin/preset.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "base/file_io.hpp"
#include "base/host_error.hpp"
#include "plugin/chain_plan.hpp"

namespace {

using apehost::Background;
using apehost::Preset;

apehost::SettingsBlob counting_blob() {
  apehost::SettingsBlob blob{};
  for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<std::uint8_t>(i * 7 + 1);
  return blob;
}

// The error a preset text is refused with, as it prints: "FILE:LINE: REASON".
std::string refusal(const std::string& text) {
  try {
    apehost::parse_preset(text, "p.toml");
  } catch (const apehost::HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
    return e.what();
  }
  ADD_FAILURE() << "accepted:\n" << text;
  return "";
}

TEST(Preset, WrittenTextReadsBackTheSame) {
  Preset preset;
  preset.background.mode = Background::Mode::fade;
  preset.background.fade = 8;
  preset.effects.push_back({"blobfx", counting_blob()});
  preset.effects.push_back({"/opt/fx/coil \"x\".so", std::nullopt});
  const std::string text = apehost::format_preset(preset);
  // Words of 8 lower-case digits in file order, 8 to a line: the first word is bytes 0..3.
  EXPECT_NE(text.find("settings = \"\"\"\n01080f16 1d242b32 "), std::string::npos) << text;
  EXPECT_NE(text.find("[background]\nmode = \"fade\"\namount = 8\n"), std::string::npos) << text;
  const Preset back = apehost::parse_preset(text, "p.toml");
  ASSERT_EQ(back.effects.size(), 2u);
  EXPECT_EQ(back.effects[0].plugin, "blobfx");
  ASSERT_TRUE(back.effects[0].settings.has_value());
  EXPECT_EQ(*back.effects[0].settings, counting_blob());
  EXPECT_EQ(back.effects[1].plugin, "/opt/fx/coil \"x\".so");
  EXPECT_FALSE(back.effects[1].settings.has_value());
  EXPECT_EQ(back.background.mode, Background::Mode::fade);
  EXPECT_EQ(back.background.fade, 8);

  preset.background = Background{Background::Mode::clear, 0x0A0B0C, 0};
  EXPECT_NE(apehost::format_preset(preset).find("colour = \"0x0a0b0c\""), std::string::npos);
  EXPECT_EQ(apehost::parse_preset(apehost::format_preset(preset), "p").background.colour,
            0x0A0B0Cu);
  preset.background = Background{Background::Mode::keep, 0, 0};
  EXPECT_EQ(apehost::parse_preset(apehost::format_preset(preset), "p").background.mode,
            Background::Mode::keep);
}

TEST(Preset, TheSmallestPresetAndItsDefaults) {
  const Preset preset = apehost::parse_preset("[[effect]]\nplugin = \"coilfx\"\n", "p.toml");
  ASSERT_EQ(preset.effects.size(), 1u);
  EXPECT_EQ(preset.background.mode, Background::Mode::clear);
  EXPECT_EQ(preset.background.colour, 0u);
  // The web page's example, as the lead's document gives it, reads as written.
  const std::string page =
      "# apehost preset\nversion = 1\n\n[background]\nmode = \"fade\"\namount = 8\n\n"
      "[[effect]]\nplugin = \"blobfx\"\nsettings = \"\"\"\n"
      "1f5aff00 00b0ff00 6a30e000 4080ff00 00000000 00000000 00000000 00000000\n"
      "00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000\n"
      "04000000 01000000\"\"\"\n\n[[effect]]\nplugin = \"coilfx\"\n";
  const Preset read = apehost::parse_preset(page, "page.toml");
  ASSERT_EQ(read.effects.size(), 2u);
  EXPECT_EQ(apehost::blob_colour(*read.effects[0].settings, 0), 0x00FF5A1Fu);
  EXPECT_EQ(apehost::blob_colour_count(*read.effects[0].settings), 4);
  EXPECT_EQ(apehost::blob_on_beat(*read.effects[0].settings), 1);
}

TEST(Preset, BlobHexIgnoresWhitespaceAndCaseButNothingElse) {
  std::string digits;
  for (int i = 0; i < 72; ++i) digits += i % 2 ? "aB" : "0c";
  const apehost::SettingsBlob blob =
      apehost::parse_blob_hex(" \t" + digits.substr(0, 7) + "\r\n" + digits.substr(7) + "\n");
  EXPECT_EQ(blob[0], 0x0C);
  EXPECT_EQ(blob[1], 0xAB);
  EXPECT_EQ(blob[71], 0xAB);
  EXPECT_THROW(apehost::parse_blob_hex(digits.substr(2)), std::invalid_argument);
  EXPECT_THROW(apehost::parse_blob_hex(digits + "00"), std::invalid_argument);
  EXPECT_THROW(apehost::parse_blob_hex(digits.substr(1) + "g"), std::invalid_argument);
  EXPECT_THROW(apehost::parse_blob_hex("0x" + digits.substr(2)), std::invalid_argument);
  EXPECT_THROW(apehost::parse_blob_hex(digits.substr(0, 142) + ",0"), std::invalid_argument);
  // Lines of 8 words: 18 words make lines of 8, 8 and 2.
  const std::string lines = apehost::blob_hex_lines(counting_blob());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2);
  EXPECT_EQ(lines.substr(lines.rfind('\n') + 1).size(), 17u);
  EXPECT_EQ(apehost::parse_blob_hex(lines), counting_blob());
}

TEST(Preset, EveryRefusalNamesTheFileTheLineAndTheReason) {
  const std::string blob_line = "settings = \"\"\"\n" + std::string(140, '0') + "\"\"\"\n";
  const std::pair<std::string, std::string> cases[] = {
      // TOML itself: the parser's line.
      {"version = 1\n[[effect]]\nplugin = \"coilfx\n", "p.toml:3: "},
      {"version = 1\nversion = 1\n[[effect]]\nplugin = \"a\"\n", "p.toml:2: "},
      // What the file says: the line of the key or table it is about.
      {"version = 2\n[[effect]]\nplugin = \"a\"\n", "p.toml:1: version 2: this reads version 1"},
      {"[[effect]]\nplugin = \"a\"\ncolour = 3\n",
       "p.toml:3: unknown key 'colour' in [[effect]] 1"},
      {"[[effect]]\nplugin = \"a\"\n[backgruond]\nmode = \"keep\"\n",
       "p.toml:3: unknown table 'backgruond'"},
      {"speed = 3\n[[effect]]\nplugin = \"a\"\n", "p.toml:1: unknown key 'speed'"},
      {"[background]\nmode = \"fade\"\n[[effect]]\nplugin = \"a\"\n",
       "p.toml:2: background mode \"fade\" needs an amount"},
      {"[background]\nmode = \"fade\"\namount = 256\n[[effect]]\nplugin = \"a\"\n",
       "p.toml:3: background amount is not a whole number 1..255"},
      {"[background]\nmode = \"keep\"\ncolour = \"0x102030\"\n[[effect]]\nplugin = \"a\"\n",
       "p.toml:3: background colour is only for mode \"clear\""},
      {"[background]\namount = 3\n[[effect]]\nplugin = \"a\"\n",
       "p.toml:2: background amount is only for mode \"fade\""},
      {"[background]\nmode = \"dim\"\n[[effect]]\nplugin = \"a\"\n",
       "p.toml:2: background mode 'dim' is not \"clear\", \"keep\" or \"fade\""},
      {"[background]\ncolour = \"red\"\n[[effect]]\nplugin = \"a\"\n",
       "p.toml:2: background colour 'red' is not a colour 0xRRGGBB"},
      {"[[effect]]\nplugin = \"a\"\n\n[[effect]]\n" + blob_line + "plugin = \"b\"\n",
       "p.toml:5: settings: 140 hex digits where a blob has 144 in [[effect]] 2"},
      {"[[effect]]\nplugin = \"a\"\n[[effect]]\nsettings = \"00\"\n",
       "p.toml:3: no plugin in [[effect]] 2"},
      {"[[effect]]\nplugin = 7\n", "p.toml:2: plugin in [[effect]] 1 is not a name or a path"},
      // Nesting the parser would recurse through until the stack ran out; brackets in strings
      // and comments are not nesting.
      {"a = 1\nb = " + std::string(100000, '[') + "\n", "p.toml:2: arrays or tables nested more"},
      {"[[effect]]\nplugin = \"" + std::string(40, '[') + "\" # " + std::string(40, '{') +
           "\nsettings = 5\n",
       "p.toml:3: settings in [[effect]] 1 is not a string"},
      // Nothing to point at: the file alone.
      {"version = 1\n", "p.toml: no [[effect]]: a preset names at least one plug-in"},
  };
  for (const auto& [text, expected] : cases) {
    const std::string message = refusal(text);
    EXPECT_EQ(message.rfind(expected, 0), 0u) << "got: " << message << "\nfor:\n" << text;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
}

TEST(Preset, APresetsStackGivesEachEffectItsOwnBlobOrItsDefaults) {
  apehost::TemporaryDirectory dir;
  // The probe module beside the preset, named by a relative path: found from the preset's folder.
  const std::string module = dir.path("probe.so");
  std::filesystem::copy_file(PROBEFX_MODULE, module);
  apehost::SettingsBlob second = counting_blob();
  apehost::set_blob_colour_count(second, 3);
  Preset preset;
  preset.effects.push_back({"./probe.so", std::nullopt});
  preset.effects.push_back({module, second});
  const apehost::ChainPlan plan = apehost::plan_preset(preset, dir.path("p.toml"), 77u, nullptr);
  ASSERT_EQ(plan.modules.size(), 2u);
  ASSERT_EQ(plan.blobs.size(), 2u);
  EXPECT_FALSE(plan.blobs[0].has_value()) << "the first keeps its defaults";
  ASSERT_TRUE(plan.blobs[1].has_value());
  EXPECT_EQ(plan.blobs[1]->size(), 72u);
  EXPECT_EQ(plan.ticks, 77u);
  EXPECT_EQ(std::filesystem::path(plan.plugins[0]).lexically_normal(),
            std::filesystem::path(module).lexically_normal());
  apehost::EffectChain chain = apehost::create_chain(plan);
  EXPECT_EQ(apehost::blob_colour(chain.settings(1), 0), apehost::blob_colour(second, 0));
  EXPECT_EQ(apehost::blob_colour_count(chain.settings(1)), 3);
  EXPECT_NE(apehost::blob_colour(chain.settings(0), 0), apehost::blob_colour(second, 0));

  // Names stay names; paths are kept absolute, so a saved preset opens from anywhere.
  EXPECT_EQ(apehost::preset_plugin("coilfx"), "coilfx");
  EXPECT_TRUE(std::filesystem::path(apehost::preset_plugin("fx/probe.so")).is_absolute());
  EXPECT_THROW(
      apehost::plan_preset({{{"./missing.so", std::nullopt}}, {}}, dir.path("p.toml"), {}, nullptr),
      apehost::HostError);
}

}  // namespace
