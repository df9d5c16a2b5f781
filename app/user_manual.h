// The user manual behind the Help button: "user manual.pdf" from the
// working folder, else from the installed documentation folder, else, in a
// developer's build, from the build folder (so that Help works on a fresh
// build started from anywhere; a Release build for an install prefix never
// looks there), shown by the desktop's PDF viewer. No message boxes here:
// the window tells the outcome through its notifier.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

inline constexpr const char* kUserManualFileName = "user manual.pdf";
inline constexpr const char* kUserManualMissingText = "Can not find the help file of Power Meter";

// The folders looked in after the working folder: the installed
// documentation folder, then the build folder where the build looks there.
std::vector<std::filesystem::path> UserManualFolders();

// The manual in `working_dir`, else in the first of `folders` that has it
// (a file, or a link to one); empty when none has.
std::optional<std::filesystem::path> FindUserManual(const std::filesystem::path& working_dir,
                                                    const std::vector<std::filesystem::path>& folders);

enum class UserManualOutcome {
  kOpened,        // handed to the desktop's viewer
  kNotFound,      // no manual anywhere: tell kUserManualMissingText
  kViewerFailed,  // found, but the desktop has no program for it
};

struct UserManualOpening {
  UserManualOutcome outcome = UserManualOutcome::kNotFound;
  std::filesystem::path path;  // the manual found, if any
};

// Looks in the current working folder, then UserManualFolders(), and asks
// the desktop to open what it finds. Needs a QGuiApplication.
UserManualOpening OpenUserManual();

// What the window tells the user; empty when the manual opened.
std::string UserManualMessage(const UserManualOpening& opening);

}  // namespace quorvel
