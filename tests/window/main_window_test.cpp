// The real window on the real engine, driving simulated meters on
// pseudo-terminals with a short tick: what a user sees and what reaches
// the meter.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QSerialPort>

#include "app/main_window.h"
#include "pages/realtime_page.h"
#include "pages/settings_page.h"
#include "protocol/commands.h"
#include "sim/meter_simulator.h"
#include "storage/settings_file.h"
#include "tests/window/dashboard.h"
#include "widgets/busy_indicator.h"
#include "widgets/image_button.h"
#include "widgets/marked_field.h"

namespace quorvel {
namespace {

using testing::Dashboard;
using testing::SpinUntil;

TEST_F(Dashboard, OpenShowsTheMeterInItsFormatsAndCloseStops) {
  Start({3, 5});
  Meter(5).WithModel([](sim::MeterModel& m) {
    m.ForceLoad({5.0, 230.0, -0.95});
    m.SetEnergyCounter(100000);
  });
  Press(QStringLiteral("Comm Start"));
  EXPECT_EQ(notices.TakeTexts(), std::vector<std::string>{"Please Select Device"});
  Open(5);
  auto* comm = Find<ImageButton>(QStringLiteral("Comm Stop"));
  EXPECT_TRUE(comm->ShowsSecondImage());
  ASSERT_TRUE(SpinUntil([&] { return Text(QStringLiteral("CO2")) == QStringLiteral("785.000"); }));
  EXPECT_EQ(Text(QStringLiteral("Voltage")), QStringLiteral("230.0"));
  EXPECT_EQ(Text(QStringLiteral("Current")), QStringLiteral("5.00"));
  EXPECT_TRUE(Text(QStringLiteral("Power")).contains(QRegularExpression(QStringLiteral("^109[0-9]\\.[0-9]$"))));
  EXPECT_EQ(Text(QStringLiteral("Factor")), QStringLiteral("-0.95"));
  EXPECT_EQ(Text(QStringLiteral("Energy")), QStringLiteral("1000.00"));
  EXPECT_EQ(Text(QStringLiteral("Date")), QStringLiteral("2009/06/23"));
  EXPECT_EQ(Text(QStringLiteral("Time")), QStringLiteral("09:30"));
  EXPECT_EQ(Find<QComboBox>(QStringLiteral("Week day"))->currentText(), QStringLiteral("Tuesday"));
  // The greeting read the tariff and the CO2 factor.
  EXPECT_EQ(Text(QStringLiteral("Tier 1 price")), QStringLiteral("30.0"));
  EXPECT_EQ(Text(QStringLiteral("Tier boundary")), QStringLiteral("5000"));
  EXPECT_EQ(Text(QStringLiteral("CO2 factor")), QStringLiteral("0.785"));

  // 15 A and more: the current box turns red, and back.
  auto* current = Find<MarkedField>(QStringLiteral("Current"));
  Meter(5).WithModel([](sim::MeterModel& m) { m.ForceLoad({16.0, 230.0, 1.0}); });
  EXPECT_TRUE(SpinUntil([&] { return current->IsMarked(); }));
  Meter(5).WithModel([](sim::MeterModel& m) { m.ForceLoad({5.0, 230.0, 1.0}); });
  EXPECT_TRUE(SpinUntil([&] { return !current->IsMarked(); }));

  Press(QStringLiteral("Comm Stop"));
  EXPECT_FALSE(comm->ShowsSecondImage());
  EXPECT_EQ(comm->toolTip(), QStringLiteral("Comm Stop"));
  EXPECT_TRUE(SpinUntil([&] { return !window.engine().IsOpen(5); }));
  EXPECT_TRUE(notices.texts.empty()) << notices.texts.front();
}

TEST_F(Dashboard, InvalidFieldsTurnRedAndSendNothingUntilValid) {
  Start({3});
  Open(3);
  ASSERT_TRUE(SpinUntil([&] { return !window.engine().RequestsPending(); }));
  auto* time = Find<MarkedField>(QStringLiteral("Time"));
  auto* boundary = Find<MarkedField>(QStringLiteral("Tier boundary"));
  auto* upper_end = Find<MarkedField>(QStringLiteral("Tier 2 end"));
  Press(QStringLiteral("Stop Load DateTime"));  // the meter's clock no longer overwrites the fields
  EXPECT_EQ(Tip(QStringLiteral("Load Device DateTime")), QStringLiteral("Stop Load DateTime"));
  Type(QStringLiteral("Time"), QStringLiteral("25:00"));
  Press(QStringLiteral("Time Data Download"));
  Type(QStringLiteral("Tier boundary"), QStringLiteral("9999"));
  Press(QStringLiteral("Price Data Download"));
  EXPECT_TRUE(time->IsMarked());
  EXPECT_TRUE(upper_end->IsMarked());
  EXPECT_FALSE(window.engine().RequestsPending());
  Type(QStringLiteral("Tier boundary"), QStringLiteral("1"));
  Press(QStringLiteral("Price Data Download"));
  EXPECT_TRUE(boundary->IsMarked());

  Type(QStringLiteral("Time"), QStringLiteral("24:00"));
  Press(QStringLiteral("Time Data Download"));  // valid: every mark goes
  EXPECT_FALSE(time->IsMarked() || boundary->IsMarked() || upper_end->IsMarked());
  EXPECT_TRUE(Told("Time Set Success"));
}

TEST_F(Dashboard, ClockTariffAndCo2FactorReachTheMeter) {
  Start({4});
  Open(4);
  Press(QStringLiteral("Time Data Download"));
  EXPECT_TRUE(Told("Time Set Success"));
  // The meter now runs on the computer's date, not on 2009.
  EXPECT_TRUE(SpinUntil([&] { return Meter(4).WithModel([](sim::MeterModel& m) { return m.Clock().year; }) > 2020; }));

  Type(QStringLiteral("Tier boundary"), QStringLiteral("1234"));
  Type(QStringLiteral("Tier 1 price"), QStringLiteral("30.5"));
  Type(QStringLiteral("Tier 2 price"), QStringLiteral("40.6"));
  Press(QStringLiteral("Price Data Download"));
  EXPECT_TRUE(Told("Priceset success"));
  const auto tariff = [&] { return Meter(4).WithModel([](sim::MeterModel& m) { return m.Tariff(); }); };
  EXPECT_TRUE(SpinUntil([&] { return tariff().tier_limit == 1234; }));
  EXPECT_EQ(tariff().price1, 305);
  EXPECT_EQ(tariff().price2, 406);

  Type(QStringLiteral("CO2 factor"), QStringLiteral("1.000"));
  Press(QStringLiteral("Load CO2 Factor"));
  EXPECT_EQ(notices.texts.back(), "The max number is 0.999");
  Type(QStringLiteral("CO2 factor"), QStringLiteral("0.5"));
  Press(QStringLiteral("Load CO2 Factor"));
  EXPECT_TRUE(Told("CO2 Set Success"));
  EXPECT_TRUE(SpinUntil([&] { return Text(QStringLiteral("CO2 factor")) == QStringLiteral("0.500"); }));
  EXPECT_EQ(Meter(4).WithModel([](sim::MeterModel& m) { return m.Co2FactorMilli(); }), 500);
}

TEST_F(Dashboard, HistoryLoadShowsProgressThenTheArrowsMoveOnTheShownDate) {
  Start({3});
  Open(3);
  const MeterSettings& shown = window.engine().Devices().Settings();
  ASSERT_TRUE(SpinUntil([&] { return shown.ShownDay == 23; }));
  Press(QStringLiteral("Load History Data"));
  EXPECT_TRUE(window.Busy().Running());
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(SpinUntil([&] { return window.Busy().Text() == QStringLiteral("Reading history  6 of 12"); }));
  ASSERT_TRUE(SpinUntil([&] { return !window.Busy().Running(); }));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  auto* group = Find<QGroupBox>(QStringLiteral("History position"));
  const HistoryTable& history = window.engine().Devices().Slot(3).History;
  EXPECT_EQ(group->title(), QStringLiteral("6.23/25Week/6Month"));
  EXPECT_EQ(Text(QStringLiteral("Day energy")), QString::number(history[5][22], 'f', 2));
  Press(QStringLiteral("Next day"));  // not past the shown date
  EXPECT_EQ(group->title(), QStringLiteral("6.23/25Week/6Month"));
  Press(QStringLiteral("Previous day"));
  EXPECT_EQ(group->title(), QStringLiteral("6.22/25Week/6Month"));
  EXPECT_EQ(Text(QStringLiteral("Day energy")), QString::number(history[5][21], 'f', 2));
  Press(QStringLiteral("Previous month"));
  EXPECT_EQ(group->title(), QStringLiteral("6.22/25Week/5Month"));
}

TEST_F(Dashboard, ExitStopsEveryOpenPortAndClosesAfterTwoSeconds) {
  Start({3, 5});
  Open(3);
  Open(5);
  window.close();  // the desktop's close leaves as Exit does
  EXPECT_TRUE(window.Exiting());
  EXPECT_TRUE(SpinUntil([&] { return !window.engine().IsOpen(3) && !window.engine().IsOpen(5); }, 900));
  EXPECT_FALSE(window.ExitDone());  // the two waits are timers: the window is still there
  EXPECT_TRUE(window.isVisible());
  window.Exit();  // a second Exit changes nothing
  EXPECT_TRUE(SpinUntil([&] { return window.ExitDone(); }));
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.engine().Spreadsheets().SavingActive());
}

TEST_F(Dashboard, AnUnpluggedMeterLeavesTheDeviceBoxAndStopsItsButton) {
  Start({3, 6}, 50);
  Open(6);
  auto* box = Find<QComboBox>(QStringLiteral("Device"));
  ASSERT_EQ(box->count(), 2);
  simulator->Unplug(meter_of.at(6));
  EXPECT_TRUE(SpinUntil([&] { return box->count() == 1 && box->findData(6) < 0; }));
  EXPECT_EQ(box->currentIndex(), -1);
  EXPECT_EQ(Tip(QStringLiteral("Comm Start")), QStringLiteral("Comm Stop"));
  EXPECT_FALSE(Find<ImageButton>(QStringLiteral("Comm Start"))->ShowsSecondImage());
  EXPECT_FALSE(window.engine().IsOpen(6));
}

TEST_F(Dashboard, APortInUseIsToldInWordsAndSavingFollowsItsButton) {
  Start({3}, 0, "[Path]\nFile=" + dir.path().string() + "/\n");
  QSerialPort other(QString::fromStdString(simulator->Link(0)));
  ASSERT_TRUE(other.open(QIODevice::ReadWrite));
  auto* box = Find<QComboBox>(QStringLiteral("Device"));
  window.RealTime().SelectEntry(box->findData(3));
  Press(QStringLiteral("Comm Start"));
  ASSERT_FALSE(notices.texts.empty());
  EXPECT_NE(notices.texts.back().find("in use by another program"), std::string::npos) << notices.texts.back();
  EXPECT_EQ(Tip(QStringLiteral("Comm Start")), QStringLiteral("Comm Stop"));
  other.close();

  Open(3);
  Press(QStringLiteral("Save to Excel"));
  EXPECT_EQ(Tip(QStringLiteral("Stop Save")), QStringLiteral("Save to Excel"));
  EXPECT_TRUE(window.engine().Spreadsheets().SavingActive());
  Press(QStringLiteral("Stop Save"));
  EXPECT_EQ(Tip(QStringLiteral("Save to Excel")), QStringLiteral("Stop Save"));
  EXPECT_FALSE(window.engine().Spreadsheets().SavingActive());
}

TEST_F(Dashboard, PagesSwitchAndOnlyTheRealTimePagePolls) {
  Start({3});
  Open(3);
  ASSERT_TRUE(SpinUntil([&] { return !window.engine().RequestsPending(); }));
  int polls = 0;
  QObject::connect(&window.engine(), &Engine::requestSent,
                   [&](int, const QByteArray& frame) { polls += static_cast<std::uint8_t>(frame[1]) == 0x97 ? 1 : 0; });
  Press(QStringLiteral("System Set"));
  EXPECT_EQ(window.CurrentPage(), MainWindow::Page::kSettings);
  testing::Spin(200);
  EXPECT_EQ(polls, 0);
  Press(QStringLiteral("Power Meter Real Time"));
  EXPECT_TRUE(SpinUntil([&] { return polls > 0; }));
}

TEST_F(Dashboard, APressOnAPageBackgroundMovesTheWindow) {
  Start({3});
  QWidget* readings = Find<QLineEdit>(QStringLiteral("Voltage"))->parentWidget();  // its group box
  const QPoint start = window.pos();
  const QPoint at = readings->mapToGlobal(QPoint(4, readings->height() - 4));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(4, readings->height() - 4), at, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(readings, &press);  // the page passes it on to the window
  QMouseEvent drag(QEvent::MouseMove, QPointF(), at + QPoint(30, 20), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drag);
  EXPECT_EQ(window.pos(), start + QPoint(30, 20));
}

TEST_F(Dashboard, TheTimeFieldOvertypesAndEveryControlHasItsName) {
  Start({3});
  auto* time = Find<QLineEdit>(QStringLiteral("Time"));
  time->setText(QStringLiteral("00:00"));
  time->setCursorPosition(0);
  for (const char* key : {"1", "2", "x", "3", "4"}) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromLatin1(key));
    QApplication::sendEvent(time, &press);
  }
  EXPECT_EQ(time->text(), QStringLiteral("12:34"));
  auto* timer_on = Find<QLineEdit>(QStringLiteral("Timer 1 on"));
  timer_on->setCursorPosition(1);
  for (const char* key : {"7", "x", "5"}) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromLatin1(key));
    QApplication::sendEvent(timer_on, &press);
  }
  EXPECT_EQ(timer_on->text(), QStringLiteral("07:50"));  // the colon skipped

  for (const char* name : {"Power Meter Real Time",
                           "Power Meter Set",
                           "System Set",
                           "Exit",
                           "Comm Start",
                           "Convert view",
                           "Time Data Download",
                           "Price Data Download",
                           "Price Data Load from Device",
                           "Save to Excel",
                           "Load History Data",
                           "Load CO2 Factor",
                           "Stop Load DateTime",
                           "Date",
                           "Time",
                           "Device",
                           "Voltage",
                           "Current",
                           "Power",
                           "Factor",
                           "Energy",
                           "CO2",
                           "Week day",
                           "Tier 1 price",
                           "Tier 2 price",
                           "Tier 1 start",
                           "Tier boundary",
                           "Tier 2 end",
                           "Day energy",
                           "Week energy",
                           "Month energy",
                           "CO2 factor",
                           "History position",
                           "Limit indicator",
                           "User manual",
                           "Parameter Load from Device",
                           "Parameter Download",
                           "File Path",
                           "BMP Path",
                           "Log Path",
                           "Choose file path",
                           "Choose BMP path",
                           "Choose log path",
                           "Acquisition Frequency",
                           "Auto Save Data",
                           "Default Device",
                           "COMM Baudrate",
                           "COMM Parity",
                           "COMM Databits",
                           "COMM Stopbits",
                           "Save To INI",
                           "Cost limit",
                           "Energy limit",
                           "Shut down device YES",
                           "Shut down device NO",
                           "Limit Data Download",
                           "Load Limit Data",
                           "Description",
                           "Features",
                           "About"}) {
    EXPECT_NE(Find(QString::fromUtf8(name)), nullptr);
  }
  for (int timer = 1; timer <= kTimerCount; ++timer) {
    for (const char* part : {" enabled", " on", " off", " days"}) {
      EXPECT_NE(Find(QStringLiteral("Timer %1%2").arg(timer).arg(QString::fromUtf8(part))), nullptr);
    }
  }
  for (const MainWindow::Page page :
       {MainWindow::Page::kRealTime, MainWindow::Page::kTimer, MainWindow::Page::kSettings}) {
    window.ShowPage(page);
    for (QWidget* control : window.findChildren<QWidget*>()) {
      const bool acts = qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control) ||
                        qobject_cast<QComboBox*>(control);
      if (acts && control->isVisibleTo(&window) && control->parentWidget()->isVisibleTo(&window)) {
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
      }
    }
  }
}

