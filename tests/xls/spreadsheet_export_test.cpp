// The dashboard's two spreadsheet layouts, file names and failure rules,
// read back by the independent readers.
#include "storage/spreadsheet_export.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "protocol/number_text.h"
#include "tests/support/recording_notifier.h"
#include "tests/xls/xls_test_support.h"

namespace quorvel {
namespace {

using xls::test::Expected;
using xls::test::ExpectSheet;
using xls::test::HeaderCells;

const xls::Columns& kRealTimeColumns = RealTimeColumns();

xls::Columns MonthColumns() {
  xls::Columns columns{"Month"};
  for (int day = 1; day <= 31; ++day) columns.push_back(std::to_string(day) + "days");
  return columns;
}

DeviceRecord SampleRecord() {
  DeviceRecord r;
  r.Voltage = 230.4F;  // a float: 230.399994...
  r.Current = 1.27F;
  r.Power = 280.5F;
  r.PowerFactor = 0.96F;
  return r;
}

class SpreadsheetExportTest : public ::testing::Test {
 protected:
  SpreadsheetExportTest() {
    files.SetClock([] { return std::string("2009-03-07 14:05:09"); });
    readings.Subscribe("spreadsheet", [this](const Reading& reading) {
      Result<Consumed> logged = files.LogReading(reading, log_folder);
      last_row_logged = logged.ok();
      return logged;
    });
  }
  std::string Folder() const { return dir.path().string() + "/"; }

  // A reading the presenter marked for a row, through the reading stream as
  // the engine hands it over, which tells a failure once per cause; true
  // when its row was committed.
  bool LogRow(int slot, const std::string& folder) {
    log_folder = folder;
    readings.Publish(Reading(slot, SampleRecord(), ReadingUse{false, false, true}));
    return last_row_logged;
  }

