// What the README's screenshot programs share: the application (offscreen
// unless QT_QPA_PLATFORM says otherwise), their command line (FOLDER
// [WIDTH HEIGHT]), a settings folder of their own, simulated meters on
// pseudo-terminals and the real window on the real engine. Not a test
// fixture: a failure ends the program with its message.
#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSize>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "protocol/commands.h"
#include "sim/pty_meter.h"

namespace quorvel::testing {

struct QuietNotifier : Notifier {
  void Notify(const Notice&) override {}
};

// Runs the event loop for `ms` milliseconds.
inline void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// The control under `parent` with the accessible name `name`, found as a
// screen reader finds it; a missing one ends the program.
template <typename W = QWidget>
W* Named(QWidget& parent, const char* name) {
  for (W* widget : parent.findChildren<W*>()) {
    if (widget->accessibleName() == QString::fromUtf8(name)) return widget;
  }
  std::fprintf(stderr, "no control named %s\n", name);
  std::exit(1);
}

// Limits far off, so that the pictures show no limit alarm.
inline void SetLimitsFarOff(sim::PtyMeter& meter) {
  const RequestFrame limits = WriteLimitsRequest({9999, 9999, false});
  meter.WithModel([&](sim::MeterModel& m) { return m.Answer(sim::RequestView(limits)); });
}

class ScreenshotSession {
 public:
  // `name` names the settings folder under the temporary folder.
  ScreenshotSession(int& argc, char** argv, const char* name)
      : app_(OffscreenUnlessTold(argc), argv),
        out_(argc > 1 ? argv[1] : "."),
        size_(argc > 3 ? QSize(std::atoi(argv[2]), std::atoi(argv[3])) : QSize(1000, 720)),
        folder_(std::filesystem::temp_directory_path() / name) {
    std::filesystem::create_directories(folder_);
    engine_options.settings_path = folder_ / "Power Meter.ini";
  }

  // A started meter linked to `slot`, seeded with the slot's number.
  sim::PtyMeter& AddMeter(int slot, sim::PtyMeterOptions options = {}) {
    options.seed = static_cast<std::uint64_t>(slot);
    std::string error;
    auto meter = sim::PtyMeter::Open(options, &error);
    if (!meter || !meter->Start(&error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::exit(1);
    }
    engine_options.port_assignments[slot] = meter->SlavePath();
    meters_.push_back(std::move(meter));
    return *meters_.back();
  }

  // The window on `engine_options`, shown. Its messages are dropped, or
  // shown in its own message boxes with `messages`.
  MainWindow& StartWindow(bool messages = false) {
    window_ = std::make_unique<MainWindow>(messages ? nullptr : &quiet_);
    window_->Start(engine_options);
    window_->show();
    return *window_;
  }

  // The session's own folder, which holds its settings file.
  const std::filesystem::path& Folder() const { return folder_; }

  // The size WIDTH HEIGHT of the command line, else 1000 x 720.
  QSize ViewSize() const { return size_; }

  void Save(const QImage& picture, const char* name) const { picture.save(Path(name)); }
  // `window` with the message boxes open over it, centred as a window-modal
  // box opens (the offscreen platform draws no window frames).
  static QPixmap WithMessages(QWidget& window) {
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
      if (!box->isVisible()) continue;
      const QPixmap shown = box->grab();
      const QPoint at((picture.width() - shown.width()) / 2, (picture.height() - shown.height()) / 2);
      painter.drawPixmap(at, shown);
      painter.setPen(QColor(0x2E, 0xC4, 0xB6));
      painter.drawRect(QRect(at, shown.size()).adjusted(-1, -1, 0, 0));
    }
    return picture;
  }
  void Save(const QPixmap& picture, const char* name) const { picture.save(Path(name)); }

  // Removes the settings folder and ends at once: the window and the meters
  // need no orderly end.
  [[noreturn]] void Finish() {
    std::filesystem::remove_all(folder_);
    std::_Exit(0);
  }

  Engine::Options engine_options;

 private:
  static int& OffscreenUnlessTold(int& argc) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return argc;
  }
  QString Path(const char* name) const { return QString::fromStdString((out_ / name).string()); }

  QApplication app_;
  const std::filesystem::path out_;
  const QSize size_;
  const std::filesystem::path folder_;
  std::vector<std::unique_ptr<sim::PtyMeter>> meters_;
  QuietNotifier quiet_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace quorvel::testing
