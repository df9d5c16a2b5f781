// The window for everyone: every text readable on every view and in the
// messages over it, the chosen radio button plain to see, every control
// reached by Tab and Shift+Tab in reading order, and named, captioned and
// worked by a screen reader as by a mouse. Screen readers are stood in for
// by the accessibility interfaces the desktop's bridge reads.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QListView>
#include <QMessageBox>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTabWidget>

#include <functional>

#include "app/window_notifier.h"
#include "pages/chart_view.h"
#include "pages/history_display.h"
#include "pages/publish_panel.h"
#include "pages/settings_page.h"
#include "tests/support/contrast.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/window/dashboard.h"
#include "widgets/marked_field.h"

namespace quorvel {
namespace {

using testing::Dashboard;
using testing::SpinUntil;

class Access : public Dashboard {
 protected:
  // Opens slot 3 and waits for its greeting; spreadsheets go to the test's folder.
  void StartOpen() {
    ASSERT_NO_FATAL_FAILURE(Start({3}, 0, "[Path]\nFile=" + dir.path().string() + "/\n"));
    ASSERT_NO_FATAL_FAILURE(Open(3));
    ASSERT_TRUE(SpinUntil([&] { return !window.engine().RequestsPending(); }));
  }
  ChartView& View() { return window.Charts(); }
  void OpenView() {
    Press(QStringLiteral("Convert view"));
    ASSERT_TRUE(SpinUntil([&] { return View().isVisible(); }));
  }
  template <typename W = QWidget>
  W* InView(const QString& name) {
    return Named<W>(View(), name);
  }
  static QAccessibleInterface* Accessible(QWidget* w) { return QAccessible::queryAccessibleInterface(w); }
  QString PublishState() { return window.SystemSettings().Publishing().StateText(); }
  void ShowPublishTab() {
    Press(QStringLiteral("System Set"));
    Named<QTabWidget>(window.SystemSettings(), QStringLiteral("About and publishing"))->setCurrentIndex(3);
  }
  static QString Name(QWidget* w) { return Accessible(w)->text(QAccessible::Name); }
};

std::string Describe(const std::vector<testing::Unreadable>& texts) {
  std::string list;
  for (const auto& t : texts) list += "\n  " + t.what.toStdString() + ": " + std::to_string(t.contrast) + ":1";
  return list;
}

// Renders each view, and a message box over it, and measures every text.
TEST_F(Access, EveryTextReadsAtFourAndAHalfToOneOnEveryViewAndInMessagesOverIt) {
  ASSERT_NO_FATAL_FAILURE(StartOpen());
  const auto about_tab = [&](int tab) {
    Press(QStringLiteral("System Set"));
    Named<QTabWidget>(window.SystemSettings(), QStringLiteral("About and publishing"))->setCurrentIndex(tab);
  };
  const struct {
    const char* view;
    std::function<void()> show;
    bool chart_view;
  } views[] = {
      {"real-time page, a field marked",
       [&] {
         Press(QStringLiteral("Stop Load DateTime"));
         Type(QStringLiteral("Time"), QStringLiteral("25:00"));
         Press(QStringLiteral("Time Data Download"));
       },
       false},
      {"timer page, rows ticked, unticked and refused",
       [&] {
         Press(QStringLiteral("Power Meter Set"));
         ASSERT_TRUE(SpinUntil([&] { return !window.engine().RequestsPending(); }));
         Find<QCheckBox>(QStringLiteral("Timer 2 enabled"))->setChecked(true);
         Type(QStringLiteral("Timer 2 on"), QStringLiteral("25:00"));
         Find<QComboBox>(QStringLiteral("Timer 2 days"))->setCurrentIndex(-1);
         Press(QStringLiteral("Parameter Download"));
         Find<QCheckBox>(QStringLiteral("Timer 3 enabled"))->setChecked(true);
         Find<QCheckBox>(QStringLiteral("Timer 3 enabled"))->setChecked(false);  // a row at rest
       },
       false},
      {"settings page, description", [&] { about_tab(0); }, false},
      {"settings page, features", [&] { about_tab(1); }, false},
      {"settings page, about", [&] { about_tab(2); }, false},
      {"settings page, publishing off", [&] { about_tab(3); }, false},
      {"settings page, publishing to a broker that is away",
       [&] {
         Find<QCheckBox>(QStringLiteral("Publish readings to an MQTT broker"))->setChecked(true);
         Type(QStringLiteral("Broker"), QStringLiteral("127.0.0.1"));
         Type(QStringLiteral("Port"), QString::number(testing::FreeLoopbackPort()));
         Press(QStringLiteral("Save and apply"));
         ASSERT_TRUE(SpinUntil([&] { return PublishState().startsWith(QStringLiteral("Reconnecting in")); }));
       },
       false},
      {"settings page, publish fields refused",
       [&] {
         Type(QStringLiteral("Topic prefix"), QStringLiteral("house/#"));
         Type(QStringLiteral("CA file"), QStringLiteral("/no/such/ca.crt"));
         Press(QStringLiteral("Save and apply"));
       },
       false},
      {"chart view, charts",
       [&] {
         Press(QStringLiteral("Power Meter Real Time"));
         OpenView();
       },
       true},
      {"chart view, text", [&] { InView<QAbstractButton>(QStringLiteral("Text Mode"))->click(); }, true},
      {"chart view, history",
       [&] {
         InView<QAbstractButton>(QStringLiteral("History Data"))->click();
         InView<QAbstractButton>(QStringLiteral("Chart Mode"))->click();
         InView<QAbstractButton>(QStringLiteral("Month"))->click();
         ASSERT_TRUE(SpinUntil([&] { return !View().History().Waiting(); }));
       },
       true},
  };
  for (const auto& v : views) {
    SCOPED_TRACE(v.view);
    ASSERT_NO_FATAL_FAILURE(v.show());
    testing::Spin(100);
    QWidget& top = v.chart_view ? static_cast<QWidget&>(View()) : window;
    ASSERT_FALSE(testing::TextAreas(top).empty());
    const auto on_view = testing::UnreadableTexts(top);
    const QString shots = qEnvironmentVariable("QUORVEL_CONTRAST_SHOTS");  // to look at what was measured
    if (!shots.isEmpty()) top.grab().save(shots + QStringLiteral("/%1.png").arg(QString::fromUtf8(v.view)));
    EXPECT_TRUE(on_view.empty()) << Describe(on_view);

    WindowNotifier messages(&top);
    messages.Notify({"", "Please Open Comm", NoticeIcon::kWarning});
    ASSERT_TRUE(SpinUntil([&] { return !top.findChildren<QMessageBox*>().isEmpty(); }));
    QMessageBox* box = top.findChildren<QMessageBox*>().front();
    const auto in_box = testing::UnreadableTexts(*box);
    if (!shots.isEmpty()) box->grab().save(shots + QStringLiteral("/%1, message.png").arg(QString::fromUtf8(v.view)));
    EXPECT_TRUE(in_box.empty()) << Describe(in_box);
    box->accept();
    ASSERT_TRUE(SpinUntil([&] { return top.findChildren<QMessageBox*>().isEmpty(); }));
  }
}

// The dot of the chosen one stands out from the ring of the others (3:1,
// what a control's own parts need).
TEST_F(Access, TheChosenRadioButtonIsPlainToSee) {
  ASSERT_NO_FATAL_FAILURE(StartOpen());
  const auto centre = [](QRadioButton* radio) {
    QStyleOptionButton option;
    option.initFrom(radio);
    const QRect dot = radio->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, radio);
    return radio->window()->grab().toImage().pixel(radio->mapTo(radio->window(), dot.center()));
  };
  const struct {
    const char* page;
    const char* radio;
    const char* other;
  } radios[] = {{"System Set", "Shut down device YES", "Shut down device NO"},
                {"System Set", "Shut down device NO", "Shut down device YES"},
                {nullptr, "Month", "Week"},
                {nullptr, "Week", "Month"}};
  for (const auto& r : radios) {
    SCOPED_TRACE(r.radio);
    if (r.page != nullptr) Press(QString::fromUtf8(r.page));
    if (r.page == nullptr && !View().isVisible()) {
      Press(QStringLiteral("Power Meter Real Time"));
      ASSERT_NO_FATAL_FAILURE(OpenView());
      InView<QAbstractButton>(QStringLiteral("History Data"))->click();
    }
    QWidget& top = r.page != nullptr ? static_cast<QWidget&>(window) : View();
    auto* radio = Named<QRadioButton>(top, QString::fromUtf8(r.radio));
    Named<QRadioButton>(top, QString::fromUtf8(r.other))->setChecked(true);
    const QRgb off = centre(radio);
    radio->setChecked(true);
    const QRgb on = centre(radio);
    EXPECT_GE(testing::ContrastRatio(on, off), 3.0)
        << QColor(on).name().toStdString() << " on " << QColor(off).name().toStdString();
  }
}

// Never a "Desktop" that may not exist.
TEST_F(Access, TheFolderChooserOpensInTheFieldsFolderOrTheWorkingFolder) {
  ASSERT_NO_FATAL_FAILURE(Start({3}));
  Press(QStringLiteral("System Set"));
  QStringList starts;
  window.SystemSettings().SetFolderChooser([&](QWidget*, const QString&, const QString& start) {
    starts << start;
    return QString();
  });
  const QString folder = QString::fromStdString(dir.path().string());
  Type(QStringLiteral("File Path"), folder);
  Type(QStringLiteral("BMP Path"), folder + QStringLiteral("/gone"));
  Type(QStringLiteral("Log Path"), QString());
  for (const char* chooser : {"Choose file path", "Choose BMP path", "Choose log path"})
    Press(QString::fromUtf8(chooser));
  EXPECT_EQ(starts, (QStringList{folder, QDir::currentPath(), QDir::currentPath()}));

  // The Publish tab's files: the file's folder.
  starts.clear();
  window.SystemSettings().Publishing().SetFileChooser([&](QWidget*, const QString&, const QString& start) {
    starts << start;
    return QString();
  });
  ShowPublishTab();
  Type(QStringLiteral("Password file"), folder + QStringLiteral("/password"));
  Type(QStringLiteral("CA file"), folder + QStringLiteral("/gone/ca.crt"));
  Type(QStringLiteral("Client certificate"), QString());
  Type(QStringLiteral("Client key"), folder);
  for (const char* chooser :
       {"Choose password file", "Choose CA file", "Choose client certificate", "Choose client key"}) {
    Press(QString::fromUtf8(chooser));
  }
  EXPECT_EQ(starts, (QStringList{folder, QDir::currentPath(), QDir::currentPath(), folder}));
}

// The names of the controls Tab and Shift+Tab reach on the page, from the
// one that has the focus, until it has it again.
QStringList TabChain(QWidget* first, bool backwards) {
  first->setFocus(Qt::TabFocusReason);
  QStringList names;
  for (int i = 0; i < 200; ++i) {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || (i > 0 && focus == first)) break;
    names << (focus->accessibleName().isEmpty() ? QString::fromLatin1(focus->metaObject()->className())
                                                : focus->accessibleName());
    QKeyEvent tab(QEvent::KeyPress, backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                  backwards ? Qt::ShiftModifier : Qt::NoModifier);
    QApplication::sendEvent(focus, &tab);
  }
  return names;
}

