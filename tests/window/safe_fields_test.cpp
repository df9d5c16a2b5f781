// Nothing unsafe reaches a meter: a value that breaks its field's rule turns
// the field red and is not sent, whatever put it there (a key, a paste, an
// input method, a screen reader or automation setting the text), and even
// when it changes between the press and the tick that builds the request.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>

#include <functional>
#include <set>

#include "protocol/commands.h"
#include "tests/window/dashboard.h"
#include "widgets/marked_field.h"

namespace quorvel {
namespace {

using testing::Dashboard;
using testing::SpinUntil;

class SafeFields : public Dashboard {
 protected:
  void SetUp() override {
    Dashboard::SetUp();
    QObject::connect(&window.engine(), &Engine::requestSent, [this](int, const QByteArray& frame) {
      sent.insert(static_cast<std::uint8_t>(frame[1]));
      ++asked;
      since_request.start();
    });
    QObject::connect(&window.engine(), &Engine::frameDecoded, [this] { ++answered; });
  }
  // As a screen reader or an automation tool writes a field.
  void SetThroughAccessibility(const QString& name, const QString& text) {
    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(Find(name));
    ASSERT_NE(field, nullptr);
    ASSERT_NE(field->editableTextInterface(), nullptr);
    const int length = field->textInterface()->characterCount();
    field->editableTextInterface()->replaceText(0, length, text);
    ASSERT_EQ(Text(name), text);
  }
  bool Marked(const QString& name) {
    const auto* field = qobject_cast<MarkedField*>(Find(name));
    return field != nullptr && field->IsMarked();
  }
  // Nothing left to send, and every answer in: a late one would write its
  // field as the test goes on. On a loaded machine a request can still be on
  // its way to the meter when the next one's purge discards it; its answer
  // never comes.
  void SettleTicks() {
    ASSERT_TRUE(SpinUntil([&] {
      return !window.engine().RequestsPending() &&
             (answered >= asked || (since_request.isValid() && since_request.elapsed() > kAnswerLost));
    }));
  }
  static constexpr qint64 kAnswerLost = 2000;  // ms

