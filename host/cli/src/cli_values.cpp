#include "cli/cli_values.hpp"

#include "base/host_error.hpp"

namespace apehost {
namespace {

// Decimal digits only (no sign, no spaces), 1..kMaxFrameSide; -1 otherwise.
int parse_side(const std::string& text) {
  if (text.empty() || text.size() > 5) return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= kMaxFrameSide ? value : -1;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

FrameSize parse_frame_size(const std::string& option, const std::string& text) {
  const auto x = text.find('x');
  const FrameSize size = x == std::string::npos ? FrameSize{-1, -1}
                                                : FrameSize{parse_side(text.substr(0, x)),
                                                            parse_side(text.substr(x + 1))};
  if (size.width < 0 || size.height < 0) {
    throw bad_input(option, "'" + text + "' is not a frame size WIDTHxHEIGHT with both sides 1.." +
                                std::to_string(kMaxFrameSide));
  }
  return size;
}

std::uint32_t parse_colour(const std::string& option, const std::string& text) {
  std::string digits = text;
  if (digits.rfind("#", 0) == 0) {
    digits.erase(0, 1);
  } else if (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0) {
    digits.erase(0, 2);
  }
  std::uint32_t colour = 0;
  bool ok = digits.size() == 6;
  for (char c : digits) {
    const int d = hex_digit(c);
    ok = ok && d >= 0;
    colour = colour << 4 | static_cast<std::uint32_t>(d < 0 ? 0 : d);
  }
  if (!ok) throw bad_input(option, "'" + text + "' is not a colour RRGGBB (six hex digits)");
  return colour;
}

std::vector<std::uint32_t> parse_colour_list(const std::string& option, const std::string& text) {
  std::vector<std::uint32_t> colours;
  std::size_t start = 0;
  for (;;) {
    const auto comma = text.find(',', start);
    colours.push_back(parse_colour(option, text.substr(start, comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return colours;
}

}  // namespace apehost
