// History mode of the chart view in the real window on the real engine,
// against simulated meters on pseudo-terminals with a short tick.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QListView>

#include <filesystem>
#include <map>

#include "model/month_lengths.h"
#include "pages/chart_view.h"
#include "pages/history_display.h"
#include "pages/realtime_page.h"
#include "pages/tracking_charts.h"
#include "protocol/commands.h"
#include "tests/support/pillow.h"
#include "tests/support/spin.h"
#include "tests/support/window_test.h"
#include "widgets/busy_indicator.h"
#include "widgets/chart_widget.h"

namespace quorvel {
namespace {

using testing::SpinUntil;
namespace fs = std::filesystem;

constexpr int kYear = 2015;  // 1 January 2015 was a Thursday

class HistoryViewTest : public testing::WindowTest {
 protected:
  // Meters whose every day of 2015 used 1.00 kWh and whose load is off, so
  // that today's counter stays as set.
  void Start(const std::vector<int>& slots, const std::string& ini = "", double lose = 0.0) {
    sim::MeterSimulatorOptions options;
    options.byte_interval = std::chrono::microseconds{0};
    options.start_clock = std::chrono::local_days{std::chrono::year{kYear} / 12 / 31} + std::chrono::hours{10};
    options.faults.rates.lose = lose;
    Engine::Options engine_options;
    // Meters that lose answers on purpose get the plain 50 ms tick; the
    // others are ticked as their answers come in.
    engine_options.tick_ms = lose > 0.0 ? 50 : 0;
    ASSERT_NO_FATAL_FAILURE(StartMeters(slots, options, ini, engine_options));
    for (std::size_t i = 0; i < slots.size(); ++i) {
      simulator->Meter(i).WithModel([](sim::MeterModel& m) {
        m.ForceLoad({0.0, 230.0, 1.0});
        for (int month = 1; month <= 12; ++month) {
          for (int day = 1; day <= MonthLength(month, kYear); ++day) {
            m.SetHistoryDay(month, day, {sim::DayState::kReading, 1000.0});
          }
        }
      });
    }
    window.Start(engine_options);
    if (engine_options.tick_ms == 0) ticks.Start();
    window.show();
  }

  template <typename W = QWidget>
  W* InView(const char* name) {
    return Named<W>(window.Charts(), QString::fromUtf8(name));
  }
  void Press(const char* name) {
    if (auto* button = InView<QAbstractButton>(name)) button->click();
  }
  bool Shown(const char* name) {
    const QWidget* widget = InView(name);
    return widget != nullptr && widget->isVisible();
  }
  // Opens the device from the page, then the view for it; the view shows
  // the year the page had shown, once the meter's date came.
  void OpenView(int slot, bool after_date = false) {
    auto* box = Named<QComboBox>(window.RealTime(), QStringLiteral("Device"));
    box->setCurrentIndex(box->findData(slot));
    Q_EMIT box->activated(box->currentIndex());
    if (auto* comm = Named<QAbstractButton>(window.RealTime(), QStringLiteral("Comm Start"));
        comm != nullptr && !window.engine().IsOpen(slot)) {
      comm->click();
    }
    ASSERT_TRUE(window.engine().IsOpen(slot));
    if (after_date) {
      ASSERT_TRUE(SpinUntil([&] { return window.engine().Devices().Settings().ShownYear == kYear; }));
    }
    Named<QAbstractButton>(window.RealTime(), QStringLiteral("Convert view"))->click();
    ASSERT_TRUE(window.Charts().isVisible());
  }
  void ChooseMonth(int month) { InView<QComboBox>("Device")->setCurrentIndex(month - 1); }
  ChartWidget& Chart() { return *InView<ChartWidget>("Current chart"); }
  HistoryDisplay& History() { return window.Charts().History(); }
  QStringList Lines() {
    QStringList lines;
    const QAbstractItemModel& model = *InView<QListView>("Readings")->model();
    for (int row = 0; row < model.rowCount(); ++row) lines.append(model.index(row, 0).data().toString());
    return lines;
  }
  std::vector<double> Column(int column) {
    std::vector<double> values;
    for (int row = 1; row <= Chart().RowCount(); ++row) {
      if (const auto value = Chart().DataPoint(row, column)) values.push_back(*value);
    }
    return values;
  }