QStringList Timers(int first, int last) {
  QStringList names;
  for (int timer = first; timer <= last; ++timer) {
    for (const char* part : {" enabled", " on", " off", " days"}) {
      names << QStringLiteral("Timer %1%2").arg(timer).arg(QString::fromUtf8(part));
    }
  }
  return names;
}

TEST_F(Access, TabAndShiftTabReachEveryControlInReadingOrder) {
  ASSERT_NO_FATAL_FAILURE(Start({3}));
  window.activateWindow();
  ASSERT_TRUE(SpinUntil([&] { return window.isActiveWindow(); }));
  for (int timer = 1; timer <= kTimerCount; ++timer) {
    Find<QCheckBox>(QStringLiteral("Timer %1 enabled").arg(timer))->setChecked(true);  // every row takes the focus
  }
  const QStringList header{"Power Meter Real Time", "Power Meter Set", "System Set", "Exit", "User manual", "Minimise"};
  const QStringList settings_page{"File Path",
                                  "Choose file path",
                                  "BMP Path",
                                  "Choose BMP path",
                                  "Log Path",
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
                                  "Shut down device YES",  // one stop for the pair; the arrow keys choose between them
                                  "Limit Data Download",
                                  "Load Limit Data",
                                  "About and publishing"};
  const struct {
    const char* page;
    QStringList controls;
    int tab = 0;  // of the settings page's tabbed panel
  } pages[] = {
      {"Power Meter Real Time",
       {"Device",
        "Comm Start",
        "Convert view",
        "Date",
        "Time",
        "Time Data Download",
        "Stop Load DateTime",
        "Voltage",
        "Current",
        "Power",
        "Factor",
        "Energy",
        "CO2",
        "Save to Excel",
        "Limit indicator",
        "Tier 1 price",
        "Tier 1 start",
        "Tier boundary",
        "Price Data Load from Device",
        "Tier 2 price",
        "Tier 2 end",
        "Price Data Download",
        "Day energy",
        "Next day",
        "Previous day",
        "Week energy",
        "Next week",
        "Previous week",
        "Month energy",
        "Next month",
        "Previous month",
        "Load History Data",
        "CO2 factor",
        "Load CO2 Factor"}},
      {"Power Meter Set", QStringList{"Parameter Load from Device", "Parameter Download"} + Timers(1, 20)},
      {"System Set", settings_page + QStringList{"Description"}},
      {"System Set",
       settings_page + QStringList{"Publish readings to an MQTT broker", "Broker", "Port", "Topic prefix",
                                   "Home Assistant discovery", "Discovery prefix", "Client id", "User", "Password file",
                                   "Choose password file", "CA file", "Choose CA file", "Client certificate",
                                   "Choose client certificate", "Client key", "Choose client key", "Save and apply"},
       3},
  };
  for (const auto& p : pages) {
    SCOPED_TRACE(p.page + std::string(p.tab != 0 ? ", Publish tab" : ""));
    Press(QString::fromUtf8(p.page));
    if (p.tab != 0)
      Named<QTabWidget>(window.SystemSettings(), QStringLiteral("About and publishing"))->setCurrentIndex(p.tab);
    const QStringList expected = header + p.controls;
    QWidget* first = Find(header.front());
    EXPECT_EQ(TabChain(first, false).join(QStringLiteral(", ")).toStdString(),
              expected.join(QStringLiteral(", ")).toStdString());
    QStringList reversed{expected.front()};
    for (auto it = expected.crbegin(); it != expected.crend() - 1; ++it) reversed << *it;
    EXPECT_EQ(TabChain(first, true).join(QStringLiteral(", ")).toStdString(),
              reversed.join(QStringLiteral(", ")).toStdString());
  }
}

