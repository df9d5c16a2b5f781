#include "storage/xls/sheet_log.h"

#include <utility>

namespace quorvel::xls {
namespace {

// Beyond this many files something is wrong with the folder, not the log.
constexpr unsigned kMaxContinuations = 9999;

std::string FullReason(const std::string& path, std::uint32_t rows) {
  return path + " holds " + std::to_string(rows) + " rows, as many as it can";
}

}  // namespace

struct SheetLog::PassedOver {
  std::string path;
  std::string reason;  // a sentence naming the file
  bool untouched;      // passed over for what it is, not for being full
};

std::string ContinuationPath(const std::string& base, unsigned n) {
  if (n <= 1) {
    return base;
  }
  const std::size_t slash = base.find_last_of("/\\");
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = base.find_last_of('.');
  // A leading dot names a hidden file rather than starting an extension.
  if (dot == std::string::npos || dot <= name_start) {
    dot = base.size();
  }
  return base.substr(0, dot) + "_" + std::to_string(n) + base.substr(dot);
}

SheetLog::SheetLog(std::string base_path, Columns columns, WriterOptions options)
    : base_(std::move(base_path)), columns_(std::move(columns)), options_(options) {}

AppendResult SheetLog::Append(const Row& row) {
  AppendResult result;
  if (!file_) {
    if (Status s = OpenFrom(1, &result.notices); !s.ok()) {
      result.status = std::move(s);
      return result;
    }
  }
  result.status = file_->Append(row);
  if (result.status.code() == StatusCode::kFull) {
    const PassedOver filled{current_path_, FullReason(current_path_, file_->row_count()), false};
    (void)file_->Close();
    file_.reset();
    if (Status s = OpenFrom(index_ + 1, &result.notices, {filled}); !s.ok()) {
      result.status = std::move(s);
      return result;
    }
    result.status = file_->Append(row);
  }
  return result;
}

Status SheetLog::Close() {
  if (!file_) {
    return Status::Ok();
  }
  Status s = file_->Close();
  file_.reset();
  return s;
}

Status SheetLog::OpenFrom(unsigned first, std::vector<std::string>* notices, std::vector<PassedOver> passed) {
  for (unsigned n = first; n <= kMaxContinuations; ++n) {
    const std::string path = ContinuationPath(base_, n);
    OpenResult opened = SheetFile::Open(path, columns_, options_);
    if (opened.kind == OpenKind::kMissing) {
      opened = SheetFile::Create(path, columns_, options_);
      if (opened.kind == OpenKind::kExists) {
        opened = SheetFile::Open(path, columns_, options_);
      }
    }
    switch (opened.kind) {
      case OpenKind::kOpened:
        if (opened.file->full()) {
          passed.push_back({path, FullReason(path, opened.file->row_count()), false});
          (void)opened.file->Close();
          continue;
        }
        break;
      case OpenKind::kForeign:
      case OpenKind::kOtherColumns:
      case OpenKind::kDamaged:
        passed.push_back({path, opened.text, true});
        continue;
      case OpenKind::kMissing:
      case OpenKind::kExists:
      case OpenKind::kFailed:
        return Status::Fail(StatusCode::kIoError, opened.text);
    }
    file_ = std::move(opened.file);
    index_ = n;
    current_path_ = path;
    for (const PassedOver& p : passed) {
      if (told_.insert(p.path).second) {
        notices->push_back(
            p.reason + (p.untouched ? "; it is left as it is and new rows go to " : "; new rows go to ") + path + ".");
      }
    }
    return Status::Ok();
  }
  return Status::Fail(StatusCode::kIoError, "cannot write " + base_ + ": no free continuation file up to " +
                                                ContinuationPath(base_, kMaxContinuations));
}

AppendResult AppendRowToFile(const std::string& path, const Columns& columns, const Row& row, WriterOptions options) {
  SheetLog log(path, columns, options);
  AppendResult result = log.Append(row);
  if (Status s = log.Close(); result.status.ok() && !s.ok()) {
    result.status = std::move(s);
  }
  return result;
}

}  // namespace quorvel::xls
