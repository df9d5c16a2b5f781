// The log over numbered files: lazy creation, restarts, the row limit, files
// that are not ours, and the notices the caller gets.
#include "storage/xls/sheet_log.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "storage/xls/sheet_file.h"
#include "tests/xls/xls_test_support.h"

namespace quorvel::xls::test {
namespace {

WriterOptions NoFlush(std::uint32_t row_limit = kMaxRows) {
  WriterOptions options;
  options.flush = FlushPolicy::kNone;
  options.row_limit = row_limit;
  return options;
}

std::string Continued(const std::string& passed, const std::string& reason, const std::string& next) {
  return passed + reason + "; it is left as it is and new rows go to " + next + ".";
}

std::string Full(const std::string& passed, std::uint32_t rows, const std::string& next) {
  return passed + " holds " + std::to_string(rows) + " rows, as many as it can; new rows go to " + next + ".";
}

TEST(SheetLogTest, ContinuationNames) {
  const struct {
    std::string base;
    unsigned n;
    std::string name;
  } cases[] = {
      {"/x/Com3RealTimeData.xls", 1, "/x/Com3RealTimeData.xls"},
      {"/x/Com3RealTimeData.xls", 2, "/x/Com3RealTimeData_2.xls"},
      {"/x/Com3RealTimeData.xls", 17, "/x/Com3RealTimeData_17.xls"},
      {"Com3MonthData.xls", 3, "Com3MonthData_3.xls"},
      {"C:\\log\\Com3RealTimeData.xls", 2, "C:\\log\\Com3RealTimeData_2.xls"},
      {"/data.d/log", 2, "/data.d/log_2"},
      {"/x/.hidden", 2, "/x/.hidden_2"},
      {"/x/a.b.xls", 2, "/x/a.b_2.xls"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ContinuationPath(c.base, c.n), c.name) << c.base << " " << c.n;
  }
}

TEST(SheetLogTest, CreatesOnFirstRowAndContinuesAfterRestart) {
  TempDir dir;
  const std::string base = dir.File("Com3RealTimeData.xls");
  Expected expected{{HeaderCells(RealTimeColumns())}, {}};
  std::uint32_t n = 0;
  for (int run = 0; run < 3; ++run) {
    SheetLog log(base, RealTimeColumns());
    EXPECT_EQ(log.current_path(), "");
    EXPECT_EQ(Exists(base), run > 0);
    for (int i = 0; i < 4; ++i) {
      const AppendResult r = log.Append(SampleRow(++n));
      ASSERT_TRUE(r.status.ok()) << r.status.text();
      EXPECT_TRUE(r.notices.empty());
      expected.rows.push_back(SampleRow(n));
    }
    EXPECT_EQ(log.current_path(), base);
    ASSERT_TRUE(log.Close().ok());
  }
  ExpectSheet(base, expected);
  EXPECT_FALSE(Exists(ContinuationPath(base, 2)));
}

// The real limit: 65 536 rows with the header row, then a second file.
TEST(SheetLogTest, FullSheetContinuesInTheNextFileWithOneNotice) {
  TempDir dir;
  const std::string base = dir.File("Com3RealTimeData.xls");
  const std::string second = ContinuationPath(base, 2);
  Expected first_rows{{HeaderCells(RealTimeColumns())}, {}};
  Expected second_rows{{HeaderCells(RealTimeColumns())}, {}};
  std::vector<std::string> notices;
  {
    SheetLog log(base, RealTimeColumns(), NoFlush());
    for (std::uint32_t n = 1; n <= kMaxRows + 9; ++n) {
      AppendResult r = log.Append(SampleRow(n));
      ASSERT_TRUE(r.status.ok()) << n << ": " << r.status.text();
      if (!r.notices.empty()) {
        EXPECT_EQ(n, kMaxRows) << "the notice comes with the row that no longer fits";
      }
      notices.insert(notices.end(), r.notices.begin(), r.notices.end());
      (n < kMaxRows ? first_rows : second_rows).rows.push_back(SampleRow(n));
    }
    EXPECT_EQ(log.current_path(), second);
    ASSERT_TRUE(log.Close().ok());
  }
  EXPECT_EQ(notices, std::vector<std::string>{Full(base, kMaxRows, second)});
  ASSERT_EQ(first_rows.rows.size(), kMaxRows);
  ExpectSheet(base, first_rows);
  ExpectSheet(second, second_rows);

  // After a restart the log finds its place again, and says why once.
  const std::vector<std::uint8_t> full_file = ReadBytes(base);
  SheetLog log(base, RealTimeColumns(), NoFlush());
  AppendResult r = log.Append(SampleRow(kMaxRows + 10));
  ASSERT_TRUE(r.status.ok()) << r.status.text();
  EXPECT_EQ(r.notices, std::vector<std::string>{Full(base, kMaxRows, second)});
  second_rows.rows.push_back(SampleRow(kMaxRows + 10));
  r = log.Append(SampleRow(kMaxRows + 11));
  EXPECT_TRUE(r.notices.empty());
  second_rows.rows.push_back(SampleRow(kMaxRows + 11));
  ASSERT_TRUE(log.Close().ok());
  EXPECT_EQ(ReadBytes(base), full_file);
  ExpectSheet(second, second_rows);
}

TEST(SheetLogTest, SmallLimitChainsThroughSeveralFiles) {
  TempDir dir;
  const std::string base = dir.File("Com7RealTimeData.xls");
  SheetLog log(base, RealTimeColumns(), NoFlush(4));
  std::vector<std::string> notices;
  for (std::uint32_t n = 1; n <= 10; ++n) {
    AppendResult r = log.Append(SampleRow(n));
    ASSERT_TRUE(r.status.ok()) << r.status.text();
    notices.insert(notices.end(), r.notices.begin(), r.notices.end());
  }
  ASSERT_TRUE(log.Close().ok());
  EXPECT_EQ(notices, (std::vector<std::string>{Full(base, 4, ContinuationPath(base, 2)),
                                               Full(ContinuationPath(base, 2), 4, ContinuationPath(base, 3)),
                                               Full(ContinuationPath(base, 3), 4, ContinuationPath(base, 4))}));
  for (unsigned file = 1; file <= 4; ++file) {
    Expected expected{{HeaderCells(RealTimeColumns())}, {}};
    for (std::uint32_t n = 3 * file - 2; n <= std::min(3 * file, 10u); ++n) {
      expected.rows.push_back(SampleRow(n));
    }
    ExpectSheet(ContinuationPath(base, file), expected);
  }
  EXPECT_FALSE(Exists(ContinuationPath(base, 5)));
}

std::vector<std::uint8_t> OurFile(const std::string& path, const Columns& columns, int rows) {
  OpenResult created = SheetFile::Create(path, columns, NoFlush());
  EXPECT_EQ(created.kind, OpenKind::kOpened) << created.text;
  for (int i = 1; i <= rows; ++i) {
    Row row(columns.size(), Cell{static_cast<double>(i)});
    EXPECT_TRUE(created.file->Append(row).ok());
  }
  EXPECT_TRUE(created.file->Close().ok());
  return ReadBytes(path);
}

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (b[at + 3] << 24));
}