TEST_F(Access, EveryControlIsNamedAndEveryListCaptionedForAScreenReader) {
  ASSERT_NO_FATAL_FAILURE(StartOpen());
  for (const char* page : {"Power Meter Real Time", "Power Meter Set", "System Set", "Publish"}) {
    SCOPED_TRACE(page);
    if (page == std::string("Publish")) {
      ShowPublishTab();
    } else {
      Press(QString::fromUtf8(page));
    }
    for (QWidget* w : window.findChildren<QWidget*>()) {
      if (!w->isVisibleTo(&window)) continue;
      const QString kind = QString::fromLatin1(w->metaObject()->className());
      if (auto* label = qobject_cast<QLabel*>(w)) {
        EXPECT_FALSE(label->text().isEmpty() && label->pixmap().isNull())
            << "an empty label named " << Name(w).toStdString();
        continue;
      }
      if (w->focusPolicy() == Qt::NoFocus) continue;  // not a control
      if (auto* list = qobject_cast<QComboBox*>(w)) {
        // Named by its entry; its caption comes through a label.
        const auto labels = Accessible(w)->relations(QAccessible::Label);
        ASSERT_FALSE(labels.isEmpty()) << w->accessibleName().toStdString();
        EXPECT_EQ(labels.front().first->text(QAccessible::Name), list->accessibleName() == QStringLiteral("Week day")
                                                                     ? QStringLiteral("Week")
                                                                     : list->accessibleName());
      } else {
        EXPECT_FALSE(Name(w).isEmpty()) << kind.toStdString();
      }
    }
  }
  OpenView();
  const auto labels = Accessible(InView(QStringLiteral("Device")))->relations(QAccessible::Label);
  ASSERT_FALSE(labels.isEmpty());
  EXPECT_EQ(labels.front().first->text(QAccessible::Name), QStringLiteral("Device"));
}

