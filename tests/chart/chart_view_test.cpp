// The chart view in the real window on the real engine, with simulated
// meters on pseudo-terminals and a short tick.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QKeyEvent>
#include <QListView>
#include <QRadioButton>
#include <QRegularExpression>

#include "pages/chart_view.h"
#include "pages/realtime_page.h"
#include "tests/support/spin.h"
#include "tests/support/window_test.h"
#include "widgets/chart_widget.h"
#include "widgets/image_button.h"

namespace quorvel {
namespace {

using testing::SpinUntil;

class ChartViewTest : public testing::WindowTest {
 protected:
  void Start(const std::vector<int>& slots, int port_scan_ms = 0, const std::string& ini = "") {
    sim::MeterSimulatorOptions options;
    options.byte_interval = std::chrono::microseconds{0};
    Engine::Options engine_options;
    engine_options.tick_ms = 50;
    engine_options.port_scan_ms = port_scan_ms;
    ASSERT_NO_FATAL_FAILURE(StartMeters(slots, options, ini, engine_options));
    window.Start(engine_options);
    window.show();
  }

  // Controls on the real-time page (Find) or in the chart view (InView).
  template <typename W = QWidget>
  W* Find(const QString& name) {
    return Named<W>(window.RealTime(), name);
  }
  template <typename W = QWidget>
  W* InView(const QString& name) {
    return Named<W>(window.Charts(), name);
  }
  void Press(const QString& name) { Find<QAbstractButton>(name)->click(); }
  void PressInView(const QString& name) { InView<QAbstractButton>(name)->click(); }
  void Choose(QComboBox* box, int slot) {
    box->setCurrentIndex(box->findData(slot));
    Q_EMIT box->activated(box->currentIndex());
  }
  // Opens the devices from the page, then the view for the first of them.
  void OpenView(const std::vector<int>& open_slots) {
    auto* box = Find<QComboBox>(QStringLiteral("Device"));
    for (const int slot : open_slots) {
      Choose(box, slot);
      Press(QStringLiteral("Comm Start"));
      ASSERT_TRUE(window.engine().IsOpen(slot));
    }
    Choose(box, open_slots.front());
    Press(QStringLiteral("Convert view"));
    ASSERT_TRUE(window.Charts().isVisible());
  }
  ChartWidget& Chart(const char* name) { return *InView<ChartWidget>(QString::fromUtf8(name)); }
  int PointsIn(const ChartWidget& chart, int column) {
    int points = 0;
    for (int row = 1; row <= chart.RowCount(); ++row) points += chart.DataPoint(row, column).has_value() ? 1 : 0;
    return points;
  }
};

TEST_F(ChartViewTest, TwoMetersAreTrackedAsTwoSeries) {
  Start({3, 5, 7});
  simulator->Meter(0).WithModel([](sim::MeterModel& m) { m.ForceLoad({0.37, 230.4, 0.9}); });
  OpenView({3, 5});
  ChartWidget& voltage = Chart("Voltage chart");
  ASSERT_TRUE(SpinUntil([&] { return PointsIn(voltage, 1) >= 1; }));
  // The first reading centres the axes on it.
  EXPECT_EQ(Chart("Current chart").accessibleDescription(), QStringLiteral("COM3 Current 0.17..0.57"));
  EXPECT_EQ(voltage.accessibleDescription(), QStringLiteral("COM3 Voltage 229..231"));
  EXPECT_EQ(Chart("Power factor chart").accessibleDescription(), QStringLiteral("COM3 Power Factor 0..1"));

  for (const char* name : {"Return to Main", "Add Data", "Delete Data", "History Data", "Chart Mode", "Text Mode",
                           "Save to Excel", "Com Stop", "Save to BMP", "Device", "Month", "Week", "Day",
                           "Current chart", "Voltage chart", "Power chart", "Power factor chart", "Readings"}) {
    EXPECT_NE(InView(QString::fromUtf8(name)), nullptr);
  }
  auto* box = InView<QComboBox>(QStringLiteral("Device"));
  EXPECT_EQ(box->currentText(), QStringLiteral("COM3"));
  Choose(box, 5);
  PressInView(QStringLiteral("Add Data"));
  Choose(box, 7);
  PressInView(QStringLiteral("Add Data"));  // not open
  EXPECT_EQ(notices.TakeTexts(), std::vector<std::string>{"please run com"});

  ASSERT_TRUE(SpinUntil([&] { return PointsIn(voltage, 1) >= 3 && PointsIn(voltage, 2) >= 3; }));
  EXPECT_EQ(voltage.ColumnLabel(2), QStringLiteral("COM5"));

  Choose(box, 5);
  PressInView(QStringLiteral("Delete Data"));
  EXPECT_EQ(PointsIn(voltage, 2), 0);
  EXPECT_EQ(voltage.ColumnLabel(2), QString());

  // A double click enlarges a chart and offers Save to BMP.
  Q_EMIT voltage.doubleClicked();
  EXPECT_TRUE(voltage.isVisible());
  EXPECT_FALSE(Chart("Current chart").isVisible());
  EXPECT_TRUE(InView(QStringLiteral("Save to BMP"))->isVisible());

  // Enter and Escape neither close the view nor press a button.
  for (const int key : {Qt::Key_Escape, Qt::Key_Return}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&window.Charts(), &press);
    QApplication::sendEvent(box, &press);
  }
  EXPECT_TRUE(window.Charts().isVisible());

