// The timer and settings pages' rules without a widget: reading time
// fields, what a timer download stores and marks, the settings shown and
// stored, the limit fields, the program texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <tuple>

#include "model/display.h"
#include "pages/field_text.h"
#include "pages/program_texts.h"
#include "pages/settings_rules.h"
#include "pages/timer_rules.h"

namespace quorvel {
namespace {

// On hour, on minute, off hour, off minute, mode.
std::array<int, 5> Bytes(const std::optional<TimerEntry>& e) {
  if (!e) return {-1, -1, -1, -1, -1};
  return {e->OnHour, e->OnMinute, e->OffHour, e->OffMinute, e->Mode};
}

TEST(TimerRules, DayPatternsKeepTheirBackslashes) {
  EXPECT_EQ(kDayPatterns[9], "SAT\\SUN");
  EXPECT_EQ(kDayPatterns[15], "MON\\WED\\FRI\\SUN");  // mode 16
  EXPECT_EQ(kDayPatterns[8], "MON-FRI");              // mode 9
}

// "HH:MM" in ASCII digits, hour 0..24, minute 0..59; anything else is no
// time (never read as 00:00).
TEST(TimerRules, TimeFieldsAreHoursColonMinutesInAsciiDigits) {
  const struct {
    const char* text;
    int hour;  // -1: refused
    int minute;
  } cases[] = {
      {"08:00", 8, 0},
      {"17:30", 17, 30},
      {"24:00", 24, 0},
      {"25:00", -1, 0},
      {"12:60", -1, 0},
      {"8:30", -1, 0},
      {"ab:cd", -1, 0},
      {"12:5", -1, 0},
      {"", -1, 0},
      {"-1:00", -1, 0},
      {"\uFF12\uFF13:\uFF10\uFF10", -1, 0},
      {"12-30", -1, 0},
      {"24:59", 24, 59},
  };
  for (const auto& c : cases) {
    const std::optional<TimeOfDay> t = ReadTimeOfDay(c.text);
    EXPECT_EQ(t.has_value(), c.hour >= 0) << c.text;
    if (t && c.hour >= 0) {
      EXPECT_EQ((std::pair{t->hour, t->minute}), (std::pair{c.hour, c.minute})) << c.text;
    }
  }
}

std::array<TimerRow, kTimerCount> Rows() {
  std::array<TimerRow, kTimerCount> rows;
  for (auto& row : rows) row = {false, "00:00", "00:00", 0};
  return rows;
}

TEST(TimerRules, OnlyTickedValidRowsAreStoredAndRefusedRowsMarked) {
  auto rows = Rows();
  rows[2] = {true, "08:00", "17:30", 8};                        // timer 3, MON-FRI
  rows[4] = {true, "25:00", "01:00", 0};                        // timer 5: hour 25
  rows[6] = {true, "24:00xyz", "23:59", 15};                    // timer 7: cut, hour 24 taken
  rows[8] = {false, "99:99", "99:99", 0};                       // timer 9: not ticked, not looked at
  rows[10] = {true, "08:00", "09:00", -1};                      // timer 11: no day pattern
  rows[11] = {true, "\uFF12\uFF13:\uFF10\uFF10x", "09:00", 1};  // timer 12: full-width digits
  TimerMarks marks;
  const TimerEdits edits = CheckTimerRows(rows, marks);

  for (int timer = 1; timer <= kTimerCount; ++timer) {
    const auto& edit = edits[static_cast<std::size_t>(timer - 1)];
    EXPECT_EQ(edit.has_value(), timer == 3 || timer == 7) << timer;
    EXPECT_EQ(marks.IsMarked(OnFieldId(timer)), timer == 5 || timer == 12) << timer;
    EXPECT_EQ(marks.IsMarked(OffFieldId(timer)), timer == 5 || timer == 12) << timer;
    EXPECT_EQ(marks.DaysMarked(timer), timer == 11) << timer;
  }
  EXPECT_EQ(rows[11].on_time, "\uFF12\uFF13:\uFF10\uFF10");  // cut by characters, none cut in two
  EXPECT_EQ(Bytes(edits[2]), (std::array<int, 5>{8, 0, 17, 30, 9}));
  EXPECT_EQ(Bytes(edits[6]), (std::array<int, 5>{24, 0, 23, 59, 16}));
  EXPECT_EQ(rows[6].on_time, "24:00");

  // Mended, the row is stored and its marks go.
  rows[4].on_time = "05:00";
  const TimerEdits again = CheckTimerRows(rows, marks);
  EXPECT_EQ(Bytes(again[4]), (std::array<int, 5>{5, 0, 1, 0, 1}));
  EXPECT_FALSE(marks.IsMarked(OnFieldId(5)));
  EXPECT_FALSE(marks.IsMarked(OffFieldId(5)));
}

TEST(SettingsRules, ShowingSelectsTheEntryThatBeginsWithTheValue) {
  const struct {
    Settings settings;
    SettingsChoices expected;
  } cases[] = {
      {Settings{}, {0, 2, 1, 4, 0, 0, 0, "", "", ""}},
      {Settings{18, 128000, kParityNone, 4, 2, 15, true, "/a/", "/b/", "/c/"},
       {17, 5, 2, 0, 1, 4, 1, "/a/", "/b/", "/c/"}},
      {Settings{0, 2400, 7, 9, 0, 3, false, "", "", ""},
       {kNoEntry, kNoEntry, kNoEntry, kNoEntry, kNoEntry, kNoEntry, 0, "", "", ""}},
      {Settings{19, 1800, kParityEven, 8, 1, 60, false, "", "", ""}, {kNoEntry, 0, 0, 4, 0, 6, 0, "", "", ""}},
  };
  for (const auto& c : cases) {
    const SettingsChoices got = ChoicesFromSettings(c.settings);
    const auto fields = [](const SettingsChoices& s) {
      std::ostringstream out;
      out << s.default_device << ' ' << s.baudrate << ' ' << s.parity << ' ' << s.databits << ' ' << s.stopbits << ' '
          << s.acquisition << ' ' << s.auto_save << ' ' << s.file << ' ' << s.bmp << ' ' << s.log;
      return out.str();
    };
    EXPECT_EQ(fields(got), fields(c.expected));
  }
  EXPECT_EQ(FindEntryByPrefix(kParityEntries, "none"), 2);
  EXPECT_EQ(FindEntryByPrefix(kAcquisitionEntries, "1"), 0);
}

TEST(SettingsRules, SavingTakesTheNumbersOfTheChosenEntries) {
  const Settings s = SettingsFromChoices({3, 4, 0, 3, 1, 6, 1, "/x/", "/y/", "/z/"});
  EXPECT_EQ(s.DefaultDevice, 4);
  EXPECT_EQ(s.Baudrate, 57600);
  EXPECT_EQ(s.Parity, kParityEven);
  EXPECT_EQ(s.Databits, 7);
  EXPECT_EQ(s.Stopbits, 2);
  EXPECT_EQ(s.Acquisition, 60);  // "60S"
  EXPECT_TRUE(s.AutoSave);
  EXPECT_EQ(s.Log, "/z/");

  // Lists without a choice: numbers 0, a parity code the file does not write.
  const Settings none =
      SettingsFromChoices({kNoEntry, kNoEntry, kNoEntry, kNoEntry, kNoEntry, kNoEntry, 0, "", "", ""});
  EXPECT_EQ(none.DefaultDevice, 0);
  EXPECT_EQ(none.Baudrate, 0);
  EXPECT_GT(none.Parity, kParityNone);
  EXPECT_EQ(none.Acquisition, 0);
}

TEST(SettingsRules, LimitFieldsTakeAtMostFourDigits) {
  for (const char* text : {"", "0", "9999"}) EXPECT_TRUE(LimitTextAccepted(text)) << text;
  for (const char* text : {"10000", "12a", "-1", " 5", "1.5"}) EXPECT_FALSE(LimitTextAccepted(text)) << text;
}

// An empty or non-numeric limit is refused, never sent as 0.
TEST(SettingsRules, ALimitWriteTakesOneToFourAsciiDigitsInEachField) {
  const struct {
    const char* energy;
    const char* cost;
    bool energy_refused;
    bool cost_refused;
  } cases[] = {{"9999", "0", false, false}, {"", "100", true, false},     {"300", "", false, true},
               {"-5", "1.5", true, true},   {"10000", "12a", true, true}, {"\uFF11\uFF12", " 5", true, true}};
  for (const auto& c : cases) {
    const LimitCheck check = CheckLimitFields({c.energy, c.cost, false});
    EXPECT_EQ(check.energy_refused, c.energy_refused) << c.energy;
    EXPECT_EQ(check.cost_refused, c.cost_refused) << c.cost;
    EXPECT_EQ(check.values.has_value(), !c.energy_refused && !c.cost_refused) << c.energy << " " << c.cost;
  }
  const LimitCheck yes = CheckLimitFields({"9999", "0", false});
  ASSERT_TRUE(yes.values.has_value());
  EXPECT_EQ((std::tuple{yes.values->energy_limit, yes.values->cost_limit, yes.values->shutdown}),
            (std::tuple{9999, 0, true}));
}

TEST(SettingsRules, TheFolderChooserOpensInTheFieldsFolderOrTheWorkingFolder) {
  const std::filesystem::path working = std::filesystem::temp_directory_path();
  std::filesystem::create_directories(working / "quorvel-chooser" / "bmp");
  const struct {
    std::string field;
    std::filesystem::path start;
  } cases[] = {{"", working},
               {(working / "quorvel-chooser").string(), working / "quorvel-chooser"},
               {"quorvel-chooser/bmp", working / "quorvel-chooser" / "bmp"},
               {(working / "quorvel-chooser" / "gone").string(), working},
               {"/no/such/Desktop", working}};
  for (const auto& c : cases) EXPECT_EQ(FolderChooserStart(c.field, working), c.start) << c.field;
  std::filesystem::remove_all(working / "quorvel-chooser");
}

TEST(ProgramTexts, BulletsAndIdeographicCommasAreUtf8) {
  const std::string description = ProgramDescription();
  std::istringstream lines(description);
  std::string line;
  std::getline(lines, line);
  EXPECT_TRUE(line.ends_with("Power Meter communication V1.1")) << line;
  int bullets = 0;
  while (std::getline(lines, line)) bullets += line.starts_with("\xE2\x97\x8F") ? 1 : 0;
  EXPECT_EQ(bullets, 11);
  EXPECT_EQ(description.find("http"), std::string::npos);

  for (const std::string_view feature : FeatureLines()) EXPECT_NE(feature.find("\xE3\x80\x81"), std::string_view::npos);
  EXPECT_EQ(FeatureLines()[6],
            "7\xE3\x80\x81"
            "energy analysis by histogram ");
}

}  // namespace
}  // namespace quorvel
