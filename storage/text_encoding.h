// The encodings a hand-edited text file comes in: UTF-8 with or without a
// byte-order mark (and bytes that are not UTF-8 kept as they are), and
// UTF-16 as Windows Notepad saves it. A file is read into UTF-8 text and
// written back in the encoding it was found in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

struct TextEncoding {
  enum class Form { kUtf8, kUtf16Le, kUtf16Be };
  Form form = Form::kUtf8;
  bool byte_order_mark = false;

  bool operator==(const TextEncoding&) const = default;
};

// "UTF-8", "UTF-8 with a byte-order mark", "UTF-16LE", ...
std::string EncodingName(const TextEncoding& encoding);

struct DecodedText {
  std::string text;  // UTF-8 (or the file's own bytes, for UTF-8 that is not)
  TextEncoding encoding;
};

// Finds the encoding by its byte-order mark; without one, text whose every
// other byte is zero is taken for UTF-16 (as ASCII text in UTF-16 is).
// Empty when the bytes claim UTF-16 and are not (an odd length, a lone
// surrogate).
std::optional<DecodedText> DecodeText(std::string_view bytes);

// The file's bytes for UTF-8 text: its mark, then the text in its form.
// Empty when UTF-16 cannot carry the text (bytes that are not UTF-8).
std::optional<std::string> EncodeText(std::string_view text, const TextEncoding& encoding);

}  // namespace quorvel