// A two-state button's name says what pressing it does now.
TEST_F(Access, TwoStateButtonsAreNamedByWhatAPressDoesNow) {
  ASSERT_NO_FATAL_FAILURE(StartOpen());
  const struct {
    bool in_view;
    const char* before;
    const char* after;
    bool open_after;  // slot 3
  } buttons[] = {
      {false, "Stop Load DateTime", "Load Device DateTime", true},
      {false, "Save to Excel", "Stop Save", true},
      {false, "Stop Save", "Save to Excel", true},
      {false, "Comm Stop", "Comm Start", false},
      {false, "Comm Start", "Comm Stop", true},
      {true, "Com Stop", "Com Start", false},
      {true, "Com Start", "Com Stop", true},
      {true, "Save to Excel", "Stop Save to Excel", true},
      {true, "Stop Save to Excel", "Save to Excel", true},
      {true, "History Data", "Real Time Data", true},
      {true, "Real Time Data", "History Data", true},
  };
  for (const auto& b : buttons) {
    SCOPED_TRACE(b.before);
    if (b.in_view && !View().isVisible()) {
      ASSERT_NO_FATAL_FAILURE(OpenView());
    }
    QWidget& top = b.in_view ? static_cast<QWidget&>(View()) : window;
    auto* button = Named<QAbstractButton>(top, QString::fromUtf8(b.before));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(Name(button), QString::fromUtf8(b.before));
    button->click();
    EXPECT_EQ(Name(button), QString::fromUtf8(b.after));
    ASSERT_TRUE(SpinUntil([&] { return window.engine().IsOpen(3) == b.open_after; }));  // a port closes in its own time
  }
}