  PressInView(QStringLiteral("Return to Main"));
  EXPECT_FALSE(window.Charts().isVisible());
}

// The factor keeps its sign in the text list and on the chart, whose axis
// takes in a negative factor and one above 1.
TEST_F(ChartViewTest, TextModeAndTheChartShowTheFactorWithItsSign) {
  Start({3, 5});
  simulator->Meter(0).WithModel([](sim::MeterModel& m) { m.ForceLoad({1.0, 230.0, -0.95}); });
  simulator->Meter(1).WithModel([](sim::MeterModel& m) { m.ForceLoad({5.0, 230.0, 1.28}); });
  OpenView({3, 5});
  PressInView(QStringLiteral("Text Mode"));
  EXPECT_TRUE(InView<QAbstractButton>(QStringLiteral("Text Mode"))->isChecked());
  EXPECT_FALSE(InView<QAbstractButton>(QStringLiteral("Chart Mode"))->isChecked());
  const QAbstractItemModel& lines = *InView<QListView>(QStringLiteral("Readings"))->model();
  // COM5 is no series, and is listed all the same.
  const QRegularExpression com5(QStringLiteral("^Com5: 5\\.00       230\\.0      1\\d{3}\\.\\d        1\\.28$"));
  ASSERT_TRUE(SpinUntil([&] {
    for (int row = 2; row < lines.rowCount(); ++row) {
      if (com5.match(lines.index(row, 0).data().toString()).hasMatch()) return true;
    }
    return false;
  }));
  EXPECT_EQ(lines.index(1, 0).data().toString(), QStringLiteral("Device: Current  Voltage  Power   Factor"));
  EXPECT_FALSE(Chart("Current chart").isVisible());
  EXPECT_EQ(PointsIn(Chart("Power factor chart"), 1), 0);  // nothing charted in text mode

  PressInView(QStringLiteral("Chart Mode"));
  ChartWidget& factor = Chart("Power factor chart");
  ASSERT_TRUE(SpinUntil([&] { return PointsIn(factor, 1) > 0; }));
  EXPECT_NEAR(factor.DataPoint(1, 1).value_or(0), -0.95, 1e-6);
  EXPECT_EQ(factor.accessibleDescription(), QStringLiteral("COM3 Power Factor -1..1"));
  Choose(InView<QComboBox>(QStringLiteral("Device")), 5);
  PressInView(QStringLiteral("Add Data"));
  ASSERT_TRUE(SpinUntil([&] { return PointsIn(factor, 2) > 0; }));
  EXPECT_EQ(factor.accessibleDescription(), QStringLiteral("COM3 Power Factor -1..1.5"));
  for (int row = 1; row <= factor.RowCount(); ++row) {
    if (const auto value = factor.DataPoint(row, 2)) {
      EXPECT_NEAR(*value, 1.28, 1e-6);
    }
  }
}

TEST_F(ChartViewTest, SavingFromTheViewKeepsThePageButtonInStep) {
  Start({3}, 0, "[Path]\nFile=" + dir.path().string() + "/\n");
  OpenView({3});
  auto* page_save = Find<ImageButton>(QStringLiteral("Save to Excel"));
  auto* view_save = InView<ImageButton>(QStringLiteral("Save to Excel"));
  PressInView(QStringLiteral("Save to Excel"));
  EXPECT_TRUE(window.engine().Spreadsheets().SavingActive());
  EXPECT_TRUE(view_save->ShowsSecondImage());
  EXPECT_TRUE(page_save->ShowsSecondImage());
  EXPECT_EQ(page_save->toolTip(), QStringLiteral("Save to Excel"));
  EXPECT_EQ(Chart("Power factor chart").Title(), QStringLiteral("Power Factor Tracking"));

  PressInView(QStringLiteral("Stop Save to Excel"));
  EXPECT_FALSE(window.engine().Spreadsheets().SavingActive());
  EXPECT_FALSE(page_save->ShowsSecondImage());
  EXPECT_EQ(page_save->toolTip(), QStringLiteral("Stop Save"));
  EXPECT_EQ(Chart("Power factor chart").Title(), QStringLiteral("COM3 Power Factor"));

  // Started on the page, saving shows in a view opened afterwards.
  PressInView(QStringLiteral("Return to Main"));
  Press(QStringLiteral("Save to Excel"));
  Press(QStringLiteral("Convert view"));
  EXPECT_TRUE(view_save->ShowsSecondImage());
  EXPECT_EQ(Chart("Current chart").Title(), QStringLiteral("Current Tracking"));
  EXPECT_TRUE(notices.texts.empty());
}

// Save to Excel pressed in the view: the view's titles and button and the
// page's button show what runs afterwards, also when the file cannot be
// made and saving never started.
TEST_F(ChartViewTest, SavingThatCannotStartLeavesSavingOffEverywhere) {
  Start({3});
  OpenView({3});
  auto* page_save = Find<ImageButton>(QStringLiteral("Save to Excel"));
  const QString page_tip_off = page_save->toolTip();
  auto* view_save = InView<ImageButton>(QStringLiteral("Save to Excel"));
  const struct {
    std::string folder;
    bool saving;
    const char* title;
  } cases[] = {
      {(dir / "missing").string() + "/", false, "COM3 Power Factor"},
      {dir.path().string() + "/", true, "Power Factor Tracking"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    window.engine().CurrentSettings().File = c.folder;
    PressInView(QStringLiteral("Save to Excel"));
    EXPECT_EQ(window.engine().Spreadsheets().SavingActive(), c.saving);
    EXPECT_EQ(view_save->ShowsSecondImage(), c.saving);
    EXPECT_EQ(page_save->ShowsSecondImage(), c.saving);
    EXPECT_EQ(page_save->toolTip() == page_tip_off, !c.saving);
    for (const char* chart : {"Current chart", "Power factor chart"}) {
      EXPECT_EQ(Chart(chart).Title().endsWith(QStringLiteral(" Tracking")), c.saving) << chart;
    }
    EXPECT_EQ(Chart("Power factor chart").Title().toStdString(), c.title);
    EXPECT_EQ(notices.TakeTexts().size(), c.saving ? 0U : 1U);  // the file's cause, once
  }
}

// The device of the real-time page, stopped from the view and then pulled
// out, leaves the view's box too; its points stay, the other series goes on.
TEST_F(ChartViewTest, ARemovedDeviceLeavesTheBoxAndItsSeriesStops) {
  Start({3, 6}, 50);
  OpenView({6, 3});
  auto* box = InView<QComboBox>(QStringLiteral("Device"));
  Choose(box, 3);
  PressInView(QStringLiteral("Add Data"));
  ChartWidget& power = Chart("Power chart");
  ASSERT_TRUE(SpinUntil([&] { return PointsIn(power, 1) >= 2 && PointsIn(power, 2) >= 2; }));
  Choose(box, 6);
  PressInView(QStringLiteral("Com Stop"));
  EXPECT_EQ(InView(QStringLiteral("Com Start"))->toolTip(), QStringLiteral("Com Stop"));
  ASSERT_TRUE(SpinUntil([&] { return !window.engine().IsOpen(6); }));

  simulator->Meter(1).Unplug();
  ASSERT_TRUE(SpinUntil([&] { return box->findData(6) < 0; }));
  EXPECT_EQ(box->currentIndex(), -1);
  const int kept = PointsIn(power, 1);
  const int other = PointsIn(power, 2);
  ASSERT_TRUE(SpinUntil([&] { return PointsIn(power, 2) >= other + 3; }));  // COM3 goes on
  EXPECT_EQ(PointsIn(power, 1), kept);                                      // COM6's points stay
  EXPECT_EQ(power.ColumnLabel(1), QStringLiteral("COM6"));
}

// The view's own device pulled out while it runs, in real-time mode or in
// history mode: back in real-time mode the view's box chooses nothing and
// its port button shows the stopped image with its tooltip.
TEST_F(ChartViewTest, TheViewsOwnDeviceUnpluggedLeavesNothingChosenAndThePortStopped) {
  Start({3, 6}, 50);
  const struct {
    int slot;
    std::size_t meter;
    bool in_history_mode;
  } cases[] = {{3, 0, true}, {6, 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.slot);
    OpenView({c.slot});
    auto* box = InView<QComboBox>(QStringLiteral("Device"));
    auto* com = InView<ImageButton>(QStringLiteral("Com Stop"));
    ASSERT_EQ(box->currentData().toInt(), c.slot);
    ASSERT_TRUE(com->ShowsSecondImage());
    EXPECT_EQ(com->toolTip(), QStringLiteral("Com Start"));
    if (c.in_history_mode) PressInView(QStringLiteral("History Data"));
    simulator->Unplug(c.meter);
    ASSERT_TRUE(SpinUntil([&] { return Find<QComboBox>(QStringLiteral("Device"))->findData(c.slot) < 0; }));
    if (c.in_history_mode) PressInView(QStringLiteral("Real Time Data"));
    EXPECT_EQ(box->currentIndex(), -1);
    EXPECT_FALSE(com->ShowsSecondImage());
    EXPECT_EQ(com->toolTip(), QStringLiteral("Com Stop"));
    PressInView(QStringLiteral("Return to Main"));
  }
}

}  // namespace
}  // namespace quorvel
