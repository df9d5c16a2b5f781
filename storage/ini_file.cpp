#include "storage/ini_file.h"

#include "model/names.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace quorvel {
namespace {

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// "[Name]" -> Name; nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

struct KeyValue {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyValue> SplitKeyValue(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return KeyValue{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

}  // namespace

IniFile IniFile::Parse(std::string_view text) {
  IniFile file;
  if (text.find("\r\n") != std::string_view::npos) file.newline_ = "\r\n";
  file.ends_with_newline_ = text.empty() || text.back() == '\n';
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    file.lines_.push_back({std::string(line)});
    start = end + 1;
  }
  return file;
}

IniFile::LoadResult IniFile::Load(const std::filesystem::path& path) {
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  if (!exists) return {IniFile{}, ec ? path.string() + ": " + ec.message() : std::string{}};
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return {IniFile{}, path.string() + ": " + ec.message()};
  if (size > kMaxSize) return {IniFile{}, path.string() + ": too large for a settings file"};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {IniFile{}, path.string() + ": " + std::strerror(errno)};
  std::ostringstream text;
  text << in.rdbuf();
  return {Parse(text.str()), {}};
}

std::optional<IniFile::SectionRange> IniFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(lines_[i].text);
    if (!name || !EqualsIgnoringCase(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end].text)) ++end;
    return SectionRange{i, i + 1, end};
  }
  return std::nullopt;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key,
                                        std::size_t max_length) const {
  const auto range = FindSection(section);
  if (!range) return std::nullopt;
  for (std::size_t i = range->begin; i < range->end; ++i) {
    const auto kv = SplitKeyValue(lines_[i].text);
    if (kv && EqualsIgnoringCase(kv->key, key)) return std::string(kv->value.substr(0, max_length));
  }
  return std::nullopt;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  const auto range = FindSection(section);
  if (!range) return keys;
  for (std::size_t i = range->begin; i < range->end; ++i) {
    const auto kv = SplitKeyValue(lines_[i].text);
    if (!kv || kv->key.empty()) continue;
    bool seen = false;
    for (const auto& k : keys) seen = seen || EqualsIgnoringCase(k, kv->key);
    if (!seen) keys.emplace_back(kv->key);
  }
  return keys;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key) + "=" + std::string(value);
  const auto range = FindSection(section);
  if (!range) {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({""});
    lines_.push_back({"[" + std::string(section) + "]"});
    lines_.push_back({std::move(line)});
    return;
  }
  for (std::size_t i = range->begin; i < range->end; ++i) {
    const auto kv = SplitKeyValue(lines_[i].text);
    if (kv && EqualsIgnoringCase(kv->key, key)) {
      lines_[i].text = std::move(line);
      return;
    }
  }
  // After the section's last non-blank line, so blank separators stay put.
  std::size_t at = range->end;
  while (at > range->begin && Trim(lines_[at - 1].text).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(line)});
}

bool IniFile::Remove(std::string_view section, std::string_view key) {
  const auto range = FindSection(section);
  if (!range) return false;
  std::size_t end = range->end;
  bool removed = false;
  for (std::size_t i = range->begin; i < end;) {
    const auto kv = SplitKeyValue(lines_[i].text);
    if (kv && EqualsIgnoringCase(kv->key, key)) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      --end;
      removed = true;
    } else {
      ++i;
    }
  }
  return removed;
}

std::string IniFile::Text() const {
  std::string text;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    text += lines_[i].text;
    if (i + 1 < lines_.size() || ends_with_newline_) text += newline_;
  }
  return text;
}

std::string IniFile::Save(const std::filesystem::path& path) const {
  std::filesystem::path temporary = path;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot write " + temporary.string() + ": " + std::strerror(errno);
    const std::string text = Text();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out) {
      const std::string reason = std::strerror(errno);
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return "cannot write " + temporary.string() + ": " + reason;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return "cannot replace " + path.string() + ": " + ec.message();
  }
  return {};
}

}  // namespace quorvel