// A screen reader's Toggle action does what a click does.
TEST_F(Access, ToggleActionsActAsClicks) {
  ASSERT_NO_FATAL_FAILURE(StartOpen());
  const auto toggle = [&](QWidget& top, const char* name) {
    QWidget* widget = Named(top, QString::fromUtf8(name));
    ASSERT_NE(widget, nullptr);
    QAccessibleActionInterface* actions = Accessible(widget)->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    actions->doAction(QAccessibleActionInterface::toggleAction());
  };
  Press(QStringLiteral("System Set"));
  toggle(window, "Shut down device YES");
  Type(QStringLiteral("Energy limit"), QStringLiteral("300"));
  Type(QStringLiteral("Cost limit"), QStringLiteral("100"));
  EXPECT_TRUE(window.SystemSettings().LimitRequest().value_or(LimitValues{}).shutdown);

  // The Publish tab's switches: what a save stores, and the marks that follow them.
  ShowPublishTab();
  PublishPanel& publishing = window.SystemSettings().Publishing();
  Type(QStringLiteral("Broker"), QString());
  toggle(window, "Publish readings to an MQTT broker");
  toggle(window, "Home Assistant discovery");
  EXPECT_FALSE(publishing.Request().has_value());
  EXPECT_TRUE(Find<MarkedField>(QStringLiteral("Broker"))->IsMarked());
  toggle(window, "Publish readings to an MQTT broker");
  EXPECT_FALSE(Find<MarkedField>(QStringLiteral("Broker"))->IsMarked());
  toggle(window, "Publish readings to an MQTT broker");
  Type(QStringLiteral("Broker"), QStringLiteral("broker.home"));
  const std::optional<PublishSettings> stored = publishing.Request();
  ASSERT_TRUE(stored.has_value());
  EXPECT_TRUE(stored->Enabled);
  EXPECT_FALSE(stored->Discovery);

  Press(QStringLiteral("Power Meter Set"));
  ASSERT_TRUE(SpinUntil([&] { return !window.engine().RequestsPending(); }));
  toggle(window, "Timer 4 enabled");
  QWidget* on = Find(QStringLiteral("Timer 4 on"));
  ASSERT_NE(on, nullptr);
  EXPECT_TRUE(on->isEnabled());

  Press(QStringLiteral("Power Meter Real Time"));
  OpenView();
  auto* readings = InView<QListView>(QStringLiteral("Readings"));
  ASSERT_NE(readings, nullptr);
  toggle(View(), "Text Mode");
  EXPECT_TRUE(readings->isVisible());
  EXPECT_FALSE(InView<QAbstractButton>(QStringLiteral("Chart Mode"))->isChecked());
  toggle(View(), "Chart Mode");
  EXPECT_FALSE(readings->isVisible());
  EXPECT_FALSE(InView<QAbstractButton>(QStringLiteral("Text Mode"))->isChecked());

  InView<QAbstractButton>(QStringLiteral("History Data"))->click();
  toggle(View(), "Month");
  ASSERT_TRUE(SpinUntil([&] { return !View().History().Waiting(); }));
  EXPECT_EQ(View().History().Kind(), HistoryKind::kByMonth);
  toggle(View(), "Week");
  EXPECT_EQ(View().History().Kind(), HistoryKind::kByWeek);
}

}  // namespace
}  // namespace quorvel
