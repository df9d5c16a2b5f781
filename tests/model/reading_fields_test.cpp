// The table of reading fields is one the outputs can rely on: every name,
// key and column once, every field's bytes apart from the others' and from
// the clock, each field in its own member of the record.
#include "model/reading_fields.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quorvel {
namespace {

std::size_t Width(const ReadingFieldRow& entry) { return entry.coding == WireCoding::kLong ? 4 : 2; }

TEST(ReadingFields, NamesKeysAndColumnsAreUnique) {
  std::set<std::string> names;
  std::set<std::string> keys;
  std::set<int> columns;
  int in_sheet = 0;
  for (const ReadingFieldRow& entry : kReadingFields) {
    EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    if (entry.json_key != nullptr) {
      EXPECT_TRUE(keys.insert(entry.json_key).second) << entry.name;
    }
    if (entry.sheet_column > 0) {
      ++in_sheet;
      EXPECT_TRUE(columns.insert(entry.sheet_column).second) << entry.name;
      EXPECT_NE(entry.sheet_heading, nullptr) << entry.name;
    }
    EXPECT_EQ(entry.list_heading == nullptr, entry.list_gap == nullptr) << entry.name;
    EXPECT_GT(entry.scale, 0.0) << entry.name;
    EXPECT_GE(entry.decimals, 0) << entry.name;
  }
  // The sheet's columns follow UPTime without a gap.
  for (int column = 1; column <= in_sheet; ++column) EXPECT_EQ(columns.count(column), 1U) << column;
}

TEST(ReadingFields, BytesAndMembersAreEachFieldsOwn) {
  constexpr std::size_t kClockEnd = 7;  // kind byte and the meter's clock come first
  std::set<std::size_t> bytes;
  for (const ReadingFieldRow& entry : kReadingFields) {
    EXPECT_GE(entry.offset, kClockEnd) << entry.name;
    for (std::size_t i = 0; i < Width(entry); ++i) {
      EXPECT_TRUE(bytes.insert(entry.offset + i).second) << entry.name;
    }
  }
  // Writing one field changes that field alone.
  for (const ReadingFieldRow& entry : kReadingFields) {
    DeviceRecord record;
    entry.member.Set(record, 42.0);
    for (const ReadingFieldRow& other : kReadingFields) {
      EXPECT_EQ(other.member.Get(record), &other == &entry ? 42.0 : 0.0) << entry.name << " / " << other.name;
    }
  }
}

TEST(ReadingFields, ValueOfReadsTheRecord) {
  DeviceRecord record;
  record.Current = 1.5F;
  record.Energy = 12.25;
  EXPECT_DOUBLE_EQ(ValueOf(record, ReadingField::kCurrent), 1.5);
  EXPECT_DOUBLE_EQ(ValueOf(record, ReadingField::kEnergy), 12.25);
  EXPECT_STREQ(RowOf(ReadingField::kPowerFactor).name, "PowerFactor");
}

}  // namespace
}  // namespace quorvel