TEST_F(Dashboard, TimerPageReadsTheTimersAndWritesOnlyTickedValidRows) {
  Start({3});
  Meter(3).WithModel([](sim::MeterModel& m) { m.Answer(WriteTimerRequest(12, TimerEntry{6, 30, 22, 0, 16})); });
  Open(3);
  ASSERT_TRUE(SpinUntil([&] { return !window.engine().RequestsPending(); }));
  std::vector<int> written;  // timer numbers of the write requests
  QObject::connect(&window.engine(), &Engine::requestSent, [&](int, const QByteArray& frame) {
    if (static_cast<std::uint8_t>(frame[1]) == code::kWriteTimer) written.push_back(frame[2]);
  });

  Press(QStringLiteral("Power Meter Set"));  // reads the twenty timers
  EXPECT_TRUE(window.Busy().Running());
  EXPECT_TRUE(SpinUntil([&] { return window.Busy().Text() == QStringLiteral("Reading timers  10 of 20"); }));
  ASSERT_TRUE(Told("Timer load success"));
  EXPECT_EQ(Find<QComboBox>(QStringLiteral("Timer 12 days"))->currentText(), QStringLiteral("MON\\WED\\FRI\\SUN"));
  EXPECT_EQ(Text(QStringLiteral("Timer 12 on")), QStringLiteral("06:30"));
  EXPECT_EQ(Text(QStringLiteral("Timer 12 off")), QStringLiteral("22:00"));
  EXPECT_FALSE(Find<QCheckBox>(QStringLiteral("Timer 12 enabled"))->isChecked());  // answers leave the boxes

  notices.TakeTexts();
  Press(QStringLiteral("Parameter Download"));  // nothing ticked: nothing to send
  ASSERT_TRUE(Told("Timer set success"));
  EXPECT_TRUE(written.empty());

  notices.TakeTexts();
  Press(QStringLiteral("Timer 3 enabled"));
  Type(QStringLiteral("Timer 3 on"), QStringLiteral("08:00"));
  Type(QStringLiteral("Timer 3 off"), QStringLiteral("17:30"));
  Find<QComboBox>(QStringLiteral("Timer 3 days"))->setCurrentText(QStringLiteral("MON-FRI"));
  Press(QStringLiteral("Timer 5 enabled"));
  Type(QStringLiteral("Timer 5 on"), QStringLiteral("25:00"));
  Press(QStringLiteral("Timer 7 enabled"));
  Press(QStringLiteral("Timer 7 enabled"));  // unticked again: the row rests
  EXPECT_FALSE(Find(QStringLiteral("Timer 7 on"))->isEnabled());
  Press(QStringLiteral("Parameter Download"));
  EXPECT_TRUE(Find<MarkedField>(QStringLiteral("Timer 5 on"))->IsMarked());
  EXPECT_TRUE(Find<MarkedField>(QStringLiteral("Timer 5 off"))->IsMarked());
  ASSERT_TRUE(Told("Timer set success"));
  EXPECT_EQ(written, std::vector<int>{3});
  const auto timer = [&](int n) { return Meter(3).WithModel([n](sim::MeterModel& m) { return m.Timer(n); }); };
  EXPECT_EQ(timer(3), (sim::TimerSetting{9, 8, 0, 17, 30}));
  EXPECT_EQ(timer(5), sim::TimerSetting{});  // never set
}

