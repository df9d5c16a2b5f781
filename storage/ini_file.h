// The private-profile text format: "[Section]" lines, then "key=value"
// lines. Sections and keys are matched without regard to case and the first
// match wins. Writing a value replaces its line in place and keeps every
// other line of the file, unknown sections and comments included, and the
// file keeps the encoding it was found in (storage/text_encoding.h).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/status.h"
#include "storage/text_encoding.h"

namespace quorvel {

class IniFile {
 public:
  // Files above this size are not parsed: they cannot be a settings file.
  static constexpr std::uintmax_t kMaxSize = 1 << 20;

  IniFile() = default;
  // Parses UTF-8 text as it is; never fails. Saved as `encoding`.
  static IniFile Parse(std::string_view text, TextEncoding encoding = {});

  struct LoadResult;
  // A file that is missing, unreadable, too large or not in an encoding it
  // claims gives an empty profile, with a failed Status saying why (a
  // missing file is no failure: it is the normal first run).
  static LoadResult Load(const std::filesystem::path& path);

  // The value of the first matching key in the first matching section,
  // blanks around it removed, at most `max_length` characters.
  std::optional<std::string> Get(std::string_view section, std::string_view key,
                                 std::size_t max_length = std::string::npos) const;
  // Keys of the first matching section, in file order, each once.
  std::vector<std::string> Keys(std::string_view section) const;

  // Replaces the first matching key's line, or adds the key at the end of the
  // section, or adds the section at the end of the file.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Removes every line of the key in the first matching section; the
  // section, its comments and its other keys stay. False when there was none.
  bool Remove(std::string_view section, std::string_view key);

  // The text in UTF-8, without a byte-order mark.
  std::string Text() const;
  const TextEncoding& Encoding() const { return encoding_; }
  // Writes the whole text, in the encoding the file was found in, to a
  // temporary file beside the file `path` names (the target of a symbolic
  // link: the link stays), forces it to the disk and renames it over that
  // file, so a failed write or a crash never leaves half a file. The failure
  // says why.
  Status Save(const std::filesystem::path& path) const;

 private:
  struct Line {
    std::string text;  // without its line ending
  };
  // Index range [begin, end) of a section's lines (header excluded).
  struct SectionRange {
    std::size_t header;
    std::size_t begin;
    std::size_t end;
  };
  std::optional<SectionRange> FindSection(std::string_view section) const;

  std::vector<Line> lines_;
  std::string newline_ = "\n";
  bool ends_with_newline_ = true;
  TextEncoding encoding_;
};

struct IniFile::LoadResult {
  IniFile file;
  Status status;  // why the file could not be used; ok when it could
};

// A change of some lines starts from the file as it is on disk; one that
// cannot be read is not overwritten, and this says why.
inline Status CannotUpdate(const Status& load) { return Status::Fail(load.code(), "cannot update " + load.text()); }

}  // namespace quorvel
