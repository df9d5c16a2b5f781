#include "sim/command_line.h"

#include <charconv>
#include <cstdio>
#include <functional>
#include <map>

namespace quorvel::sim {

namespace {

constexpr std::string_view kUsage = R"(usage: quorvel-meter-sim [options]

Simulated QUORVEL power meters, each on its own pseudo-terminal in raw mode,
answering the dashboard's requests until SIGINT or SIGTERM.

  --link PATH            one meter reachable as PATH (a symbolic link to its
                         terminal; the folder is created, a stale link
                         replaced, the link removed at exit); repeatable
  --meters N             N further meters without a link
  --seed S               seed of the first meter; meter i uses S + i (default 1)
  --number N             the meter number (up to eight digits) of the next
                         meter, in the order of --link then --meters;
                         repeatable (default: drawn from the seed)
  --clock "YYYY-MM-DD HH:MM[:SS]"
                         the meters' clock at start (default: local time)
  --byte-interval-us U   microseconds between answer bytes; 0 sends answers
                         in one piece (default 1042, the pace of 9600 baud)
fault rates, each a probability per answer from 0 to 1 (default 0):
  --noise R              random bytes before the answer
  --noise-with-start     let noise contain 0x55, which can start a false frame
  --wrong-end R          wrong end byte
  --truncate R           answer cut short
  --lose R               no answer at all
  --delay R              answer sent late
  --delay-min-ms M       shortest delay (default 200)
  --delay-max-ms M       longest delay (default 1500)
  --help                 this text
  --version              the simulator's version

Each meter is printed as one line: its number, terminal, link and meter number.
)";

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc{} && ptr == end && !text.empty();
}

bool ParseRate(std::string_view text, double& rate) { return ParseNumber(text, rate) && rate >= 0.0 && rate <= 1.0; }

bool ParseClock(std::string_view text, std::chrono::local_seconds& clock) {
  int y = 0;
  unsigned mo = 0;
  unsigned d = 0;
  int h = 0;
  int mi = 0;
  int s = 0;
  char tail = 0;
  const std::string copy(text);
  const int fields = std::sscanf(copy.c_str(), "%d-%u-%u%*[ T]%d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail);
  if (fields != 5 && fields != 6) return false;
  const std::chrono::year_month_day date{std::chrono::year{y} / std::chrono::month{mo} / std::chrono::day{d}};
  if (!date.ok() || y < 2000 || y > 2099 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) {
    return false;
  }
  clock = std::chrono::local_days{date} + std::chrono::hours{h} + std::chrono::minutes{mi} + std::chrono::seconds{s};
  return true;
}

}  // namespace

std::string_view UsageText() { return kUsage; }

ParsedCommandLine ParseCommandLine(std::span<const std::string_view> args) {
  CommandLine line;
  MeterSimulatorOptions& o = line.options;
  FaultRates& rates = o.faults.rates;
  bool meters_given = false;

  using Setter = std::function<bool(std::string_view)>;
  const std::map<std::string_view, Setter> with_value{
      {"--link",
       [&](std::string_view v) {
         o.links.emplace_back(v);
         return !v.empty();
       }},
      {"--meters",
       [&](std::string_view v) {
         meters_given = true;
         return ParseNumber(v, o.unlinked);
       }},
      {"--seed", [&](std::string_view v) { return ParseNumber(v, o.seed); }},
      {"--number",
       [&](std::string_view v) {
         std::uint32_t number = 0;
         if (v.size() > 8 || !ParseNumber(v, number)) return false;
         o.meter_numbers.push_back(number);
         return true;
       }},
      {"--clock",
       [&](std::string_view v) {
         std::chrono::local_seconds clock{};
         if (!ParseClock(v, clock)) return false;
         o.start_clock = clock;
         return true;
       }},
      {"--byte-interval-us",
       [&](std::string_view v) {
         std::int64_t us = 0;
         if (!ParseNumber(v, us) || us < 0 || us > 1'000'000) return false;
         o.byte_interval = std::chrono::microseconds{us};
         return true;
       }},
      {"--noise", [&](std::string_view v) { return ParseRate(v, rates.noise); }},
      {"--wrong-end", [&](std::string_view v) { return ParseRate(v, rates.wrong_end); }},
      {"--truncate", [&](std::string_view v) { return ParseRate(v, rates.truncate); }},
      {"--lose", [&](std::string_view v) { return ParseRate(v, rates.lose); }},
      {"--delay", [&](std::string_view v) { return ParseRate(v, rates.delay); }},
      {"--delay-min-ms",
       [&](std::string_view v) {
         std::int64_t ms = 0;
         if (!ParseNumber(v, ms) || ms < 0) return false;
         o.faults.delay_min = std::chrono::milliseconds{ms};
         return true;
       }},
      {"--delay-max-ms",
       [&](std::string_view v) {
         std::int64_t ms = 0;
         if (!ParseNumber(v, ms) || ms < 0) return false;
         o.faults.delay_max = std::chrono::milliseconds{ms};
         return true;
       }},
  };

  ParsedCommandLine result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      line.help = true;
      continue;
    }
    if (arg == "--version") {
      line.version = true;
      continue;
    }
    if (arg == "--noise-with-start") {
      o.faults.noise_may_contain_start = true;
      continue;
    }
    std::optional<std::string_view> value;
    if (const auto eq = arg.find('='); eq != std::string_view::npos && arg.starts_with("--")) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    const auto option = with_value.find(arg);
    if (option == with_value.end()) {
      result.error = "unknown option " + std::string(args[i]);
      return result;
    }
    if (!value) {
      if (i + 1 == args.size()) {
        result.error = std::string(arg) + " needs a value";
        return result;
      }
      value = args[++i];
    }
    if (!option->second(*value)) {
      result.error = "bad value for " + std::string(arg) + ": '" + std::string(*value) + "'";
      return result;
    }
  }
  if (o.faults.delay_min > o.faults.delay_max) {
    result.error = "--delay-min-ms is above --delay-max-ms";
    return result;
  }
  if (!meters_given && o.links.empty()) o.unlinked = 1;
  const std::size_t total = o.links.size() + o.unlinked;
  if (!line.help && !line.version && (total == 0 || total > kMaxMeters)) {
    result.error = "between 1 and " + std::to_string(kMaxMeters) + " meters, please";
    return result;
  }
  if (o.meter_numbers.size() > total) {
    result.error = "more --number than meters";
    return result;
  }
  result.line = std::move(line);
  return result;
}

}  // namespace quorvel::sim
