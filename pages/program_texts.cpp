#include "pages/program_texts.h"

namespace quorvel {
namespace {

constexpr std::string_view kBullet = "●";

constexpr std::string_view kDescriptionFeatures[] = {
    "Sets the device real-time clock",
    "Displays measured voltage, current, kWh, cost and power factor",
    "Displays cumulative $ and kWh for current day, week & month",
    "Displays historical energy consumption from previous day, week & month record",
    "Sets or changes multi level tariff rate",
    "Displays & programs the 20 built-in Digital Timers",
    "Sets & controls limits for power usage with audible & visible  Alarms by monitoring total kWh or Cost consumed",
    "Optional Shutdown feature for the Limit Alarms",
    "Displays CO2 generation for environmental impact assessment",
    "Displays real time data in text & chart mode",
    "Download real-time data to PC file with multiple data acquisition rates to suit wide range of analysis",
};

}  // namespace

std::string ProgramDescription() {
  std::string text =
      "QUORVEL Digital Dashboard - Power Meter communication V1.1\n"
      "This  QUORVEL Digital Dashboard  allows simple & easy access to the QUORVEL Power Meter's settings in a "
      "single view. It shows the device's tracking and historical energy consumption.\n"
      "This dashboard has the following features:\n";
  for (const std::string_view feature : kDescriptionFeatures) {
    text += kBullet;
    text += feature;
    text += '\n';
  }
  text += "For support and product enquiries, please contact your QUORVEL supplier.";
  return text;
}

const std::array<std::string_view, 10>& FeatureLines() {
  static constexpr std::array<std::string_view, 10> kLines{
      "1、set time",
      "2、display Voltage, Current, Power, Power Factor",
      "3、Display Power consumption over time in kWh",
      "4、local tariff setting",
      "5、Limit setting for KWh, & cost with optional Shutdown controls",
      "6、20 programmable power on/off timer switch settings",
      "7、energy analysis by histogram ",
      "8、save data to excel file",
      "9、display real time data in chart mode",
      "10、display real time data in text mode",
  };
  return kLines;
}

}  // namespace quorvel
