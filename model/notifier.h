// The one way the program tells the user something: a modal message box in
// the window, a recorded entry in tests, a line on stderr in the CLI.
#pragma once

#include <string>

namespace quorvel {

enum class NoticeIcon { kInformation, kWarning, kStop };

struct Notice {
  std::string title;  // empty: the application's own title
  std::string text;
  NoticeIcon icon = NoticeIcon::kInformation;
};

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Returns when the user has acknowledged the notice (a box with OK).
  virtual void Notify(const Notice& notice) = 0;
  // A notice with this text is no longer true (a lost device is back): a
  // box still showing it closes. A line already written stays.
  virtual void Withdraw(const std::string& /*text*/) {}
};

}  // namespace quorvel
