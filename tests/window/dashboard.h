// The dashboard window on the real engine over simulated meters whose
// clocks start on 2009/06/23 09:30 (a Tuesday in week 25), ticked as soon
// as the answers to the last tick are in: what the window tests share.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "pages/realtime_page.h"
#include "tests/support/spin.h"
#include "tests/support/window_test.h"

namespace quorvel::testing {

inline const std::chrono::local_seconds kJune23 =
    std::chrono::local_days{std::chrono::year{2009} / 6 / 23} + std::chrono::hours{9} + std::chrono::minutes{30};

class Dashboard : public WindowTest {
 protected:
  void Start(const std::vector<int>& slots, int port_scan_ms = 0, const std::string& ini = "") {
    sim::MeterSimulatorOptions options;
    options.byte_interval = std::chrono::microseconds{0};
    options.start_clock = kJune23;
    Engine::Options engine_options;
    engine_options.tick_ms = 0;  // ticked by `ticks`
    engine_options.port_scan_ms = port_scan_ms;
    ASSERT_NO_FATAL_FAILURE(StartMeters(slots, options, ini, engine_options));
    for (std::size_t i = 0; i < slots.size(); ++i) meter_of[slots[i]] = i;
    window.Start(engine_options);
    ticks.Start();
    window.show();
  }
  sim::PtyMeter& Meter(int slot) { return simulator->Meter(meter_of.at(slot)); }

  template <typename W = QWidget>
  W* Find(const QString& name) {
    return Named<W>(window, name);
  }
  QString Text(const QString& name) { return Find<QLineEdit>(name)->text(); }
  void Type(const QString& name, const QString& text) { Find<QLineEdit>(name)->setText(text); }
  void Press(const QString& name) { Find<QAbstractButton>(name)->click(); }
  QString Tip(const QString& name) { return Find(name)->toolTip(); }
  // Selects the slot in the device box and presses the comm button.
  void Open(int slot) {
    auto* box = Find<QComboBox>(QStringLiteral("Device"));
    window.RealTime().SelectEntry(box->findData(slot));
    Press(QStringLiteral("Comm Start"));
    ASSERT_TRUE(window.engine().IsOpen(slot)) << notices.texts.back();
  }
  bool Told(const std::string& text) {
    return SpinUntil(
        [&] { return std::find(notices.texts.begin(), notices.texts.end(), text) != notices.texts.end(); });
  }

  std::map<int, std::size_t> meter_of;
  AnswerPacedTicks ticks{window};
};

}  // namespace quorvel::testing
