// Text as BIFF8 stores it: UTF-16 units, written as one byte each when every
// unit fits in Latin-1 ("compressed"), two bytes each otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "storage/xls/le_bytes.h"

namespace quorvel::xls {

// UTF-16 units of UTF-8 text; malformed sequences become U+FFFD. Cut to
// `max_units` without splitting a surrogate pair.
std::u16string Utf8ToUtf16(std::string_view text, std::size_t max_units);

std::string Utf16ToUtf8(std::u16string_view units);

// Option byte and characters of an XLUnicodeString, without its count.
void PutBiffChars(Bytes& out, std::u16string_view units);

// Bytes that PutBiffChars writes for these units.
std::size_t BiffCharsSize(std::u16string_view units);

}  // namespace quorvel::xls
