#include "model/names.h"

#include "model/device_record.h"

namespace quorvel {

std::string ComName(int slot) { return "COM" + std::to_string(slot); }

Utf8Char DecodeUtf8(std::string_view text) {
  if (text.empty()) return {};
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = 0;
  std::uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1FU;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0FU;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07U;
  } else {
    return {};
  }
  if (text.size() < length) return {};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0U) != 0x80U) return {};
    code = (code << 6) | (byte(i) & 0x3FU);
  }
  // No overlong forms, no surrogates, nothing beyond U+10FFFF.
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return {};
  return {code, length};
}

std::size_t Utf8Length(std::string_view text) { return DecodeUtf8(text).length; }

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8Length(text.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string ShownBytes(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (std::size_t i = 0; i < name.size();) {
    const auto c = static_cast<unsigned char>(name[i]);
    const std::size_t length = Utf8Length(name.substr(i));
    // C1 controls (U+0080..U+009F) act on some terminals too.
    const bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(name[i + 1]) < 0xA0;
    if (length == 0 || c < 0x20 || c == 0x7F || c1) {
      for (std::size_t k = 0; k < (length == 0 ? 1 : length); ++k) {
        const auto b = static_cast<unsigned char>(name[i + k]);
        shown += "\\x";
        shown += kHex[b >> 4];
        shown += kHex[b & 0xF];
      }
      i += length == 0 ? 1 : length;
      continue;
    }
    shown.append(name.substr(i, length));
    i += length;
  }
  return shown;
}

std::optional<int> SlotOfComName(std::string_view name) {
  if (name.size() < 4 || name.size() > 5) return std::nullopt;
  if (!EqualsIgnoringCase(name.substr(0, 3), "COM")) return std::nullopt;
  int slot = 0;
  for (const char c : name.substr(3)) {
    if (c < '0' || c > '9') return std::nullopt;
    slot = slot * 10 + (c - '0');
  }
  if (name[3] == '0' || !IsSlotNumber(slot)) return std::nullopt;
  return slot;
}

}  // namespace quorvel