  testing::TempDir dir;
  testing::RecordingNotifier notices;
  SpreadsheetExport files{notices};
  ReadingStream readings{notices};
  std::string log_folder;
  bool last_row_logged = false;
};

TEST_F(SpreadsheetExportTest, FileNamesFollowTheFolderSetting) {
  EXPECT_EQ(RealTimeFileName("", 3), "Com3RealTimeData.xls");
  EXPECT_EQ(RealTimeFileName("/var/log/meters/", 12), "/var/log/meters/Com12RealTimeData.xls");
  EXPECT_EQ(MonthFileName("logs/", 3), "logs/Com3MonthData.xls");
}

TEST_F(SpreadsheetExportTest, RealTimeRowsHoldTheShownValues) {
  files.SetSaving(3, true, Folder());
  EXPECT_TRUE(files.SavingActive());
  EXPECT_TRUE(xls::test::Exists(RealTimeFileName(Folder(), 3)));  // made when saving starts
  ASSERT_TRUE(files.AppendRealTimeRow(3, SampleRecord(), Folder()).ok());
  ASSERT_TRUE(LogRow(3, Folder()));
  const xls::Row row{std::string("2009-03-07 14:05:09"), 230.4, 1.27, 280.5, 0.96};
  EXPECT_EQ(files.LastRow(3), row);
  EXPECT_EQ(files.LastRowPath(3), RealTimeFileName(Folder(), 3));
  files.CloseAll();
  EXPECT_EQ(ExpectSheet(RealTimeFileName(Folder(), 3), Expected{{HeaderCells(kRealTimeColumns), row, row}, {}}), 3U);
  EXPECT_TRUE(notices.texts.empty());

  files.SetSaving(3, false, Folder());
  EXPECT_FALSE(files.SavingActive());
}

TEST_F(SpreadsheetExportTest, MonthRowsFollowTheMonthsLength) {
  HistoryTable history{};
  ResetHistory(history);
  for (auto& month : history) {
    for (std::size_t d = 0; d < month.size(); ++d) {
      if (month[d] >= 0) month[d] = static_cast<double>(d + 1) / 100.0 + 1.0;
    }
  }
  HistoryTable leap = history;
  leap[1][28] = 0.0;  // a real-time answer of a leap year opened 29 February

  ASSERT_TRUE(files.SaveMonthData(3, 1, history, Folder()).ok());
  ASSERT_TRUE(files.SaveMonthData(3, 11, history, Folder()).ok());
  ASSERT_TRUE(files.SaveMonthData(3, 11, history, Folder()).ok());  // twice: two rows
  ASSERT_TRUE(files.SaveMonthData(3, 2, history, Folder()).ok());
  ASSERT_TRUE(files.SaveMonthData(3, 2, leap, Folder()).ok());

  auto row = [](const char* name, int days, const HistoryTable& h, int month) {
    xls::Row r{std::string(name)};
    for (int d = 1; d <= 31; ++d) {
      if (d <= days) {
        r.emplace_back(
            ReadDecimalNumber(Fixed(h[static_cast<std::size_t>(month - 1)][static_cast<std::size_t>(d - 1)], 2)));
      } else {
        r.emplace_back(std::monostate{});
      }
    }
    return r;
  };
  const Expected expected{{HeaderCells(MonthColumns()), row("Jan", 31, history, 1), row("Nov", 30, history, 11),
                           row("Nov", 30, history, 11), row("Feb", 28, history, 2), row("Feb", 29, leap, 2)},
                          {}};
  EXPECT_EQ(ExpectSheet(MonthFileName(Folder(), 3), expected), 6U);
  EXPECT_TRUE(notices.texts.empty());
}

TEST_F(SpreadsheetExportTest, AFolderThatCannotTakeTheFileIsToldAndSavingStaysOff) {
  const std::string blocked = dir.File("not-a-folder");
  xls::test::WriteBytes(blocked, {'x'});
  files.SetSaving(3, true, blocked + "/");
  EXPECT_FALSE(files.SavingActive());
  ASSERT_EQ(notices.texts.size(), 1U);
  EXPECT_EQ(notices.texts[0].rfind("error ", 0), 0U);
  EXPECT_NE(notices.texts[0].find("Com3RealTimeData.xls"), std::string::npos) << notices.texts[0];
}

TEST_F(SpreadsheetExportTest, RepeatedRowFailuresAreToldOnceUntilARowSucceeds) {
  const std::string folder = dir.File("later") + "/";
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(LogRow(4, folder));
  EXPECT_EQ(notices.texts.size(), 1U);
  std::filesystem::create_directory(dir.File("later"));
  EXPECT_TRUE(LogRow(4, folder));
  std::filesystem::remove_all(dir.File("later"));
  files.CloseAll();
  EXPECT_FALSE(LogRow(4, folder));
  EXPECT_EQ(notices.texts.size(), 2U);
}

TEST_F(SpreadsheetExportTest, OneSlotsFailingFileNeverStopsAnother) {
  std::filesystem::create_directory(RealTimeFileName(Folder(), 3));  // a folder where the file should be
  EXPECT_FALSE(LogRow(3, Folder()));
  EXPECT_TRUE(LogRow(5, Folder()));
  EXPECT_FALSE(LogRow(3, Folder()));
  EXPECT_TRUE(LogRow(5, Folder()));
  files.CloseAll();
  EXPECT_EQ(ExpectSheet(RealTimeFileName(Folder(), 5),
                        Expected{{HeaderCells(kRealTimeColumns), files.LastRow(5), files.LastRow(5)}, {}}),
            3U);
  EXPECT_EQ(notices.texts.size(), 1U);
}

// Needs the right to mount a small tmpfs (root outside a restricted
// container); skipped where that is refused.
TEST_F(SpreadsheetExportTest, AFullDiskStopsOnlyTheSlotOnIt) {
  const std::string disk = dir.File("disk");
  std::filesystem::create_directory(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a 64 KiB tmpfs here: " << std::strerror(errno);
  }
  struct Unmount {
    std::string where;
    ~Unmount() { ::umount2(where.c_str(), MNT_DETACH); }
  } unmount{disk};

  int rows_on_full_disk = 0;
  for (int i = 0; i < 2000; ++i) {
    if (LogRow(3, disk + "/")) ++rows_on_full_disk;
    ASSERT_TRUE(LogRow(5, Folder())) << "row " << i;
  }
  EXPECT_GT(rows_on_full_disk, 0);
  EXPECT_LT(rows_on_full_disk, 2000);
  ASSERT_EQ(notices.texts.size(), 1U);  // told once, not on every row
  EXPECT_EQ(notices.texts[0].rfind("error ", 0), 0U);
  EXPECT_NE(notices.texts[0].find("No space left on device"), std::string::npos) << notices.texts[0];
  files.CloseAll();
  // What the full disk holds is every row that was reported written.
  Expected expected{{HeaderCells(kRealTimeColumns)}, {}};
  for (int i = 0; i < rows_on_full_disk; ++i) expected.rows.push_back(files.LastRow(5));
  EXPECT_EQ(ExpectSheet(RealTimeFileName(disk + "/", 3), expected), static_cast<std::size_t>(rows_on_full_disk) + 1);
}

TEST_F(SpreadsheetExportTest, AForeignFileIsLeftAloneAndRowsContinueBesideIt) {
  const std::string path = RealTimeFileName(Folder(), 6);
  const std::vector<std::uint8_t> foreign{'U', 'P', 'T', 'i', 'm', 'e', ';', '2', '3', '0', '\n'};
  xls::test::WriteBytes(path, foreign);
  files.SetSaving(6, true, Folder());  // the file exists: saving starts
  EXPECT_TRUE(files.SavingActive());
  EXPECT_TRUE(files.AppendRealTimeRow(6, SampleRecord(), Folder()).ok());
  EXPECT_TRUE(files.AppendRealTimeRow(6, SampleRecord(), Folder()).ok());
  EXPECT_EQ(notices.texts.size(), 1U);  // told once
  EXPECT_NE(notices.texts[0].find("Com6RealTimeData_2.xls"), std::string::npos) << notices.texts[0];
  EXPECT_EQ(xls::test::ReadBytes(path), foreign);
  EXPECT_EQ(files.LastRowPath(6), xls::ContinuationPath(path, 2));
}

TEST_F(SpreadsheetExportTest, MonthExportFailuresReturnNothingWritten) {
  // Into a folder that does not exist, or onto a file that cannot be
  // written: the cause is kept for the caller, who tells it; nothing told here.
  HistoryTable history{};
  ResetHistory(history);
  const Status missing_folder = files.SaveMonthData(3, 4, history, dir.File("missing") + "/");
  EXPECT_FALSE(missing_folder.ok());
  EXPECT_FALSE(missing_folder.text().empty());
  std::filesystem::create_directory(MonthFileName(Folder(), 3));
  const Status not_a_file = files.SaveMonthData(3, 4, history, Folder());
  EXPECT_FALSE(not_a_file.ok());
  EXPECT_NE(not_a_file.text().find("Com3MonthData.xls"), std::string::npos) << not_a_file.text();
  EXPECT_TRUE(notices.texts.empty());
  EXPECT_FALSE(files.SaveMonthData(3, 13, history, Folder()).ok());
}

}  // namespace
}  // namespace quorvel
