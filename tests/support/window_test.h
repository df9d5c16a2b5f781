// What the tests of the real window share: simulated meters on
// pseudo-terminals, linked as COM<slot> in a folder of the test's own, a
// settings file there, the window on the real engine, and controls found as
// a screen reader finds them, by accessible name.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "sim/meter_simulator.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/temp_dir.h"

// Failed expectations on texts print the text, not its UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace quorvel::testing {

// Ticks the engine every 50 ms as its timer would, but never before the
// answers to the last tick are in (or a second has passed). Each request
// purges the line first, dropping whatever is still on its way, and a
// loaded machine can hold a pseudo-terminal's bytes for over 100 ms: these
// tests would lose answers they wait for through no fault of the window.
class AnswerPacedTicks {
 public:
  explicit AnswerPacedTicks(MainWindow& window) : window_(window) {
    QObject::connect(&window.engine(), &Engine::requestSent, &timer_, [this] { ++asked_; });
    QObject::connect(&window.engine(), &Engine::frameDecoded, &timer_, [this] { ++answered_; });
    QObject::connect(&timer_, &QTimer::timeout, [this] { MaybeTick(); });
  }
  void Start() {
    since_tick_.start();
    timer_.start(50);
  }

 private:
  void MaybeTick() {
    if (window_.Exiting() || (answered_ < asked_ && since_tick_.elapsed() < 1000)) return;
    asked_ = answered_ = 0;
    since_tick_.restart();
    window_.engine().Tick();
  }

  MainWindow& window_;
  QTimer timer_;
  QElapsedTimer since_tick_;
  int asked_ = 0;
  int answered_ = 0;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }

  // Starts one simulated meter per slot (meter i on slots[i]) with
  // `options`, and writes `ini` as the settings file; `engine_options` gets
  // the file and the links. A failure is fatal to the test.
  void StartMeters(const std::vector<int>& slots, sim::MeterSimulatorOptions options, const std::string& ini,
                   Engine::Options& engine_options) {
    for (const int slot : slots) options.links.push_back((dir / ("COM" + std::to_string(slot))).string());
    std::string error;
    simulator = sim::MeterSimulator::Open(options, &error);
    ASSERT_TRUE(simulator && simulator->Start(&error)) << error;
    std::ofstream(dir / "Power Meter.ini") << ini;
    engine_options.settings_path = dir / "Power Meter.ini";
    for (std::size_t i = 0; i < slots.size(); ++i) engine_options.port_assignments[slots[i]] = simulator->Link(i);
  }

  template <typename W = QWidget>
  W* Named(QWidget& parent, const QString& name) {
    for (W* widget : parent.findChildren<W*>()) {
      if (widget->accessibleName() == name) return widget;
    }
    ADD_FAILURE() << "no control named " << name.toStdString() << " in " << parent.objectName().toStdString();
    return nullptr;
  }

  TempDir dir;
  std::unique_ptr<sim::MeterSimulator> simulator;
  RecordingNotifier notices;
  MainWindow window{&notices};
};

}  // namespace quorvel::testing