TEST_F(Dashboard, SettingsPageShowsTheFileAndSaveToIniStoresIt) {
  Start({3}, 0, "[Comm]\nDefaultDevice=0\n[SysSet]\nAcquisition=15\n");
  Press(QStringLiteral("System Set"));
  EXPECT_EQ(Find<QComboBox>(QStringLiteral("Acquisition Frequency"))->currentText(), QStringLiteral("15S"));
  EXPECT_EQ(Find<QComboBox>(QStringLiteral("Default Device"))->currentIndex(), -1);

  QStringList titles;
  const QString chosen = QString::fromStdString(dir.path().string());
  window.SystemSettings().SetFolderChooser([&](QWidget*, const QString& title, const QString&) {
    titles << title;
    return title == QStringLiteral("Please select file path") ? chosen : QString();  // the BMP one is cancelled
  });
  Type(QStringLiteral("BMP Path"), QStringLiteral("/keep/me"));
  Press(QStringLiteral("Choose file path"));
  Press(QStringLiteral("Choose BMP path"));
  EXPECT_EQ(titles, QStringList({QStringLiteral("Please select file path"), QStringLiteral("Please select BMP path")}));
  EXPECT_EQ(Text(QStringLiteral("File Path")), chosen);
  EXPECT_EQ(Text(QStringLiteral("BMP Path")), QStringLiteral("/keep/me"));

  Find<QComboBox>(QStringLiteral("Acquisition Frequency"))->setCurrentText(QStringLiteral("60S"));
  Find<QComboBox>(QStringLiteral("Default Device"))->setCurrentText(QStringLiteral("COMM5"));
  Press(QStringLiteral("Save To INI"));
  EXPECT_EQ(window.engine().CurrentSettings().Acquisition, 60);                   // at once
  const Settings reread = SettingsFile(dir / "Power Meter.ini").Load().settings;  // as after a restart
  EXPECT_EQ(reread.Acquisition, 60);
  EXPECT_EQ(reread.DefaultDevice, 5);
  EXPECT_EQ(reread.File, dir.path().string() + "/");
  EXPECT_EQ(reread.BMP, "/keep/me/");
  EXPECT_EQ(Text(QStringLiteral("File Path")), chosen + QStringLiteral("/"));
  EXPECT_TRUE(notices.texts.empty());
}

