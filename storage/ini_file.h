// The private-profile text format: "[Section]" lines, then "key=value"
// lines. Sections and keys are matched without regard to case and the first
// match wins. Writing a value replaces its line in place and keeps every
// other line of the file, unknown sections and comments included.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class IniFile {
 public:
  // Files above this size are not parsed: they cannot be a settings file.
  static constexpr std::uintmax_t kMaxSize = 1 << 20;

  IniFile() = default;
  // Parses the text as it is; never fails.
  static IniFile Parse(std::string_view text);

  struct LoadResult;
  // A file that is missing, unreadable or too large gives an empty profile
  // and a reason (empty for a missing file, which is the normal first run).
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

  std::string Text() const;
  // Writes the whole text to a temporary file beside `path` and renames it
  // over `path`, so a failed write never leaves half a file. Returns an
  // empty text on success, else the reason.
  std::string Save(const std::filesystem::path& path) const;

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
};

struct IniFile::LoadResult {
  IniFile file;
  std::string problem;  // why the file could not be used; empty when it could
};

}  // namespace quorvel
