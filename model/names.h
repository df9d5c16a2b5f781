// Names of the device slots, and the one comparison of names: what the user
// types or files hold ("COM3", "[Ports]", "Baudrate") is matched without
// regard to ASCII case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

// "COM3": the name a slot is listed under.
std::string ComName(int slot);

// The character at the start of `text`: its code point and the length of
// its UTF-8 sequence; length 0 when the bytes there are not UTF-8 (a stray
// byte, an overlong form, a surrogate, beyond U+10FFFF, cut short), or the
// text is empty.
struct Utf8Char {
  std::uint32_t code = 0;
  std::size_t length = 0;
};
Utf8Char DecodeUtf8(std::string_view text);
// DecodeUtf8(text).length.
std::size_t Utf8Length(std::string_view text);

// Whether the bytes are UTF-8 text.
bool IsUtf8(std::string_view text);

// A name from a file or the system (a device path) as text to show: bytes
// that are not UTF-8, control characters and NUL as "\xNN", so that what is
// shown is what the name holds, and nothing in it acts on a terminal.
std::string ShownBytes(std::string_view name);

// The slot number of a "COMn" name (any case, no leading zero), when n is a
// slot number 1..kSlotCount.
std::optional<int> SlotOfComName(std::string_view name);

}  // namespace quorvel