void PutU32At(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) {
    b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
}

struct ForeignCase {
  const char* name;
  // Makes the bytes of the file that is in the way (`scratch` is a free name).
  std::function<std::vector<std::uint8_t>(const std::string& scratch)> make;
  std::string reason;  // what the notice says after the file name
};

// Whatever sits under the log's name and is not a file of ours with these
// columns stays exactly as it is; rows go to the next name.
TEST(SheetLogTest, FilesThatAreNotOursAreLeftAloneAndPassedOver) {
  const std::vector<ForeignCase> cases = {
      {"empty file", [](const std::string&) { return std::vector<std::uint8_t>{}; },
       " is not an Excel 97-2003 workbook"},
      {"text file",
       [](const std::string&) {
         const std::string text =
             "UPTime,Voltage,Current,Power,PowerFactor\n2009-03-07 14:05:09,230.4,1.27,280.5,0.96\n";
         return std::vector<std::uint8_t>(text.begin(), text.end());
       },
       " is not an Excel 97-2003 workbook"},
      {"random bytes",
       [](const std::string&) {
         std::mt19937 rng(7);
         std::vector<std::uint8_t> bytes(20000);
         for (auto& b : bytes) {
           b = static_cast<std::uint8_t>(rng());
         }
         return bytes;
       },
       " is not an Excel 97-2003 workbook"},
      {"compound file with 4096-byte sectors",
       [](const std::string& scratch) {
         auto bytes = OurFile(scratch, RealTimeColumns(), 2);
         bytes[26] = 4;
         bytes[30] = 12;
         return bytes;
       },
       " is a compound file of another kind"},
      {"workbook of another program",
       [](const std::string& scratch) {
         auto bytes = OurFile(scratch, RealTimeColumns(), 2);
         // A bigger default font: still a valid workbook, but not one of ours.
         const std::uint8_t font[] = {0x31, 0x00, 0x15, 0x00, 0xC8, 0x00};
         const auto at = std::search(bytes.begin(), bytes.end(), std::begin(font), std::end(font));
         if (at == bytes.end()) {
           ADD_FAILURE() << "no FONT record";
           return bytes;
         }
         at[4] = 0xDC;
         return bytes;
       },
       " was not written by this program"},
      {"other columns",
       [](const std::string& scratch) {
         return OurFile(scratch, {"Month", "1days"}, 2);
       },
       " has other columns (Month, 1days)"},
      {"fewer columns",
       [](const std::string& scratch) {
         return OurFile(scratch, {"UPTime", "Voltage"}, 2);
       },
       " has other columns (UPTime, Voltage)"},
      {"stream chain running in a circle",
       [](const std::string& scratch) {
         auto bytes = OurFile(scratch, RealTimeColumns(), 2);
         // A new file holds FAT sector 0 and the directory in sector 1; the
         // directory's second entry names the stream's first sector.
         const std::uint32_t first = U32At(bytes, 1024 + 128 + 116);
         PutU32At(bytes, 512 + 4 * first, first);
         return bytes;
       },
       " is damaged (its workbook stream chain is broken)"},
      {"cut before its directory",
       [](const std::string& scratch) {
         auto bytes = OurFile(scratch, RealTimeColumns(), 2);
         bytes.resize(1024);
         return bytes;
       },
       " is damaged (its directory is missing)"},
      {"broken header row",
       [](const std::string& scratch) {
         auto bytes = OurFile(scratch, RealTimeColumns(), 2);
         const std::string name = "UPTime";
         auto at = std::search(bytes.begin(), bytes.end(), name.begin(), name.end());
         if (at == bytes.end()) {
           ADD_FAILURE() << "no header row";
           return bytes;
         }
         at[-3] = 0x7F;  // its character count
         return bytes;
       },
       " is damaged (its header row is broken)"},
  };
  for (const ForeignCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string base = dir.File("Com3RealTimeData.xls");
    const std::string second = ContinuationPath(base, 2);
    const std::vector<std::uint8_t> original = c.make(dir.File("scratch.xls"));
    WriteBytes(base, original);

    Expected expected{{HeaderCells(RealTimeColumns())}, {}};
    for (std::uint32_t run = 0; run < 2; ++run) {
      SheetLog log(base, RealTimeColumns());
      AppendResult r = log.Append(SampleRow(1 + 2 * run));
      ASSERT_TRUE(r.status.ok()) << r.status.text();
      EXPECT_EQ(r.notices, std::vector<std::string>{Continued(base, c.reason, second)});
      r = log.Append(SampleRow(2 + 2 * run));
      ASSERT_TRUE(r.status.ok()) << r.status.text();
      EXPECT_TRUE(r.notices.empty());
      EXPECT_EQ(log.current_path(), second);
      ASSERT_TRUE(log.Close().ok());
      expected.rows.push_back(SampleRow(1 + 2 * run));
      expected.rows.push_back(SampleRow(2 + 2 * run));
      EXPECT_EQ(ReadBytes(base), original);
    }
    ExpectSheet(second, expected);
  }
}