  QElapsedTimer since_request;
  std::set<std::uint8_t> sent;  // the request codes sent
  int asked = 0;
  int answered = 0;
};

struct Rule {
  const char* page;  // the page button
  const char* field;
  const char* bad;     // a text that breaks the field's rule
  const char* good;    // and one that keeps it
  const char* button;  // builds the request
  std::uint8_t code;
  bool sent_as_typed;  // the request carries the field's value when the tick builds it
};

TEST_F(SafeFields, ABrokenRuleTurnsTheFieldRedAndSendsNothing) {
  Start({3});
  Open(3);
  ASSERT_NO_FATAL_FAILURE(SettleTicks());
  Press(QStringLiteral("Stop Load DateTime"));  // the meter's clock no longer writes the date field
  // Every other field of each request holds a valid value (the timer page
  // reads the meter's timers into its rows whenever it is shown).
  const auto valid_fields = [&] {
    for (const auto& [name, text] : {std::pair{"Tier boundary", "5000"},
                                     {"Tier 1 price", "30.0"},
                                     {"Tier 2 price", "40.0"},
                                     {"CO2 factor", "0.500"},
                                     {"Energy limit", "300"},
                                     {"Cost limit", "100"},
                                     {"Timer 3 on", "08:00"},
                                     {"Timer 3 off", "17:30"}}) {
      Type(QString::fromUtf8(name), QString::fromUtf8(text));
    }
    Find<QCheckBox>(QStringLiteral("Timer 3 enabled"))->setChecked(true);
    Find<QComboBox>(QStringLiteral("Timer 3 days"))->setCurrentIndex(8);
  };

  const Rule rules[] = {
      {"Power Meter Real Time", "Tier 1 price", "-5", "30.0", "Price Data Download", code::kWriteTariff, true},
      {"Power Meter Real Time", "Tier 2 price", "1000", "40.0", "Price Data Download", code::kWriteTariff, true},
      {"Power Meter Real Time", "Tier 1 price", "\uFF13\uFF10.0", "30.0", "Price Data Download", code::kWriteTariff,
       true},
      {"Power Meter Real Time", "Tier 2 price", "", "40.0", "Price Data Download", code::kWriteTariff, true},
      {"Power Meter Real Time", "Tier boundary", "", "5000", "Price Data Download", code::kWriteTariff, true},
      {"Power Meter Real Time", "CO2 factor", "", "0.500", "Load CO2 Factor", code::kWriteCo2Factor, true},
      {"Power Meter Real Time", "CO2 factor", "abc", "0.500", "Load CO2 Factor", code::kWriteCo2Factor, true},
      {"Power Meter Real Time", "CO2 factor", "0,45", "0.500", "Load CO2 Factor", code::kWriteCo2Factor, true},
      {"Power Meter Real Time", "Date", "2009/06/2\u00E9", "2009/06/23", "Time Data Download", code::kWriteClock,
       false},
      {"Power Meter Real Time", "Time", "\uFF10\uFF19:30", "09:30", "Time Data Download", code::kWriteClock, false},
      {"System Set", "Energy limit", "", "300", "Limit Data Download", code::kWriteLimits, true},
      {"System Set", "Energy limit", "-5", "300", "Limit Data Download", code::kWriteLimits, true},
      {"System Set", "Cost limit", "\uFF11\uFF12", "100", "Limit Data Download", code::kWriteLimits, true},
      {"Power Meter Set", "Timer 3 on", "\uFF12\uFF13:\uFF10\uFF10", "08:00", "Parameter Download", code::kWriteTimer,
       false},
      {"Power Meter Set", "Timer 3 off", "8:30", "17:30", "Parameter Download", code::kWriteTimer, false},
  };
  for (const Rule& r : rules) {
    SCOPED_TRACE(std::string(r.field) + " = " + r.bad);
    const QString field = QString::fromUtf8(r.field);
    const QString bad = QString::fromUtf8(r.bad);
    const QString good = QString::fromUtf8(r.good);
    Press(QString::fromUtf8(r.page));
    ASSERT_NO_FATAL_FAILURE(SettleTicks());
    valid_fields();
    sent.clear();
    notices.TakeTexts();

    // Written in the field before the press.
    ASSERT_NO_FATAL_FAILURE(SetThroughAccessibility(field, bad));
    Press(QString::fromUtf8(r.button));
    ASSERT_NO_FATAL_FAILURE(SettleTicks());
    EXPECT_TRUE(Marked(field));
    EXPECT_EQ(Text(field).indexOf(QChar::ReplacementCharacter), -1) << "a character cut in two";
    EXPECT_EQ(sent.count(r.code), 0U);

    // Written between the press and the tick that builds the request.
    if (r.sent_as_typed) {
      Type(field, good);
      Press(QString::fromUtf8(r.button));
      Type(field, bad);
      ASSERT_NO_FATAL_FAILURE(SettleTicks());
      EXPECT_TRUE(Marked(field));
      EXPECT_EQ(sent.count(r.code), 0U);
    }
    // (A timer download ends with "Timer set success" for the rows it did send, here none.)
    for (const std::string& text : notices.TakeTexts()) {
      EXPECT_TRUE(r.code == code::kWriteTimer || text.find("uccess") == std::string::npos) << text;
    }

    // Mended, it is sent and the field is no longer red.
    Type(field, good);
    Press(QString::fromUtf8(r.button));
    ASSERT_NO_FATAL_FAILURE(SettleTicks());
    EXPECT_FALSE(Marked(field));
    EXPECT_EQ(sent.count(r.code), 1U);
  }
}

// A meter may report a day pattern outside the sixteen the list offers.
TEST_F(SafeFields, ATickedTimerWithNoDayPatternIsMarkedAndNotSent) {
  Start({3});
  Meter(3).WithModel([](sim::MeterModel& m) { m.Answer(WriteTimerRequest(5, TimerEntry{8, 0, 9, 0, 0})); });
  Open(3);
  ASSERT_NO_FATAL_FAILURE(SettleTicks());
  Press(QStringLiteral("Power Meter Set"));
  ASSERT_TRUE(Told("Timer load success"));
  auto* days = Find<QComboBox>(QStringLiteral("Timer 5 days"));
  ASSERT_EQ(days->currentIndex(), -1);
  sent.clear();
  notices.TakeTexts();
  Find<QCheckBox>(QStringLiteral("Timer 5 enabled"))->setChecked(true);
  Press(QStringLiteral("Parameter Download"));
  ASSERT_TRUE(Told("Timer set success"));  // nothing else was to be sent
  EXPECT_EQ(sent.count(code::kWriteTimer), 0U);
  EXPECT_TRUE(days->property("marked").toBool());
  days->setCurrentIndex(8);
  Press(QStringLiteral("Parameter Download"));
  ASSERT_NO_FATAL_FAILURE(SettleTicks());
  EXPECT_EQ(sent.count(code::kWriteTimer), 1U);
  EXPECT_FALSE(days->property("marked").toBool());
}

}  // namespace
}  // namespace quorvel
