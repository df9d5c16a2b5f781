// A notifier that keeps every notice, and can act while one is "on screen".
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "model/notifier.h"

namespace quorvel::testing {

struct RecordingNotifier : Notifier {
  void Notify(const Notice& notice) override {
    notices.push_back(notice);
    texts.push_back(notice.text);
    if (during_notice) during_notice();
  }
  std::vector<std::string> TakeTexts() { return std::exchange(texts, {}); }

  std::vector<Notice> notices;
  std::vector<std::string> texts;  // the texts of `notices`, until taken
  std::function<void()> during_notice;
};

}  // namespace quorvel::testing
