// The real-time page before and after a meter answers, in the real window
// on the real engine with simulated meters: the reading boxes never show
// figures no meter sent, and a hint names the next step.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "pages/realtime_page.h"
#include "tests/support/spin.h"
#include "tests/support/window_test.h"

namespace quorvel {
namespace {

using testing::SpinUntil;

struct StartCase {
  const char* name;
  std::vector<int> slots;
  bool choose_first;  // as --demo starts
  const char* chosen;
  const char* hint;
};

void PrintTo(const StartCase& c, std::ostream* out) { *out << c.name; }

class StartPage : public testing::WindowTest, public ::testing::WithParamInterface<StartCase> {
 protected:
  QString Text(const char* name) { return Named<QLineEdit>(window, QString::fromUtf8(name))->text(); }
  QString Hint() {
    auto* hint = window.RealTime().findChild<QLabel*>(QStringLiteral("hint"));
    return hint != nullptr && !hint->isHidden() ? hint->text() : QString();
  }
  bool NoReadings() {
    for (const char* name : {"Voltage", "Current", "Power", "Factor", "Energy", "CO2"}) {
      if (Text(name) != QStringLiteral("--")) return false;
    }
    return true;
  }

  testing::AnswerPacedTicks ticks{window};
};

TEST_P(StartPage, ReadingsShowNothingUntilTheChosenMeterAnswersAndAHintSaysWhatToDo) {
  const StartCase& c = GetParam();
  sim::MeterSimulatorOptions options;
  options.byte_interval = std::chrono::microseconds{0};
  Engine::Options engine_options;
  engine_options.tick_ms = 0;
  engine_options.port_scan_ms = 0;
  engine_options.choose_first_device = c.choose_first;
  if (c.slots.empty()) {
    engine_options.settings_path = dir / "Power Meter.ini";
  } else {
    ASSERT_NO_FATAL_FAILURE(StartMeters(c.slots, options, "", engine_options));
  }
  window.Start(engine_options);
  ticks.Start();
  window.show();
  auto* box = Named<QComboBox>(window.RealTime(), QStringLiteral("Device"));
  EXPECT_TRUE(NoReadings());
  EXPECT_EQ(box->currentText(), QString::fromUtf8(c.chosen));
  EXPECT_EQ(Hint(), QString::fromUtf8(c.hint));
  if (c.slots.empty()) return;

  // Chosen, one press of comm: live readings, and the hint is gone.
  if (box->currentIndex() < 0) window.RealTime().SelectEntry(0);
  window.RealTime().PressComm();
  ASSERT_TRUE(SpinUntil([&] { return Text("Voltage") != QStringLiteral("--"); }));
  EXPECT_EQ(Hint(), QString());
  // Stopped, its last readings stay and the hint says so; another meter
  // chosen shows nothing until it answers.
  window.RealTime().PressComm();
  EXPECT_TRUE(Hint().startsWith(QStringLiteral("COM3 is stopped")));
  EXPECT_FALSE(NoReadings());
  window.RealTime().SelectEntry(1);
  EXPECT_TRUE(NoReadings());
  EXPECT_EQ(Hint(), QStringLiteral("Press the plug button beside the Device box to start reading COM5."));
  EXPECT_TRUE(notices.texts.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Starts, StartPage,
    ::testing::Values(
        StartCase{
            "no_meter", {}, false, "", "No meter found. Plug in a meter's USB adapter; it appears in the Device box."},
        StartCase{"meters",
                  {3, 5},
                  false,
                  "",
                  "Choose a meter in the Device box, then press the plug button beside it to start reading it."},
        StartCase{"demo", {3, 5}, true, "COM3", "Press the plug button beside the Device box to start reading COM3."}),
    [](const ::testing::TestParamInfo<StartCase>& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace quorvel
