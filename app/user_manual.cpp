#include "app/user_manual.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include <system_error>

namespace quorvel {

namespace fs = std::filesystem;

std::vector<fs::path> UserManualFolders() {
  std::vector<fs::path> folders;
#ifdef QUORVEL_INSTALLED_MANUAL_DIR
  folders.emplace_back(QUORVEL_INSTALLED_MANUAL_DIR);
#endif
#ifdef QUORVEL_BUILT_MANUAL_DIR
  folders.emplace_back(QUORVEL_BUILT_MANUAL_DIR);
#endif
  return folders;
}

std::optional<fs::path> FindUserManual(const fs::path& working_dir, const std::vector<fs::path>& folders) {
  const auto has_manual = [](const fs::path& folder) {
    std::error_code ec;
    return fs::is_regular_file(folder / kUserManualFileName, ec);
  };
  if (has_manual(working_dir)) return working_dir / kUserManualFileName;
  for (const fs::path& folder : folders) {
    if (has_manual(folder)) return folder / kUserManualFileName;
  }
  return std::nullopt;
}

UserManualOpening OpenUserManual() {
  std::error_code ec;
  const fs::path working_dir = fs::current_path(ec);
  const auto manual = FindUserManual(ec ? fs::path(".") : working_dir, UserManualFolders());
  if (!manual) return {UserManualOutcome::kNotFound, {}};
  // An absolute path, so the viewer finds it whatever its own working folder.
  fs::path path = fs::absolute(*manual, ec);
  if (ec) path = *manual;
  const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
  return {opened ? UserManualOutcome::kOpened : UserManualOutcome::kViewerFailed, path};
}

std::string UserManualMessage(const UserManualOpening& opening) {
  switch (opening.outcome) {
    case UserManualOutcome::kOpened:
      return {};
    case UserManualOutcome::kNotFound:
      return kUserManualMissingText;
    case UserManualOutcome::kViewerFailed:
      return "Can not open " + opening.path.string() + ": no program to show PDF files was found";
  }
  return {};
}

}  // namespace quorvel
