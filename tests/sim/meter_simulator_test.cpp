// Several meters at once, their link names, the command line, and the
// quorvel-meter-sim program itself.
#include "sim/meter_simulator.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <utility>

#include "sim/command_line.h"
#include "tests/sim/sim_test_support.h"
#include "tests/support/pty.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace quorvel::sim::test {
namespace {

namespace fs = std::filesystem;
using quorvel::testing::PortEnd;
using quorvel::testing::TempDir;
using std::chrono::milliseconds;

MeterSimulatorOptions Fast(std::vector<std::string> links, std::size_t unlinked = 0) {
  MeterSimulatorOptions options;
  options.links = std::move(links);
  options.unlinked = unlinked;
  options.byte_interval = std::chrono::microseconds{0};
  return options;
}

// The eight digits of a meter-number answer read through `path`.
std::string AskNumber(const std::string& path) {
  PortEnd port(path);
  if (!port.Ok() || !port.Send(Request(0xC8))) return "no port";
  const Bytes answer = port.Read(13);
  if (answer.size() != 13) return "no answer";
  std::string digits;
  for (std::size_t i = 3; i < 11; ++i) digits += static_cast<char>('0' + answer[i]);
  return digits;
}

TEST(MeterSimulator, RunsMetersSideBySideUnderTheirLinks) {
  TempDir dir;
  const std::string com3 = (dir.path() / "meters" / "COM3").string();  // folder made on the way
  const std::string com4 = (dir.path() / "meters" / "COM4").string();
  std::string error;
  auto bench = MeterSimulator::Open(Fast({com3, com4}, 1), &error);
  ASSERT_TRUE(bench) << error;
  ASSERT_TRUE(bench->Start(&error)) << error;
  ASSERT_EQ(bench->Size(), 3U);
  EXPECT_EQ(bench->Link(0), com3);
  EXPECT_EQ(bench->Link(2), "");
  EXPECT_EQ(fs::read_symlink(com3), bench->Meter(0).SlavePath());

  std::set<std::string> numbers;
  numbers.insert(AskNumber(com3));
  numbers.insert(AskNumber(com4));
  numbers.insert(AskNumber(bench->Meter(2).SlavePath()));
  EXPECT_EQ(numbers.size(), 3U);  // each meter has a number of its own
  EXPECT_EQ(numbers.count("no port") + numbers.count("no answer"), 0U);

  bench->Unplug(1);  // the link goes with the adapter, not later
  EXPECT_TRUE(bench->Meter(1).Unplugged());
  EXPECT_FALSE(fs::exists(fs::symlink_status(com4)));
  EXPECT_EQ(fs::read_symlink(com3), bench->Meter(0).SlavePath());

  bench.reset();
  EXPECT_FALSE(fs::exists(fs::symlink_status(com3)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(com4)));
}

TEST(MeterSimulator, ReplacesAStaleLink) {
  TempDir dir;
  const std::string link = (dir.path() / "COM5").string();
  fs::create_symlink("/dev/pts/no-such-terminal", link);
  std::string error;
  auto bench = MeterSimulator::Open(Fast({link}), &error);
  ASSERT_TRUE(bench) << error;
  ASSERT_TRUE(bench->Start(&error));
  EXPECT_EQ(fs::read_symlink(link), bench->Meter(0).SlavePath());
  EXPECT_EQ(AskNumber(link).size(), 8U);
}

TEST(MeterSimulator, RefusesToReplaceAFileAndLeavesNothingBehind) {
  TempDir dir;
  const std::string first = (dir.path() / "COM1").string();
  const std::string file = (dir.path() / "COM2").string();
  std::ofstream(file) << "not a link";
  std::string error;
  auto bench = MeterSimulator::Open(Fast({first, file}), &error);
  EXPECT_FALSE(bench);
  EXPECT_NE(error.find(file), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(fs::symlink_status(first)));  // the first meter's link is gone again
  EXPECT_TRUE(fs::is_regular_file(file));
}

TEST(MeterSimulator, LeavesALinkThatIsNoLongerItsOwn) {
  TempDir dir;
  const std::string link = (dir.path() / "COM6").string();
  std::string error;
  auto bench = MeterSimulator::Open(Fast({link}), &error);
  ASSERT_TRUE(bench) << error;
  // Another run takes the name over.
  fs::remove(link);
  fs::create_symlink("/dev/null", link);
  bench.reset();
  EXPECT_EQ(fs::read_symlink(link), fs::path("/dev/null"));
}

TEST(MeterSimulator, RefusesNoMetersTooManyAndTheSameLinkTwice) {
  std::string error;
  EXPECT_FALSE(MeterSimulator::Open(Fast({}), &error));
  EXPECT_FALSE(MeterSimulator::Open(Fast({}, kMaxMeters + 1), &error));
  EXPECT_FALSE(MeterSimulator::Open(Fast({"/tmp/x/COM1", "/tmp/x/COM1"}), &error));
  EXPECT_FALSE(error.empty());
}

// The command line.

ParsedCommandLine Parse(std::initializer_list<std::string_view> args) {
  const std::vector<std::string_view> list(args);
  return ParseCommandLine(list);
}

TEST(CommandLine, TakesEveryOption) {
  const auto parsed = Parse({"--link",
                             "/tmp/m/COM3",
                             "--link=/tmp/m/COM4",
                             "--meters",
                             "2",
                             "--seed",
                             "99",
                             "--noise",
                             "0.1",
                             "--wrong-end",
                             "0.2",
                             "--truncate",
                             "0.3",
                             "--lose",
                             "0.05",
                             "--delay",
                             "1",
                             "--delay-min-ms",
                             "10",
                             "--delay-max-ms",
                             "20",
                             "--noise-with-start",
                             "--byte-interval-us",
                             "0",
                             "--clock",
                             "2012-03-02 10:30"});
  ASSERT_TRUE(parsed.line) << parsed.error;
  const MeterSimulatorOptions& o = parsed.line->options;
  EXPECT_EQ(o.links, (std::vector<std::string>{"/tmp/m/COM3", "/tmp/m/COM4"}));
  EXPECT_EQ(o.unlinked, 2U);
  EXPECT_EQ(o.seed, 99U);
  EXPECT_DOUBLE_EQ(o.faults.rates.noise, 0.1);
  EXPECT_DOUBLE_EQ(o.faults.rates.wrong_end, 0.2);
  EXPECT_DOUBLE_EQ(o.faults.rates.truncate, 0.3);
  EXPECT_DOUBLE_EQ(o.faults.rates.lose, 0.05);
  EXPECT_DOUBLE_EQ(o.faults.rates.delay, 1.0);
  EXPECT_EQ(o.faults.delay_min, milliseconds{10});
  EXPECT_EQ(o.faults.delay_max, milliseconds{20});
  EXPECT_TRUE(o.faults.noise_may_contain_start);
  EXPECT_EQ(o.byte_interval.count(), 0);
  EXPECT_EQ(o.start_clock, At(2012, 3, 2, 10, 30));
  EXPECT_FALSE(parsed.line->help);
}

TEST(CommandLine, GivesMetersTheirNumbersInOrder) {
  const auto parsed = Parse({"--link", "/tmp/m/COM3", "--meters", "2", "--number", "12345678", "--number=42"});
  ASSERT_TRUE(parsed.line) << parsed.error;
  EXPECT_EQ(parsed.line->options.meter_numbers, (std::vector<std::uint32_t>{12345678, 42}));
}

// Each meter of a bench answers with the number it was given; the others
// keep theirs from the seed, and a meter can be made another one.
TEST(MeterSimulator, MetersAnswerWithTheNumbersGiven) {
  TempDir dir;
  MeterSimulatorOptions options = Fast({(dir.path() / "COM3").string(), (dir.path() / "COM4").string()});
  options.meter_numbers = {87654321};
  std::string error;
  auto bench = MeterSimulator::Open(options, &error);
  ASSERT_TRUE(bench && bench->Start(&error)) << error;
  EXPECT_EQ(AskNumber(bench->Link(0)), "87654321");
  const std::string drawn = AskNumber(bench->Link(1));
  EXPECT_NE(drawn, "87654321");
  EXPECT_EQ(drawn.size(), 8U);
  bench->Meter(1).WithModel([](MeterModel& model) { model.SetMeterNumber(1200); });
  EXPECT_EQ(AskNumber(bench->Link(1)), "00001200");
}

TEST(CommandLine, DefaultsToOneMeterAtTheLinesPace) {
  const auto parsed = Parse({});
  ASSERT_TRUE(parsed.line);
  EXPECT_EQ(parsed.line->options.unlinked, 1U);
  EXPECT_TRUE(parsed.line->options.links.empty());
  EXPECT_EQ(parsed.line->options.byte_interval, kByteTime9600);
  EXPECT_FALSE(parsed.line->options.start_clock);
  EXPECT_TRUE(Parse({"--help"}).line->help);
  EXPECT_TRUE(Parse({"--version"}).line->version);
}

struct BadArgs {
  const char* name;
  std::vector<std::string_view> args;
};

void PrintTo(const BadArgs& c, std::ostream* os) { *os << c.name; }

class CommandLineErrors : public ::testing::TestWithParam<BadArgs> {};

TEST_P(CommandLineErrors, AreRefusedWithAMessage) {
  const auto parsed = ParseCommandLine(GetParam().args);
  EXPECT_FALSE(parsed.line);
  EXPECT_FALSE(parsed.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineErrors,
    ::testing::Values(BadArgs{"unknown", {"--frobnicate"}}, BadArgs{"missing_value", {"--seed"}},
                      BadArgs{"rate_above_one", {"--lose", "1.5"}}, BadArgs{"negative_rate", {"--noise", "-0.1"}},
                      BadArgs{"rate_not_a_number", {"--delay", "often"}}, BadArgs{"trailing_junk", {"--meters", "3x"}},
                      BadArgs{"zero_meters", {"--meters", "0"}}, BadArgs{"too_many_meters", {"--meters", "65"}},
                      BadArgs{"negative_interval", {"--byte-interval-us", "-1"}},
                      BadArgs{"delays_crossed", {"--delay-min-ms", "500", "--delay-max-ms", "100"}},
                      BadArgs{"impossible_clock", {"--clock", "2011-02-29 10:00"}},
                      BadArgs{"clock_out_of_range", {"--clock", "1999-12-31 23:59"}},
                      BadArgs{"empty_link", {"--link", ""}}, BadArgs{"number_too_long", {"--number", "123456789"}},
                      BadArgs{"number_not_digits", {"--number", "12ab"}},
                      BadArgs{"more_numbers_than_meters", {"--number", "1", "--number", "2"}}),
    CaseName{});

// The program itself.

// A running quorvel-meter-sim; killed if a failed check leaves it behind.
struct Child {
  pid_t pid = -1;
  FILE* out = nullptr;
  FILE* err = nullptr;
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  Child(Child&& other) noexcept
      : pid(std::exchange(other.pid, -1)),
        out(std::exchange(other.out, nullptr)),
        err(std::exchange(other.err, nullptr)) {}
  ~Child() {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    if (out) std::fclose(out);
    if (err) std::fclose(err);
  }
};

Child Spawn(const std::vector<std::string>& args) {
  int out_pipe[2];
  int err_pipe[2];
  Child child;
  if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) return child;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
  posix_spawn_file_actions_addclose(&actions, err_pipe[0]);
  std::vector<char*> argv;
  std::string program = QUORVEL_METER_SIM_PATH;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  if (::posix_spawn(&child.pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
    child.pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  child.out = ::fdopen(out_pipe[0], "r");
  child.err = ::fdopen(err_pipe[0], "r");
  return child;
}

std::string ReadAll(FILE* stream) {
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, stream) != nullptr) text += buffer;
  return text;
}

int Wait(Child& child) {
  int status = 0;
  ::waitpid(std::exchange(child.pid, -1), &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(MeterSimProgram, ServesItsMetersUntilTerminated) {
  TempDir dir;
  const std::string link = (dir.path() / "meters" / "COM3").string();
  Child child = Spawn({"--link", link, "--meters", "1", "--byte-interval-us", "0", "--seed", "5"});
  ASSERT_GT(child.pid, 0);
  char line[512];
  ASSERT_NE(std::fgets(line, sizeof line, child.out), nullptr);
  const std::string first(line);
  ASSERT_NE(std::fgets(line, sizeof line, child.out), nullptr);
  const std::string second(line);
  EXPECT_NE(first.find("/dev/pts/"), std::string::npos) << first;
  EXPECT_NE(first.find(link), std::string::npos) << first;
  EXPECT_NE(second.find("/dev/pts/"), std::string::npos) << second;

  const std::string number = AskNumber(link);
  EXPECT_NE(first.find(number), std::string::npos) << first << " / " << number;

  ::kill(child.pid, SIGTERM);
  EXPECT_EQ(Wait(child), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(MeterSimProgram, ExitsWithAMessageOnBadArguments) {
  Child child = Spawn({"--lose", "2"});
  ASSERT_GT(child.pid, 0);
  const std::string err = ReadAll(child.err);
  EXPECT_NE(Wait(child), 0);
  EXPECT_NE(err.find("--lose"), std::string::npos) << err;
}

TEST(MeterSimProgram, ExitsWithAMessageWhenTheLinkCannotBeMade) {
  TempDir dir;
  const std::string file = (dir.path() / "COM7").string();
  std::ofstream(file) << "in the way";
  Child child = Spawn({"--link", file});
  ASSERT_GT(child.pid, 0);
  const std::string err = ReadAll(child.err);
  EXPECT_NE(Wait(child), 0);
  EXPECT_NE(err.find(file), std::string::npos) << err;
}

}  // namespace
}  // namespace quorvel::sim::test
