#include "storage/text_encoding.h"

#include <cstdint>

#include "model/names.h"

namespace quorvel {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

std::uint8_t Byte(std::string_view text, std::size_t i) { return static_cast<std::uint8_t>(text[i]); }

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void AppendUnit(std::string& out, std::uint32_t unit, bool big_endian) {
  const char high = static_cast<char>(unit >> 8);
  const char low = static_cast<char>(unit & 0xFF);
  out += big_endian ? high : low;
  out += big_endian ? low : high;
}

std::optional<std::string> Utf16ToUtf8(std::string_view bytes, bool big_endian) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  const auto unit = [&](std::size_t i) -> std::uint32_t {
    const std::uint32_t first = Byte(bytes, i);
    const std::uint32_t second = Byte(bytes, i + 1);
    return big_endian ? (first << 8 | second) : (second << 8 | first);
  };
  std::string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    std::uint32_t code = unit(i);
    if (code >= 0xDC00 && code <= 0xDFFF) return std::nullopt;
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (i + 3 >= bytes.size()) return std::nullopt;
      const std::uint32_t low = unit(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    AppendUtf8(text, code);
  }
  return text;
}

// Strict: overlong forms, surrogates and stray bytes have no UTF-16.
std::optional<std::string> Utf8ToUtf16(std::string_view text, bool big_endian) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Char character = DecodeUtf8(text.substr(i));
    if (character.length == 0) return std::nullopt;
    const std::size_t length = character.length;
    const std::uint32_t code = character.code;
    if (code >= 0x10000) {
      AppendUnit(bytes, 0xD800 + ((code - 0x10000) >> 10), big_endian);
      AppendUnit(bytes, 0xDC00 + ((code - 0x10000) & 0x3FF), big_endian);
    } else {
      AppendUnit(bytes, code, big_endian);
    }
    i += length;
  }
  return bytes;
}

// UTF-16 without a mark: ASCII text has a zero in every other byte, the
// high byte of each unit. At least one whole unit, and no zero in the
// other bytes.
std::optional<TextEncoding::Form> UnmarkedUtf16(std::string_view bytes) {
  if (bytes.size() < 2 || bytes.size() % 2 != 0) return std::nullopt;
  const std::size_t sample = std::min<std::size_t>(bytes.size(), 512);
  std::size_t zero_even = 0;
  std::size_t zero_odd = 0;
  for (std::size_t i = 0; i < sample; ++i) {
    if (Byte(bytes, i) == 0) ++(i % 2 == 0 ? zero_even : zero_odd);
  }
  const std::size_t units = sample / 2;
  // Most units ASCII (a value may hold other letters), never both halves zero.
  if (zero_odd * 2 > units && zero_even == 0) return TextEncoding::Form::kUtf16Le;
  if (zero_even * 2 > units && zero_odd == 0) return TextEncoding::Form::kUtf16Be;
  return std::nullopt;
}

}  // namespace

std::string EncodingName(const TextEncoding& encoding) {
  std::string name = encoding.form == TextEncoding::Form::kUtf8      ? "UTF-8"
                     : encoding.form == TextEncoding::Form::kUtf16Le ? "UTF-16LE"
                                                                     : "UTF-16BE";
  return encoding.byte_order_mark ? name + " with a byte-order mark" : name;
}

std::optional<DecodedText> DecodeText(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Mark)) {
    return DecodedText{std::string(bytes.substr(kUtf8Mark.size())), {TextEncoding::Form::kUtf8, true}};
  }
  std::optional<TextEncoding::Form> form;
  bool mark = true;
  if (bytes.starts_with(kUtf16LeMark)) {
    form = TextEncoding::Form::kUtf16Le;
  } else if (bytes.starts_with(kUtf16BeMark)) {
    form = TextEncoding::Form::kUtf16Be;
  } else {
    form = UnmarkedUtf16(bytes);
    mark = false;
  }
  if (!form) return DecodedText{std::string(bytes), {}};
  const std::string_view units = mark ? bytes.substr(2) : bytes;
  std::optional<std::string> text = Utf16ToUtf8(units, *form == TextEncoding::Form::kUtf16Be);
  if (!text) return std::nullopt;
  return DecodedText{std::move(*text), {*form, mark}};
}

std::optional<std::string> EncodeText(std::string_view text, const TextEncoding& encoding) {
  switch (encoding.form) {
    case TextEncoding::Form::kUtf8:
      return (encoding.byte_order_mark ? std::string(kUtf8Mark) : std::string()) + std::string(text);
    case TextEncoding::Form::kUtf16Le:
    case TextEncoding::Form::kUtf16Be: {
      const bool big_endian = encoding.form == TextEncoding::Form::kUtf16Be;
      std::optional<std::string> units = Utf8ToUtf16(text, big_endian);
      if (!units) return std::nullopt;
      if (!encoding.byte_order_mark) return units;
      return std::string(big_endian ? kUtf16BeMark : kUtf16LeMark) + *units;
    }
  }
  return std::nullopt;
}

}  // namespace quorvel