TEST_F(Dashboard, LimitsGoToTheMeterAndComeBack) {
  Start({3});
  Open(3);
  ASSERT_TRUE(SpinUntil([&] { return !window.engine().RequestsPending(); }));
  Press(QStringLiteral("System Set"));
  Type(QStringLiteral("Energy limit"), QStringLiteral("9999"));
  Type(QStringLiteral("Cost limit"), QStringLiteral("0"));
  Press(QStringLiteral("Shut down device YES"));
  Press(QStringLiteral("Limit Data Download"));
  ASSERT_TRUE(Told("SetLimit Success"));
  const auto limits = [&] { return Meter(3).WithModel([](sim::MeterModel& m) { return m.Limits(); }); };
  EXPECT_TRUE(SpinUntil([&] { return limits().energy_limit == 9999; }));
  EXPECT_EQ(limits().cost_limit, 0);
  EXPECT_EQ(limits().shutdown, 1);

  Meter(3).WithModel([](sim::MeterModel& m) { m.Answer(WriteLimitsRequest(LimitValues{1234, 56, false})); });
  Press(QStringLiteral("Load Limit Data"));
  EXPECT_TRUE(SpinUntil([&] { return Find<QRadioButton>(QStringLiteral("Shut down device NO"))->isChecked(); }));
  EXPECT_EQ(Text(QStringLiteral("Energy limit")), QStringLiteral("1234"));
  EXPECT_EQ(Text(QStringLiteral("Cost limit")), QStringLiteral("56"));
}

}  // namespace
}  // namespace quorvel
