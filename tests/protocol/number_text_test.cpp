#include "protocol/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <limits>

namespace quorvel {
namespace {

TEST(ReadDecimalInteger, ReadsLikeAtoi) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  for (const Case c :
       {Case{"9600", 9600}, Case{"9600baud", 9600}, Case{"  -42", -42}, Case{"+7", 7}, Case{"abc", 0}, Case{"", 0},
        Case{"- 5", 0}, Case{"12.9", 12}, Case{"99999999999", std::numeric_limits<std::int32_t>::max()},
        Case{"-99999999999", std::numeric_limits<std::int32_t>::min()}}) {
    EXPECT_EQ(ReadDecimalInteger(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(ReadDecimalNumber, ReadsLikeAtof) {
  struct Case {
    const char* text;
    double value;
  };
  for (const Case c : {Case{"30.5", 30.5}, Case{" 0.785", 0.785}, Case{".5", 0.5}, Case{"5.", 5.0},
                       Case{"-1.25x", -1.25}, Case{"1e3", 1000.0}, Case{"1e", 1.0}, Case{"1e+", 1.0}, Case{"abc", 0.0},
                       Case{".", 0.0}, Case{"", 0.0}, Case{"30,5", 30.0}}) {
    EXPECT_EQ(ReadDecimalNumber(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(NumberTexts, IgnoreTheCLocale) {
  // A user locale with a decimal comma must not change what the meter sees.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale here";
  EXPECT_EQ(ReadDecimalNumber("30.5"), 30.5);
  EXPECT_EQ(Fixed(230.4, 1), "230.4");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Fixed, RoundsLikePrintf) {
  struct Case {
    double value;
    int decimals;
    const char* text;
  };
  for (const Case c : {Case{5.0, 2, "5.00"}, Case{230.0, 1, "230.0"}, Case{-0.95, 2, "-0.95"},
                       Case{1000.0, 2, "1000.00"}, Case{0.785, 3, "0.785"}, Case{2.675, 2, "2.67"},
                       Case{static_cast<float>(0.1), 3, "0.100"}, Case{0.0, 3, "0.000"}}) {
    EXPECT_EQ(Fixed(c.value, c.decimals), c.text);
  }
}

TEST(TwoDigits, PadsLikeAPrecisionOfTwo) {
  EXPECT_EQ(TwoDigits(0), "00");
  EXPECT_EQ(TwoDigits(7), "07");
  EXPECT_EQ(TwoDigits(23), "23");
  EXPECT_EQ(TwoDigits(127), "127");
  EXPECT_EQ(TwoDigits(-1), "-01");
}

TEST(TruncateToInt32, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(TruncateToInt32(785.9), 785);
  EXPECT_EQ(TruncateToInt32(-785.9), -785);
  EXPECT_EQ(TruncateToInt32(1e12), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(TruncateToInt32(-1e12), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(TruncateToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// The quick path must agree with the C library on every value a meter can
// send and on the awkward ones around halves.
TEST(Fixed, AgreesWithPrintfOnMeterValuesAndTies) {
  auto printf_fixed = [](double v, int decimals) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    return std::string(buffer);
  };
  for (std::uint32_t raw = 0; raw < 70000; ++raw) {
    for (const double v : {raw / 100.0, raw / 10.0, static_cast<double>(static_cast<float>(raw / 100.0)), raw / 1000.0,
                           -(raw / 100.0)}) {
      for (const int decimals : {0, 1, 2, 3}) ASSERT_EQ(Fixed(v, decimals), printf_fixed(v, decimals)) << v;
    }
  }
  for (const double v : {0.125, 0.375, 2.5, 3.5, 1e15, 4503599627370495.5, 1e300, -0.0, -0.001, 2.675, 1.005, 0.045,
                         42949672.95, 1e-300}) {
    for (const int decimals : {0, 1, 2, 3, 6}) EXPECT_EQ(Fixed(v, decimals), printf_fixed(v, decimals)) << v;
  }
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

TEST(ClockTexts, UseTheFieldFormats) {
  EXPECT_EQ(DateText(2009, 6, 23), "2009/06/23");
  EXPECT_EQ(DateText(1872, -128, 0), "1872/-128/00");
  EXPECT_EQ(TimeText(9, 5), "09:05");
  EXPECT_EQ(TimeText(23, 59), "23:59");
}

}  // namespace
}  // namespace quorvel
