// The table of reading fields is one the outputs can rely on: every name,
// key and column once, every field's bytes apart from the others' and from
// the clock, each field in its own member of the record.
#include "model/reading_fields.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quorvel {
namespace {

std::size_t Width(const ReadingFieldSpec& spec) { return spec.coding == WireCoding::kLong ? 4 : 2; }

TEST(ReadingFields, NamesKeysAndColumnsAreUnique) {
  std::set<std::string> names;
  std::set<std::string> keys;
  std::set<int> columns;
  int in_sheet = 0;
  for (const ReadingFieldSpec& spec : kReadingFields) {
    EXPECT_TRUE(names.insert(spec.name).second) << spec.name;
    if (spec.json_key != nullptr) {
      EXPECT_TRUE(keys.insert(spec.json_key).second) << spec.name;
    }
    if (spec.sheet_column > 0) {
      ++in_sheet;
      EXPECT_TRUE(columns.insert(spec.sheet_column).second) << spec.name;
      EXPECT_NE(spec.sheet_heading, nullptr) << spec.name;
    }
    EXPECT_EQ(spec.list_heading == nullptr, spec.list_gap == nullptr) << spec.name;
    EXPECT_GT(spec.scale, 0.0) << spec.name;
    EXPECT_GE(spec.decimals, 0) << spec.name;
  }
  // The sheet's columns follow UPTime without a gap.
  for (int column = 1; column <= in_sheet; ++column) EXPECT_EQ(columns.count(column), 1U) << column;
}

TEST(ReadingFields, BytesAndMembersAreEachFieldsOwn) {
  constexpr std::size_t kClockEnd = 7;  // kind byte and the meter's clock come first
  std::set<std::size_t> bytes;
  for (const ReadingFieldSpec& spec : kReadingFields) {
    EXPECT_GE(spec.offset, kClockEnd) << spec.name;
    for (std::size_t i = 0; i < Width(spec); ++i) {
      EXPECT_TRUE(bytes.insert(spec.offset + i).second) << spec.name;
    }
  }
  // Writing one field changes that field alone.
  for (const ReadingFieldSpec& spec : kReadingFields) {
    DeviceRecord record;
    spec.member.Set(record, 42.0);
    for (const ReadingFieldSpec& other : kReadingFields) {
      EXPECT_EQ(other.member.Get(record), &other == &spec ? 42.0 : 0.0) << spec.name << " / " << other.name;
    }
  }
}

TEST(ReadingFields, ValueOfReadsTheRecord) {
  DeviceRecord record;
  record.Current = 1.5F;
  record.Energy = 12.25;
  EXPECT_DOUBLE_EQ(ValueOf(record, ReadingField::kCurrent), 1.5);
  EXPECT_DOUBLE_EQ(ValueOf(record, ReadingField::kEnergy), 12.25);
  EXPECT_STREQ(SpecOf(ReadingField::kPowerFactor).name, "PowerFactor");
}

}  // namespace
}  // namespace quorvel
