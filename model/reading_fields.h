// The live readings of a real-time answer, one row each: where the answer
// carries the field and how, its scale, how it is written, its unit, and
// where each output puts it. The decoder, the real-time page, the
// spreadsheet, quorvel-cli's JSON and the chart view's text list all read
// this table, so a new reading is one row here (and a member of the record
// to keep it in) plus its box on the page.
//
// The meter's clock, which the same answer carries first, is not a reading;
// nor is the CO2 figure, which the page works out from the energy and the
// slot's CO2 factor.
#pragma once

#include <array>
#include <cstddef>

#include "model/device_record.h"

namespace quorvel {

// How a field is coded in the answer's data (the kind byte is byte 0).
enum class WireCoding {
  kWord,        // 16 bits, big-endian
  kFactorWord,  // 16 bits: up to 128 the number itself, above 128 the excess over 128, negative
  kLong,        // 32 bits, big-endian
};

// Where the record keeps a field: a float member or a double member.
struct RecordMember {
  float DeviceRecord::*single = nullptr;
  double DeviceRecord::*wide = nullptr;

  constexpr double Get(const DeviceRecord& record) const {
    return single != nullptr ? static_cast<double>(record.*single) : record.*wide;
  }
  constexpr void Set(DeviceRecord& record, double value) const {
    if (single != nullptr) {
      record.*single = static_cast<float>(value);
    } else {
      record.*wide = value;
    }
  }
};
constexpr RecordMember Member(float DeviceRecord::*member) { return {member, nullptr}; }
constexpr RecordMember Member(double DeviceRecord::*member) { return {nullptr, member}; }

enum class ReadingField { kCurrent, kVoltage, kPower, kPowerFactor, kEnergy };

struct ReadingFieldRow {
  ReadingField field;
  const char* name;    // the field's name in messages and documentation
  std::size_t offset;  // its first byte in the answer's data
  WireCoding coding;
  double scale;         // the coded number divided by this is the value in `unit`
  RecordMember member;  // where the record keeps the value
  int decimals;         // written "%0.Nf" on the page, in the sheet, in JSON and in the text list
  const char* unit;     // "" for none
  // The real-time spreadsheet: its column after UPTime (1, 2, ...) and
  // heading; 0 keeps the field out of the sheet.
  int sheet_column;
  const char* sheet_heading;
  const char* json_key;  // quorvel-cli's key; nullptr keeps it out
  // The chart view's text list: the column heading with the blanks before
  // it, and the blanks before the value in each line; nullptr keeps it out.
  const char* list_heading;
  const char* list_gap;
};

// In the order the answer carries them.
inline constexpr std::array<ReadingFieldRow, 5> kReadingFields{{
    {ReadingField::kCurrent, "Current", 7, WireCoding::kWord, 100.0, Member(&DeviceRecord::Current), 2, "A", 2,
     "Current", "Current", " Current", " "},
    {ReadingField::kVoltage, "Voltage", 9, WireCoding::kWord, 10.0, Member(&DeviceRecord::Voltage), 1, "V", 1,
     "Voltage", "Voltage", "  Voltage", "       "},
    {ReadingField::kPower, "Power", 11, WireCoding::kWord, 10.0, Member(&DeviceRecord::Power), 1, "W", 3, "Power",
     "Power", "  Power", "      "},
    {ReadingField::kPowerFactor, "PowerFactor", 13, WireCoding::kFactorWord, 100.0, Member(&DeviceRecord::PowerFactor),
     2, "", 4, "PowerFactor", "PowerFactor", "   Factor", "        "},
    {ReadingField::kEnergy, "Energy", 15, WireCoding::kLong, 100.0, Member(&DeviceRecord::Energy), 2, "kWh", 0, nullptr,
     "Energy", nullptr, nullptr},
}};

inline constexpr std::size_t kReadingFieldCount = kReadingFields.size();

constexpr std::size_t Index(ReadingField field) { return static_cast<std::size_t>(field); }
constexpr const ReadingFieldRow& RowOf(ReadingField field) { return kReadingFields[Index(field)]; }
constexpr double ValueOf(const DeviceRecord& record, ReadingField field) { return RowOf(field).member.Get(record); }

// Each row sits at its field's index.
constexpr bool RowsInFieldOrder() {
  for (std::size_t i = 0; i < kReadingFields.size(); ++i) {
    if (Index(kReadingFields[i].field) != i) return false;
  }
  return true;
}
static_assert(RowsInFieldOrder(), "kReadingFields must list the fields in the order of ReadingField");

}  // namespace quorvel
