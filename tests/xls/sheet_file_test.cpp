// One file: creating, appending, reopening, cell contents, limits.
#include "storage/xls/sheet_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/xls/xls_test_support.h"

namespace quorvel::xls::test {
namespace {

WriterOptions NoFlush() {
  WriterOptions options;
  options.flush = FlushPolicy::kNone;
  return options;
}

TEST(SheetFileTest, CreateAppendReopenAndContinue) {
  TempDir dir;
  const std::string path = dir.File("Com3RealTimeData.xls");
  Expected expected{{HeaderCells(RealTimeColumns())}, {}};
  {
    OpenResult created = SheetFile::Create(path, RealTimeColumns());
    ASSERT_EQ(created.kind, OpenKind::kOpened) << created.text;
    EXPECT_EQ(created.file->row_count(), 1u);
    ExpectSheet(path, expected);
    for (std::uint32_t n = 1; n <= 3; ++n) {
      ASSERT_TRUE(created.file->Append(SampleRow(n)).ok());
      expected.rows.push_back(SampleRow(n));
    }
    // Rows are readable while the writer keeps the file open.
    ExpectSheet(path, expected);
    ASSERT_TRUE(created.file->Close().ok());
  }
  OpenResult reopened = SheetFile::Open(path, RealTimeColumns());
  ASSERT_EQ(reopened.kind, OpenKind::kOpened) << reopened.text;
  EXPECT_FALSE(reopened.repaired);
  EXPECT_EQ(reopened.file->row_count(), 4u);
  for (std::uint32_t n = 4; n <= 6; ++n) {
    ASSERT_TRUE(reopened.file->Append(SampleRow(n)).ok());
    expected.rows.push_back(SampleRow(n));
  }
  ASSERT_TRUE(reopened.file->Close().ok());
  ExpectSheet(path, expected);
  EXPECT_FALSE(Exists(path + ".partial"));

  const std::vector<std::uint8_t> before = ReadBytes(path);
  EXPECT_EQ(SheetFile::Create(path, RealTimeColumns()).kind, OpenKind::kExists);
  EXPECT_EQ(ReadBytes(path), before);
  const Status closed = reopened.file->Append(SampleRow(7));
  EXPECT_EQ(closed.code(), StatusCode::kClosed);
}

TEST(SheetFileTest, MissingFileIsReportedNotCreated) {
  TempDir dir;
  const std::string path = dir.File("none.xls");
  EXPECT_EQ(SheetFile::Open(path, RealTimeColumns()).kind, OpenKind::kMissing);
  EXPECT_FALSE(Exists(path));
}

TEST(SheetFileTest, NumbersRoundTripBitForBit) {
  const std::vector<double> values = {230.4,
                                      1.27,
                                      0.96,
                                      -1.00,
                                      280.5,
                                      0.0,
                                      -0.0,
                                      1.0 / 3.0,
                                      0.1 + 0.2,
                                      65535.5,
                                      2.5e-5,
                                      1e15,
                                      123456789012345678.0,
                                      1e-310,
                                      std::numeric_limits<double>::denorm_min(),
                                      std::numeric_limits<double>::max(),
                                      std::numeric_limits<double>::lowest(),
                                      std::numeric_limits<double>::min()};
  TempDir dir;
  const std::string path = dir.File("numbers.xls");
  OpenResult created = SheetFile::Create(path, {"Value", "Negated"}, NoFlush());
  ASSERT_EQ(created.kind, OpenKind::kOpened) << created.text;
  Expected expected{{HeaderCells({"Value", "Negated"})}, {}};
  for (const double v : values) {
    const Row row{v, -v};
    ASSERT_TRUE(created.file->Append(row).ok());
    expected.rows.push_back(row);
  }
  ASSERT_TRUE(created.file->Close().ok());
  ExpectSheet(path, expected);
}

TEST(SheetFileTest, NonFiniteNumbersBecomeEmptyCells) {
  TempDir dir;
  const std::string path = dir.File("nonfinite.xls");
  OpenResult created = SheetFile::Create(path, {"A", "B", "C"}, NoFlush());
  ASSERT_EQ(created.kind, OpenKind::kOpened) << created.text;
  ASSERT_TRUE(created.file
                  ->Append({std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity()})
                  .ok());
  ASSERT_TRUE(created.file->Close().ok());
  const ReadBack back = ReadWithFreexl(path);
  ASSERT_EQ(back.error, "");
  ASSERT_EQ(back.rows.size(), 2u);
  EXPECT_EQ(back.rows[1], (Row{std::monostate{}, std::monostate{}, std::monostate{}}));
  ExpectSheet(path, {{HeaderCells({"A", "B", "C"}), {std::monostate{}, std::monostate{}, std::monostate{}}}, {}});
}

struct TextCase {
  const char* name;
  std::string written;
  std::string read;
};

TEST(SheetFileTest, TextCellsKeepTheirCharacters) {
  const std::string x255(255, 'x');
  const std::string han = "\xe4\xb8\xad";        // U+4E2D, needs two bytes per unit
  const std::string smile = "\xf0\x9f\x98\x80";  // U+1F600, a surrogate pair
  std::string han255;
  for (int i = 0; i < 255; ++i) {
    han255 += han;
  }
  const std::vector<TextCase> cases = {
      {"time", "2009-03-07 14:05:09", "2009-03-07 14:05:09"},
      {"empty text is an empty cell", "", ""},
      {"latin-1", "Spannung \xc3\xa9\xc3\xbc", "Spannung \xc3\xa9\xc3\xbc"},
      {"beyond latin-1", "Leistung " + han, "Leistung " + han},
      {"surrogate pair", "ok " + smile, "ok " + smile},
      {"separators and quotes", "a,\"b\";c\nd\te", "a,\"b\";c\nd\te"},
      {"looks like a formula", "=1+2", "=1+2"},
      {"looks like a number", "230.4", "230.4"},
      {"longest", x255, x255},
      {"too long is cut", x255 + "yyy", x255},
      {"cut does not split a pair", std::string(254, 'x') + smile, std::string(254, 'x')},
      {"longest two-byte text", han255 + han, han255},
      {"malformed UTF-8",
       "a\xff"
       "b\xc3",
       "a\xef\xbf\xbd"
       "b\xef\xbf\xbd"},
  };
  TempDir dir;
  const std::string path = dir.File("texts.xls");
  const Columns columns = {"Name", "Text", "Empty"};
  OpenResult created = SheetFile::Create(path, columns, NoFlush());
  ASSERT_EQ(created.kind, OpenKind::kOpened) << created.text;
  Expected expected{{HeaderCells(columns)}, {}};
  for (const TextCase& c : cases) {
    ASSERT_TRUE(created.file->Append({std::string(c.name), c.written, std::monostate{}}).ok()) << c.name;
    expected.rows.push_back({std::string(c.name), c.read, std::monostate{}});
  }
  ASSERT_TRUE(created.file->Close().ok());
  ExpectSheet(path, expected);
}

TEST(SheetFileTest, HeaderNamesBeyondAsciiAndTheWidestSheet) {
  TempDir dir;
  Columns wide;
  Row row;
  for (int i = 0; i < 256; ++i) {
    wide.push_back("c" + std::to_string(i) + (i % 2 == 0 ? "\xc3\xa9" : "\xe4\xb8\xad"));
    if (i % 3 == 0) {
      row.emplace_back(std::monostate{});
    } else {
      row.emplace_back(static_cast<double>(i));
    }
  }
  const std::string path = dir.File("wide.xls");
  OpenResult created = SheetFile::Create(path, wide, NoFlush());
  ASSERT_EQ(created.kind, OpenKind::kOpened) << created.text;
  ASSERT_TRUE(created.file->Append(row).ok());
  ASSERT_TRUE(created.file->Close().ok());
  ExpectSheet(path, {{HeaderCells(wide), row}, {}});
  OpenResult reopened = SheetFile::Open(path, wide, NoFlush());
  ASSERT_EQ(reopened.kind, OpenKind::kOpened) << reopened.text;
  EXPECT_EQ(reopened.file->row_count(), 2u);
}

TEST(SheetFileTest, ColumnCountOutsideTheFormatIsRefused) {
  TempDir dir;
  for (const std::size_t width : {std::size_t{0}, kMaxColumns + 1}) {
    const OpenResult r = SheetFile::Create(dir.File("bad.xls"), Columns(width, "c"));
    EXPECT_EQ(r.kind, OpenKind::kFailed);
    EXPECT_NE(r.text.find("1 to 256 columns"), std::string::npos) << r.text;
    EXPECT_FALSE(Exists(dir.File("bad.xls")));
  }
}

TEST(SheetFileTest, RowOfTheWrongWidthIsRefusedAndChangesNothing) {
  TempDir dir;
  const std::string path = dir.File("width.xls");
  OpenResult created = SheetFile::Create(path, RealTimeColumns());
  ASSERT_EQ(created.kind, OpenKind::kOpened) << created.text;
  ASSERT_TRUE(created.file->Append(SampleRow(1)).ok());
  const std::vector<std::uint8_t> before = ReadBytes(path);
  const std::size_t width = RealTimeColumns().size();  // 5
  for (const Row& bad : {Row{}, Row{1.0}, Row(width + 1, Cell{1.0})}) {
    const Status s = created.file->Append(bad);
    EXPECT_EQ(s.code(), StatusCode::kInvalid);
    EXPECT_EQ(s.text(), "cannot write " + path + ": the row has " + std::to_string(bad.size()) +
                            " cells but the sheet has " + std::to_string(width) + " columns");
  }
  EXPECT_EQ(ReadBytes(path), before);
  ASSERT_TRUE(created.file->Append(SampleRow(2)).ok());
  ASSERT_TRUE(created.file->Close().ok());
  ExpectSheet(path, {{HeaderCells(RealTimeColumns()), SampleRow(1), SampleRow(2)}, {}});
}

TEST(SheetFileTest, RowLimitStopsAppendsAndKeepsTheFileWhole) {
  TempDir dir;
  const std::string path = dir.File("limit.xls");
  WriterOptions options = NoFlush();
  options.row_limit = 5;
  OpenResult created = SheetFile::Create(path, RealTimeColumns(), options);
  ASSERT_EQ(created.kind, OpenKind::kOpened) << created.text;
  Expected expected{{HeaderCells(RealTimeColumns())}, {}};
  for (std::uint32_t n = 1; n <= 4; ++n) {
    ASSERT_TRUE(created.file->Append(SampleRow(n)).ok());
    expected.rows.push_back(SampleRow(n));
  }
  EXPECT_TRUE(created.file->full());
  const Status s = created.file->Append(SampleRow(5));
  EXPECT_EQ(s.code(), StatusCode::kFull);
  ASSERT_TRUE(created.file->Close().ok());
  ExpectSheet(path, expected);
}

TEST(SheetFileTest, SecondWriterOfTheSameFileIsRefused) {
  TempDir dir;
  const std::string path = dir.File("locked.xls");
  OpenResult first = SheetFile::Create(path, RealTimeColumns());
  ASSERT_EQ(first.kind, OpenKind::kOpened) << first.text;
  const OpenResult second = SheetFile::Open(path, RealTimeColumns());
  EXPECT_EQ(second.kind, OpenKind::kFailed);
  EXPECT_EQ(second.text, "cannot open " + path + ": it is in use by another writer");
  ASSERT_TRUE(first.file->Close().ok());
  OpenResult third = SheetFile::Open(path, RealTimeColumns());
  EXPECT_EQ(third.kind, OpenKind::kOpened) << third.text;
  ExpectSheet(path, {{HeaderCells(RealTimeColumns())}, {}});
}

// Many small growths: every row and every reopen must see one consistent
// compound file, including after the sector tables have moved many times.
TEST(SheetFileTest, ManyGrowthsKeepTheFileReadable) {
  TempDir dir;
  const std::string path = dir.File("growth.xls");
  WriterOptions options = NoFlush();
  options.max_growth_bytes = 512;
  Expected expected{{HeaderCells(RealTimeColumns())}, {}};
  std::uint32_t n = 0;
  for (int session = 0; session < 3; ++session) {
    OpenResult opened = session == 0 ? SheetFile::Create(path, RealTimeColumns(), options)
                                     : SheetFile::Open(path, RealTimeColumns(), options);
    ASSERT_EQ(opened.kind, OpenKind::kOpened) << opened.text;
    EXPECT_FALSE(opened.repaired);
    for (int i = 0; i < 700; ++i) {
      ++n;
      ASSERT_TRUE(opened.file->Append(SampleRow(n)).ok());
      expected.rows.push_back(SampleRow(n));
    }
    ASSERT_TRUE(opened.file->Close().ok());
    ExpectSheet(path, expected);
  }
  // Each growth leaves its old tables behind; they must stay a small share.
  EXPECT_LT(ReadBytes(path).size(), 2 * 2100 * 120 + 64 * 1024);
}

}  // namespace
}  // namespace quorvel::xls::test