TEST(SheetLogTest, SeveralFilesPassedOverGiveOneNoticeEach) {
  TempDir dir;
  const std::string base = dir.File("Com3RealTimeData.xls");
  WriteBytes(base, {'n', 'o', 't', ' ', 'x', 'l', 's'});
  {
    SheetLog filler(ContinuationPath(base, 2), RealTimeColumns(), NoFlush(3));
    for (std::uint32_t n = 1; n <= 2; ++n) {
      ASSERT_TRUE(filler.Append(SampleRow(n)).status.ok());
    }
    ASSERT_TRUE(filler.Close().ok());
  }
  SheetLog log(base, RealTimeColumns(), NoFlush(3));
  const AppendResult r = log.Append(SampleRow(3));
  ASSERT_TRUE(r.status.ok()) << r.status.text();
  const std::string third = ContinuationPath(base, 3);
  EXPECT_EQ(r.notices, (std::vector<std::string>{Continued(base, " is not an Excel 97-2003 workbook", third),
                                                 Full(ContinuationPath(base, 2), 3, third)}));
  ASSERT_TRUE(log.Close().ok());
  ExpectSheet(third, {{HeaderCells(RealTimeColumns()), SampleRow(3)}, {}});
}

Columns MonthColumns() {
  Columns columns{"Month"};
  for (int day = 1; day <= 31; ++day) {
    columns.push_back(std::to_string(day) + "days");
  }
  return columns;
}

TEST(SheetLogTest, MonthExportAddsOneRowPerCall) {
  TempDir dir;
  const std::string path = dir.File("Com3MonthData.xls");
  Row november{std::string("Nov")};
  for (int day = 1; day <= 30; ++day) {
    november.emplace_back(day * 1.25);
  }
  november.emplace_back(std::monostate{});  // November has no 31st
  Row february{std::string("Feb")};
  for (int day = 1; day <= 28; ++day) {
    february.emplace_back(day == 5 ? -1.0 : day * 0.5);
  }
  february.insert(february.end(), 3, Cell{std::monostate{}});

  Expected expected{{HeaderCells(MonthColumns())}, {}};
  for (const Row& row : {november, february, november}) {
    const AppendResult r = AppendRowToFile(path, MonthColumns(), row);
    ASSERT_TRUE(r.status.ok()) << r.status.text();
    EXPECT_TRUE(r.notices.empty());
    expected.rows.push_back(row);
  }
  ExpectSheet(path, expected);
  // The file is closed after each call: another writer may open it.
  OpenResult reopened = SheetFile::Open(path, MonthColumns());
  ASSERT_EQ(reopened.kind, OpenKind::kOpened) << reopened.text;
  EXPECT_EQ(reopened.file->row_count(), 4u);
}

}  // namespace
}  // namespace quorvel::xls::test
