#include "storage/ini_file.h"

#include "model/names.h"
#include "storage/xls/file_io.h"

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

IniFile IniFile::Parse(std::string_view text, TextEncoding encoding) {
  IniFile file;
  file.encoding_ = encoding;
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
  const auto failed = [&](StatusCode code, const std::string& why) {
    return LoadResult{IniFile{}, Status::Fail(code, path.string() + ": " + why)};
  };
  if (!exists) return ec ? failed(StatusCode::kIoError, ec.message()) : LoadResult{};
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return failed(StatusCode::kIoError, ec.message());
  if (size > kMaxSize) return failed(StatusCode::kInvalid, "too large for a settings file");
  std::ifstream in(path, std::ios::binary);
  if (!in) return failed(StatusCode::kIoError, std::strerror(errno));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::optional<DecodedText> decoded = DecodeText(bytes.str());
  // Never parsed as bytes: a save would add lines in another encoding.
  if (!decoded) return failed(StatusCode::kInvalid, "not valid UTF-16 text, though it begins like it");
  return {Parse(decoded->text, decoded->encoding), Status::Ok()};
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

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key, std::size_t max_length) const {
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

namespace {

// The file a path names, past every symbolic link: a link to a settings file
// elsewhere keeps pointing there after a save.
Result<std::filesystem::path> FinalTarget(std::filesystem::path path) {
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, ec);
    if (ec || !std::filesystem::is_symlink(status)) return path;
    const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
    if (ec) return Status::Fail(StatusCode::kIoError, "cannot follow " + path.string() + ": " + ec.message());
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return Status::Fail(StatusCode::kIoError, "cannot follow " + path.string() + ": too many levels of symbolic links");
}

}  // namespace

Status IniFile::Save(const std::filesystem::path& path) const {
  const Result<std::filesystem::path> followed = FinalTarget(path);
  if (!followed.ok()) return followed.status();
  const std::filesystem::path* target = &followed.value();
  const std::optional<std::string> bytes = EncodeText(Text(), encoding_);
  if (!bytes) {
    return Status::Fail(StatusCode::kInvalid, "cannot write " + target->string() + " in " + EncodingName(encoding_) +
                                                  ", its encoding: a value is not text that it can hold");
  }

  std::filesystem::path temporary = *target;
  temporary += ".new";
  const std::string temporary_name = temporary.string();
  // Left by a save that was cut off: ours, and never followed if a link.
  (void)xls::RemoveFile(temporary_name);
  xls::File file;
  const auto fail = [&](const std::string& what, const xls::IoResult& io) {
    file = xls::File{};
    (void)xls::RemoveFile(temporary_name);
    return Status::Fail(StatusCode::kIoError, what + ": " + io.text);
  };
  xls::IoResult io = xls::File::CreateNew(temporary_name, &file);
  if (!io.ok()) return Status::Fail(StatusCode::kIoError, "cannot write " + temporary_name + ": " + io.text);
  io = file.WriteAt(0, xls::ByteView(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
  if (io.ok()) io = file.SyncData();
  if (!io.ok()) return fail("cannot write " + temporary_name, io);
  io = file.Close();
  if (!io.ok()) return fail("cannot write " + temporary_name, io);

  std::error_code ec;
  // The file keeps who may read it.
  const std::filesystem::file_status old = std::filesystem::status(*target, ec);
  if (!ec && std::filesystem::is_regular_file(old)) {
    std::filesystem::permissions(temporary, old.permissions(), ec);
  }
  std::filesystem::rename(temporary, *target, ec);
  if (ec) {
    (void)xls::RemoveFile(temporary_name);
    return Status::Fail(StatusCode::kIoError, "cannot replace " + target->string() + ": " + ec.message());
  }
  (void)xls::SyncDirectoryOf(target->string());
  return Status::Ok();
}

}  // namespace quorvel
