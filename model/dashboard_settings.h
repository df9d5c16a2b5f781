// The dashboard's settings as the program holds them. storage/settings_file.h
// loads and saves them in "Power Meter.ini" in the working folder.
#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

inline constexpr const char* kSettingsFileName = "Power Meter.ini";

enum ParityCode : std::uint8_t { kParityEven = 0, kParityOdd = 1, kParityNone = 2 };

struct Settings {
  std::int32_t DefaultDevice = 1;
  std::int32_t Baudrate = 9600;
  std::uint8_t Parity = kParityOdd;
  std::int8_t Databits = 8;
  std::int8_t Stopbits = 1;
  std::int32_t Acquisition = 1;  // seconds between saved rows
  bool AutoSave = false;
  std::string File;  // folder prefix of the spreadsheet files
  std::string BMP;   // folder prefix of the chart bitmaps
  std::string Log;
};

}  // namespace quorvel