  // Requests of `code` sent from now on.
  int& CountSent(std::uint8_t code) {
    int& sent = sent_[code];
    sent = 0;
    if (!counting_) {
      counting_ = true;
      QObject::connect(&window.engine(), &Engine::requestSent, &window,
                       [this](int, const QByteArray& frame) { ++sent_[static_cast<std::uint8_t>(frame.at(1))]; });
    }
    return sent;
  }

  testing::AnswerPacedTicks ticks{window};
  std::map<std::uint8_t, int> sent_;
  bool counting_ = false;
};

TEST_F(HistoryViewTest, MonthWeekAndDayFormsOfTheMetersYear) {
  Start({3});
  OpenView(3, true);
  Press("History Data");
  EXPECT_EQ(InView<QComboBox>("Device")->itemText(3), QStringLiteral("April"));
  EXPECT_FALSE(Shown("Com Stop"));  // hidden, its device still running
  EXPECT_TRUE(Shown("Month"));
  EXPECT_EQ(Chart().Title(), QStringLiteral("COM3:2015"));

  // The first form waits for the twelve months, with its progress in the view.
  Press("Month");
  EXPECT_TRUE(History().Waiting());
  ASSERT_TRUE(SpinUntil([&] { return Shown("Progress"); }));
  ASSERT_TRUE(SpinUntil([&] { return !History().Waiting(); }));
  EXPECT_FALSE(Shown("Progress"));
  EXPECT_FALSE(window.Busy().Running());
  EXPECT_EQ(Chart().DataPoint(2, 1), 28.0);
  EXPECT_EQ(Chart().DataPoint(4, 1), 30.0);
  EXPECT_EQ(Chart().accessibleDescription(),
            QStringLiteral("COM3:2015 0..300; 1: 31.00, 2: 28.00, 3: 31.00, 4: 30.00, 5: 31.00, 6: 30.00, "
                           "7: 31.00, 8: 31.00, 9: 30.00, 10: 31.00, 11: 30.00, 12: 31.00"));
  Press("Text Mode");
  EXPECT_EQ(Lines().at(4), QStringLiteral("4:    30.00"));

  // Loaded now: the week form is drawn at once, as text and as bars.
  Press("Week");
  EXPECT_FALSE(History().Waiting());
  EXPECT_EQ(Lines().mid(1, 2), (QStringList{QStringLiteral("1:    3.00"), QStringLiteral("2:    7.00")}));
  Press("Chart Mode");
  EXPECT_EQ(Column(1).size(), 52u);
  EXPECT_EQ(Chart().DataPoint(1, 1), 3.0);

  Press("Day");
  EXPECT_EQ(notices.TakeTexts(), std::vector<std::string>{"Please select month"});
  ChooseMonth(2);
  Press("Add Data");
  Press("Add Data");  // the same month again changes nothing
  EXPECT_EQ(Chart().ColumnLabel(1), QStringLiteral("COM3:2"));
  EXPECT_EQ(Chart().ColumnLabel(2), QString());
  EXPECT_EQ(Column(1), std::vector<double>(28, 1.0));
  Press("Text Mode");
  EXPECT_EQ(Lines().at(1), QStringLiteral("       2Month     0Month     0Month     0Month"));
  EXPECT_EQ(Lines().at(2 + 28), QStringLiteral("29:   0.00         0.00          0.00          0.00"));
  EXPECT_TRUE(notices.texts.empty());

  // Back in real-time mode the readings list and the device box return.
  Press("Real Time Data");
  EXPECT_EQ(Lines().at(0), QStringLiteral("                           Real Data                 "));
  EXPECT_EQ(InView<QComboBox>("Device")->currentText(), QStringLiteral("COM3"));
}

TEST_F(HistoryViewTest, SavesChosenMonthsAndTheEnlargedChart) {
  const std::string folder = dir.path().string() + "/";
  fs::create_directory(dir / "bmp");
  Start({3}, "[Path]\nFile=" + folder + "\nBMP=" + folder + "bmp/\n");
  OpenView(3);
  // A chart enlarged in real-time mode offers Save to BMP, which history
  // mode keeps.
  Q_EMIT InView<ChartWidget>("Voltage chart")->doubleClicked();
  Press("Save to BMP");
  Press("History Data");
  Press("Month");
  ASSERT_TRUE(SpinUntil([&] { return !History().Waiting(); }));
  Press("Save to BMP");  // the history chart, under the current chart's name
  Press("Text Mode");
  Press("Save to BMP");
  EXPECT_EQ(notices.TakeTexts(),
            (std::vector<std::string>{"BMP Save Success", "BMP Save Success",
                                      "BMP Save Error: no chart is shown; choose Chart Mode first"}));
  const QSize size = Chart().size();
  const auto read = testing::DescribeWithPillow({folder + "bmp/3ChartVoltage1.bmp", folder + "bmp/3ChartCurrent1.bmp"});
  if (read) {
    ASSERT_EQ(read->size(), 2u);
    // The chart's own size; its white backdrop in the corners.
    EXPECT_EQ(read->at(1),
              std::to_string(size.width()) + " " + std::to_string(size.height()) + " ffffff ffffff ffffff ffffff");
  }

  Press("Day");
  notices.TakeTexts();
  for (const int month : {1, 4}) {
    ChooseMonth(month);
    Press("Add Data");
  }
  // One message per month, in words of its own; a failure names its cause.
  const struct {
    std::string folder;
    std::string told;  // for each month, the month's name in place of %
  } cases[] = {
      {folder, "Save to Excel Success: % saved to " + folder + "Com3MonthData.xls"},
      {folder + "missing/",
       "Save to Excel Error: % was not saved: cannot create " + folder + "missing/Com3MonthData.xls"},
  };
  for (const auto& c : cases) {
    window.engine().CurrentSettings().File = c.folder;
    Press("Save to Excel");
    const std::vector<std::string> told = notices.TakeTexts();
    ASSERT_EQ(told.size(), 2U) << c.told;
    for (std::size_t i = 0; i < told.size(); ++i) {
      std::string want = c.told;
      want.replace(want.find('%'), 1, i == 0 ? "Jan" : "April");
      EXPECT_TRUE(told[i].starts_with(want)) << told[i];
    }
  }
  EXPECT_TRUE(fs::exists(dir / "Com3MonthData.xls"));
  if (!read) QUORVEL_READER_MISSING();
}

// The read's progress shows in the view without widening it; the text list
// holds the lines of the chosen form only, whichever form came before.
TEST_F(HistoryViewTest, TheTextListShowsTheChosenFormOnlyAndProgressKeepsTheWidth) {
  Start({3});
  OpenView(3, true);
  const int width = window.Charts().width();
  Press("History Data");
  Press("Text Mode");
  Press("Month");
  ASSERT_TRUE(SpinUntil([&] { return Shown("Progress"); }));
  EXPECT_EQ(window.Charts().width(), width);
  ASSERT_TRUE(SpinUntil([&] { return !History().Waiting(); }));
  EXPECT_EQ(window.Charts().width(), width);

  const struct {
    const char* form;
    int lines;  // below the header line
    const char* first;
    std::vector<std::string> told;
  } cases[] = {
      {"Month", 12, "1:    31.00", {}},
      {"Day", 0, "", {"Please select month"}},
      {"Week", 52, "1:    3.00", {}},
      {"Day", 0, "", {"Please select month"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.form);
    Press(c.form);
    EXPECT_EQ(notices.TakeTexts(), c.told);
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 1 + c.lines);
    EXPECT_EQ(lines.at(0), QString::fromLatin1(kHistoryHeaderLine));
    if (c.lines > 0) {
      EXPECT_EQ(lines.at(1), QString::fromUtf8(c.first));
    }
  }
}

// A meter that answers nothing: the wait ends after the bound with a
// message, and the read with it; a device pulled out ends it at once. The
// months never read are unknown, never zeros.
TEST_F(HistoryViewTest, TheWaitAlwaysEnds) {
  Start({3, 5}, "", 1.0);
  OpenView(3);
  Press("History Data");
  EXPECT_EQ(Chart().Title(), QStringLiteral("COM3:2009"));  // no date read
  History().SetWaitBound(std::chrono::milliseconds{300});
  Press("Month");
  ASSERT_TRUE(SpinUntil([&] { return !History().Waiting(); }));
  EXPECT_EQ(notices.TakeTexts(), std::vector<std::string>{"The meter on COM3 did not answer the history request"});
  // No wait cursor comes back, and nothing more is asked or told.
  const int& months_asked = CountSent(code::kReadMonthHistory);
  testing::Spin(300);
  EXPECT_TRUE(notices.texts.empty());
  EXPECT_EQ(months_asked, 0);
  EXPECT_FALSE(window.Busy().Running());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(Column(1), std::vector<double>{});
  EXPECT_TRUE(Chart().accessibleDescription().endsWith(QStringLiteral("11: --, 12: --")));
  Press("Return to Main");

  OpenView(5);
  Press("History Data");
  Press("Week");
  EXPECT_TRUE(History().Waiting());
  simulator->Meter(1).Unplug();
  ASSERT_TRUE(SpinUntil([&] { return !History().Waiting(); }));
  EXPECT_FALSE(Shown("Progress"));
}

// A history read ends once: after the meter was asked again for the months
// that did not answer, or when the view stops waiting for a meter that
// sends no month. One message is told, nothing more is asked and live
// polling goes on; every form and mode then draws what came ("--" for a
// missing month) without reading again, until "Load History Data" asks.
TEST_F(HistoryViewTest, AReadEndsOnceAndItsFormsDrawWhatCame) {
  Start({3, 5});
  const struct {
    int slot;
    std::vector<int> unanswered;
    std::chrono::milliseconds bound;
    std::string told;
    const char* month_sums;  // in the month form's description
  } cases[] = {
      {3, {7}, kHistoryWaitBound, "History load incomplete: month 7 did not answer", "6: 30.00, 7: --, 8: 31.00"},
      {5,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       std::chrono::milliseconds{300},
       "The meter on COM5 did not answer the history request",
       "11: --, 12: --"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.slot);
    simulator->Meter(c.slot == 3 ? 0 : 1).WithModel([&](sim::MeterModel& m) {
      for (const int month : c.unanswered) m.SetMonthUnanswered(month, true);
    });
    OpenView(c.slot, true);
    History().SetWaitBound(c.bound);
    Press("History Data");
    Press("Month");
    ASSERT_TRUE(SpinUntil([&] { return !History().Waiting(); }));
    ASSERT_TRUE(SpinUntil([&] { return !notices.texts.empty(); }));
    EXPECT_EQ(notices.TakeTexts(), std::vector<std::string>{c.told});
    EXPECT_TRUE(Chart().accessibleDescription().contains(QString::fromUtf8(c.month_sums)))
        << Chart().accessibleDescription().toStdString();

    const int& months_asked = CountSent(code::kReadMonthHistory);
    const int& polls = CountSent(code::kReadRealTime);
    ASSERT_TRUE(SpinUntil([&] { return polls >= 3; }));
    Press("Week");
    EXPECT_FALSE(History().Waiting());
    EXPECT_TRUE(Chart().accessibleDescription().contains(QStringLiteral(": --")));
    Press("Real Time Data");
    Press("History Data");
    EXPECT_FALSE(History().Waiting());
    testing::Spin(1500);
    EXPECT_EQ(months_asked, 0);
    EXPECT_TRUE(notices.texts.empty());
    Press("Return to Main");
  }
  // The page's "Load History Data" reads the months again.
  const int& months_asked = CountSent(code::kReadMonthHistory);
  Named<QAbstractButton>(window.RealTime(), QStringLiteral("Load History Data"))->click();
  EXPECT_TRUE(SpinUntil([&] { return months_asked > 0; }));
}

}  // namespace
}  // namespace quorvel
