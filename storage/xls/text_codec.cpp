#include "storage/xls/text_codec.h"

#include <algorithm>

namespace quorvel::xls {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char c) { return (c & 0xC0u) == 0x80u; }

// Decodes one code point at text[*i] and advances *i past it.
char32_t NextCodePoint(std::string_view text, std::size_t* i) {
  const auto byte = [&text](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(*i);
  std::size_t length = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (lead < 0x80u) {
    ++*i;
    return lead;
  }
  if ((lead & 0xE0u) == 0xC0u) {
    length = 2;
    cp = lead & 0x1Fu;
    min = 0x80;
  } else if ((lead & 0xF0u) == 0xE0u) {
    length = 3;
    cp = lead & 0x0Fu;
    min = 0x800;
  } else if ((lead & 0xF8u) == 0xF0u) {
    length = 4;
    cp = lead & 0x07u;
    min = 0x10000;
  } else {
    ++*i;
    return kReplacement;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (*i + k >= text.size() || !IsContinuation(byte(*i + k))) {
      *i += k;
      return kReplacement;
    }
    cp = (cp << 6) | (byte(*i + k) & 0x3Fu);
  }
  *i += length;
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    return kReplacement;
  }
  return cp;
}

void PutUtf8(std::string& out, char32_t cp) {
  const auto put = [&out](unsigned v) { out.push_back(static_cast<char>(v)); };
  if (cp < 0x80) {
    put(static_cast<unsigned>(cp));
  } else if (cp < 0x800) {
    put(0xC0u | static_cast<unsigned>(cp >> 6));
    put(0x80u | static_cast<unsigned>(cp & 0x3F));
  } else if (cp < 0x10000) {
    put(0xE0u | static_cast<unsigned>(cp >> 12));
    put(0x80u | static_cast<unsigned>((cp >> 6) & 0x3F));
    put(0x80u | static_cast<unsigned>(cp & 0x3F));
  } else {
    put(0xF0u | static_cast<unsigned>(cp >> 18));
    put(0x80u | static_cast<unsigned>((cp >> 12) & 0x3F));
    put(0x80u | static_cast<unsigned>((cp >> 6) & 0x3F));
    put(0x80u | static_cast<unsigned>(cp & 0x3F));
  }
}

bool FitsOneByte(std::u16string_view units) {
  return std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 0x100; });
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text, std::size_t max_units) {
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const char32_t cp = NextCodePoint(text, &i);
    if (cp >= 0x10000) {
      if (out.size() + 2 > max_units) {
        break;
      }
      const char32_t v = cp - 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      if (out.size() + 1 > max_units) {
        break;
      }
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(units[i + 1]) - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    PutUtf8(out, cp);
  }
  return out;
}

void PutBiffChars(Bytes& out, std::u16string_view units) {
  if (FitsOneByte(units)) {
    PutU8(out, 0);
    for (const char16_t u : units) {
      PutU8(out, static_cast<std::uint8_t>(u));
    }
  } else {
    PutU8(out, 1);
    for (const char16_t u : units) {
      PutU16(out, static_cast<std::uint16_t>(u));
    }
  }
}

std::size_t BiffCharsSize(std::u16string_view units) { return 1 + units.size() * (FitsOneByte(units) ? 1 : 2); }

}  // namespace quorvel::xls
