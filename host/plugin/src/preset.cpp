#include "plugin/preset.hpp"

// Tables as ordered maps: of several unknown keys, the same one is reported every time.
#define CPPTOML_USE_MAP
#include <cpptoml.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "base/file_io.hpp"
#include "base/host_error.hpp"

namespace apehost {
namespace {

// A preset is a few hundred bytes; anything far larger is not one.
constexpr std::size_t kMaxPresetFile = 1024 * 1024;
constexpr int kWordsPerLine = 8;
// cpptoml reads nested arrays and inline tables by recursion: a file of thousands of '[' would run
// the stack out. A preset nests two deep at most.
constexpr int kMaxNesting = 32;

// An error found after parsing: the reason, and where to look for the line it is on (the table and
// key it is about; cpptoml keeps no lines for values, so they are found again in the text).
struct PresetFault {
  std::string reason;
  std::string section;  // "" for the top level, "background" or "effect"
  int index = 0;        // the effect's place, from 1, when section is "effect"
  std::string key;      // the key or table named; empty for the section's header
};

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The line (from 1) of the key or table a fault is about, or 0 when it is not found. Scans the text
// as TOML lays it out: headers "[name]" and "[[name]]" start sections, "key = ..." lines assign,
// and lines inside a multi-line string are skipped.
int line_of(const std::string& text, const PresetFault& fault) {
  std::istringstream lines(text);
  std::string line;
  std::string section;
  int effect = 0;
  bool in_string = false;
  for (int number = 1; std::getline(lines, line); ++number) {
    // Multi-line strings open and close with """ (or '''): an odd count toggles.
    int quotes = 0;
    for (std::size_t at = line.find("\"\"\""); at != std::string::npos;
         at = line.find("\"\"\"", at + 3)) {
      ++quotes;
    }
    for (std::size_t at = line.find("'''"); at != std::string::npos;
         at = line.find("'''", at + 3)) {
      ++quotes;
    }
    const bool was_in_string = in_string;
    if (quotes % 2 == 1) in_string = !in_string;
    if (was_in_string) continue;
    const std::string t = trim(line);
    if (t.rfind("[[", 0) == 0) {
      section = trim(t.substr(2, t.find("]]") - 2));
      if (section == "effect") ++effect;
      const bool matches = fault.section.empty()
                               ? section == fault.key
                               : section == fault.section && fault.key.empty() &&
                                     (section != "effect" || effect == fault.index);
      if (matches) return number;
      continue;
    }
    if (t.rfind("[", 0) == 0) {
      section = trim(t.substr(1, t.find(']') - 1));
      const bool matches = fault.section.empty() ? section == fault.key
                                                 : section == fault.section && fault.key.empty();
      if (matches) return number;
      continue;
    }
    const auto equals = t.find('=');
    if (equals == std::string::npos || fault.key.empty()) continue;
    std::string key = trim(t.substr(0, equals));
    if (key.size() >= 2 && (key.front() == '"' || key.front() == '\'')) {
      key = key.substr(1, key.size() - 2);
    }
    if (key != fault.key || section != fault.section) continue;
    if (section == "effect" && effect != fault.index) continue;
    return number;
  }
  return 0;
}

// The line where arrays and inline tables first nest deeper than kMaxNesting, or 0. Strings (with
// their escapes) and comments are passed over: brackets in a path are not nesting.
int too_deep_line(const std::string& text) {
  int depth = 0;
  int line = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
    } else if (c == '#') {
      while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
    } else if (c == '"' || c == '\'') {
      const std::string quote(3, c);
      const bool triple = text.compare(i, 3, quote) == 0;
      std::size_t j = i + (triple ? 3 : 1);
      while (j < text.size()) {
        if (c == '"' && text[j] == '\\') {
          if (j + 1 < text.size() && text[j + 1] == '\n') ++line;
          j += 2;
          continue;
        }
        if (text[j] == '\n') {
          if (!triple) break;  // an unclosed string: the line end is the parser's to report
          ++line;
        }
        if (triple ? text.compare(j, 3, quote) == 0 : text[j] == c) {
          j += triple ? 3 : 1;
          break;
        }
        ++j;
      }
      i = j - 1;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxNesting) return line;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return 0;
}

[[noreturn]] void fail(const std::string& reason, const std::string& section = "", int index = 0,
                       const std::string& key = "") {
  throw PresetFault{reason, section, index, key};
}

// The value of key, or null where the table has none (cpptoml's get() throws instead).
std::shared_ptr<cpptoml::base> value_of(const cpptoml::table& table, const std::string& key) {
  return table.contains(key) ? table.get(key) : nullptr;
}

std::string effect_where(int index) { return " in [[effect]] " + std::to_string(index); }

void check_keys(const cpptoml::table& table, const std::vector<std::string>& allowed,
                const std::string& section, int index) {
  for (const auto& [key, value] : table) {
    bool known = false;
    for (const std::string& a : allowed) known = known || a == key;
    if (known) continue;
    const std::string where = section.empty()       ? ""
                              : section == "effect" ? effect_where(index)
                                                    : " in [" + section + "]";
    fail("unknown " + std::string(value->is_table() || value->is_table_array() ? "table" : "key") +
             " '" + key + "'" + where,
         section, index, key);
  }
}

std::uint32_t parse_colour_text(const std::string& text) {
  std::string digits = text;
  if (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0) {
    digits.erase(0, 2);
  } else if (digits.rfind("#", 0) == 0) {
    digits.erase(0, 1);
  }
  if (digits.size() != 6 ||
      digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    fail("background colour '" + text + "' is not a colour 0xRRGGBB", "background", 0, "colour");
  }
  return static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
}

Background read_background(const cpptoml::table& doc) {
  Background background;
  const auto node = value_of(doc, "background");
  if (!node) return background;
  if (!node->is_table()) fail("'background' is not a table", "", 0, "background");
  const cpptoml::table& b = *node->as_table();
  check_keys(b, {"mode", "colour", "amount"}, "background", 0);

  std::string mode = "clear";
  if (b.contains("mode")) {
    const auto text = value_of(b, "mode")->as<std::string>();
    if (!text) fail("background mode is not a string", "background", 0, "mode");
    mode = text->get();
  }
  if (mode == "keep") {
    background.mode = Background::Mode::keep;
  } else if (mode == "fade") {
    background.mode = Background::Mode::fade;
  } else if (mode != "clear") {
    fail("background mode '" + mode + "' is not \"clear\", \"keep\" or \"fade\"", "background", 0,
         "mode");
  }

  if (b.contains("colour")) {
    if (mode != "clear")
      fail("background colour is only for mode \"clear\"", "background", 0, "colour");
    const auto text = value_of(b, "colour")->as<std::string>();
    if (!text) fail("background colour is not a string \"0xRRGGBB\"", "background", 0, "colour");
    background.colour = parse_colour_text(text->get());
  }
  if (b.contains("amount") && mode != "fade") {
    fail("background amount is only for mode \"fade\"", "background", 0, "amount");
  }
  if (mode == "fade") {
    if (!b.contains("amount"))
      fail("background mode \"fade\" needs an amount", "background", 0, "mode");
    const auto amount = value_of(b, "amount")->as<std::int64_t>();
    if (!amount || amount->get() < 1 || amount->get() > kMaxFade) {
      fail("background amount is not a whole number 1.." + std::to_string(kMaxFade), "background",
           0, "amount");
    }
    background.fade = static_cast<int>(amount->get());
  }
  return background;
}

std::vector<PresetEffect> read_effects(const cpptoml::table& doc) {
  const auto node = value_of(doc, "effect");
  if (!node) fail("no [[effect]]: a preset names at least one plug-in");
  if (!node->is_table_array()) fail("'effect' is not a list of [[effect]] tables", "", 0, "effect");
  std::vector<PresetEffect> effects;
  int index = 0;
  for (const auto& table : node->as_table_array()->get()) {
    ++index;
    check_keys(*table, {"plugin", "settings"}, "effect", index);
    PresetEffect effect;
    const auto plugin = value_of(*table, "plugin");
    if (!plugin) fail("no plugin" + effect_where(index), "effect", index);
    const auto name = plugin->as<std::string>();
    if (!name || name->get().empty()) {
      fail("plugin" + effect_where(index) + " is not a name or a path", "effect", index, "plugin");
    }
    effect.plugin = name->get();
    if (const auto settings = value_of(*table, "settings")) {
      const auto text = settings->as<std::string>();
      if (!text)
        fail("settings" + effect_where(index) + " is not a string", "effect", index, "settings");
      try {
        effect.settings = parse_blob_hex(text->get());
      } catch (const std::invalid_argument& e) {
        fail(e.what() + effect_where(index), "effect", index, "settings");
      }
    }
    effects.push_back(std::move(effect));
  }
  if (effects.empty()) fail("no [[effect]]: a preset names at least one plug-in");
  return effects;
}

Preset read_document(const cpptoml::table& doc) {
  check_keys(doc, {"version", "background", "effect"}, "", 0);
  if (const auto version = value_of(doc, "version")) {
    const auto number = version->as<std::int64_t>();
    if (!number || number->get() != kPresetVersion) {
      fail("version " + (number ? std::to_string(number->get()) : std::string("is not a number")) +
               ": this reads version " + std::to_string(kPresetVersion),
           "", 0, "version");
    }
  }
  Preset preset;
  preset.background = read_background(doc);
  preset.effects = read_effects(doc);
  return preset;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

SettingsBlob parse_blob_hex(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (hex_value(c) < 0) {
      const bool printable =
          static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
      char code[8];
      std::snprintf(code, sizeof code, "0x%02x",
                    static_cast<unsigned>(static_cast<unsigned char>(c)));
      throw std::invalid_argument("settings: '" +
                                  (printable ? std::string(1, c) : std::string(code)) +
                                  "' is not a hex digit");
    }
    digits += c;
  }
  SettingsBlob blob{};
  if (digits.size() != 2 * blob.size()) {
    throw std::invalid_argument("settings: " + std::to_string(digits.size()) +
                                " hex digits where a blob has " + std::to_string(2 * blob.size()));
  }
  for (std::size_t i = 0; i < blob.size(); ++i) {
    blob[i] =
        static_cast<std::uint8_t>(hex_value(digits[2 * i]) << 4 | hex_value(digits[2 * i + 1]));
  }
  return blob;
}

std::string blob_hex_lines(const SettingsBlob& blob) {
  std::string text = blob_hex(blob);  // groups of 8 digits, one space between
  int groups = 0;
  for (char& c : text) {
    if (c == ' ' && ++groups % kWordsPerLine == 0) c = '\n';
  }
  return text;
}

Preset parse_preset(const std::string& text, const std::string& file) {
  if (const int line = too_deep_line(text)) {
    throw bad_input(file + ":" + std::to_string(line),
                    "arrays or tables nested more than " + std::to_string(kMaxNesting) + " deep");
  }
  std::shared_ptr<cpptoml::table> doc;
  try {
    std::istringstream stream(text);
    doc = cpptoml::parser(stream).parse();
  } catch (const cpptoml::parse_exception& e) {
    // cpptoml ends its reasons with " at line N".
    std::string reason = e.what();
    const auto at = reason.rfind(" at line ");
    if (at != std::string::npos) {
      const std::string line = reason.substr(at + 9);
      reason.erase(at);
      throw bad_input(file + ":" + line, reason);
    }
    throw bad_input(file, reason);
  } catch (const std::exception& e) {
    throw bad_input(file, e.what());
  }
  try {
    return read_document(*doc);
  } catch (const PresetFault& fault) {
    const int line = line_of(text, fault);
    throw bad_input(line > 0 ? file + ":" + std::to_string(line) : file, fault.reason);
  }
}

Preset read_preset(const std::string& path) {
  const std::vector<std::uint8_t> bytes = read_file_bytes(path, kMaxPresetFile);
  return parse_preset(std::string(bytes.begin(), bytes.end()), path);
}

std::string format_preset(const Preset& preset) {
  std::string text = "# apehost preset\nversion = " + std::to_string(kPresetVersion) + "\n\n";
  text += "[background]\n";
  switch (preset.background.mode) {
    case Background::Mode::clear: {
      char colour[16];
      std::snprintf(colour, sizeof colour, "0x%06x",
                    static_cast<unsigned>(preset.background.colour & 0xFFFFFFu));
      text += "mode = \"clear\"\ncolour = \"" + std::string(colour) + "\"\n";
      break;
    }
    case Background::Mode::keep:
      text += "mode = \"keep\"\n";
      break;
    case Background::Mode::fade:
      text += "mode = \"fade\"\namount = " + std::to_string(preset.background.fade) + "\n";
      break;
  }
  for (const PresetEffect& effect : preset.effects) {
    // Names and paths are written as TOML basic strings: quotes and backslashes escaped.
    std::string quoted;
    for (char c : effect.plugin) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += c;
    }
    text += "\n[[effect]]\nplugin = \"" + quoted + "\"\n";
    if (effect.settings)
      text += "settings = \"\"\"\n" + blob_hex_lines(*effect.settings) + "\"\"\"\n";
  }
  return text;
}

std::string preset_plugin(const std::string& argument) {
  if (is_plugin_name(argument)) return argument;  // a name, looked up as on the command line
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(argument, error);
  return error ? argument : absolute.lexically_normal().string();
}

std::string preset_plugin_argument(const PresetEffect& effect, const std::string& preset_path) {
  if (is_plugin_name(effect.plugin) || std::filesystem::path(effect.plugin).is_absolute()) {
    return effect.plugin;
  }
  return (std::filesystem::path(preset_path).parent_path() / effect.plugin).string();
}

ChainPlan plan_preset(const Preset& preset, const std::string& preset_path,
                      std::optional<std::uint32_t> ticks, const PluginNote& note) {
  ChainPlan plan;
  for (const PresetEffect& effect : preset.effects) {
    const std::string argument = preset_plugin_argument(effect, preset_path);
    plan.plugins.push_back(argument);
    plan.modules.push_back(load_plugin(argument, note));
    if (effect.settings) {
      plan.blobs.emplace_back(
          std::vector<std::uint8_t>(effect.settings->begin(), effect.settings->end()));
    } else {
      plan.blobs.emplace_back(std::nullopt);
    }
  }
  plan.ticks = ticks;
  return plan;
}

}  // namespace apehost
