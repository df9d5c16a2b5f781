// The whole stack against simulated meters on pseudo-terminals: serial
// port, receive slots, decoder, scheduler and engine.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "link/meter_line.h"
#include "tests/integration/meter_bench.h"

namespace quorvel {
namespace {

using testing::MeterBench;
using testing::Sent;
using testing::SpinUntil;
using SentList = std::vector<Sent>;

std::uint8_t Kind(const std::pair<int, DecodeOutcome>& d) { return d.second.kind; }

TEST(EngineWithMeters, OpeningGreetsTheMeterThenPollsEveryOpenSlot) {
  MeterBench bench({3, 5});
  ASSERT_TRUE(bench.Open(3));
  ASSERT_TRUE(bench.Open(5));  // selected last: the greeting reads address COM5
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{5, 0x86, 1}}));
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{5, 0xAC, 0}}));
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{5, 0xC7, 0}}));
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{5, 0xC8, 0}}));
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{3, 0x97, 0}, {5, 0x97, 0}}));
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{3, 0x97, 0}, {5, 0x97, 0}}));

  // What the greeting read is what the meter holds.
  const MeterSettings& s = bench.engine.Devices().Settings();
  const auto digits = bench.Meter(5).WithModel([](sim::MeterModel& m) { return m.MeterNumberDigits(); });
  std::string number;
  for (const auto d : digits) number += std::to_string(d);
  EXPECT_EQ(s.MeterNumber, number);
  EXPECT_EQ(s.TierLimit, 5000);
  EXPECT_EQ(s.Price1, 300);
  EXPECT_FLOAT_EQ(bench.engine.Devices().Slot(5).Co2Factor, 0.785F);
  EXPECT_TRUE(bench.notices.texts.empty());
}

TEST(EngineWithMeters, RealTimeReadingsArriveInTheRecord) {
  MeterBench bench({4});
  bench.Meter(4).WithModel([](sim::MeterModel& m) {
    m.ForceLoad({5.0, 230.0, -0.95});
    m.SetEnergyCounter(100000);
  });
  ASSERT_TRUE(bench.engine.OpenDevice(4));
  bench.engine.Select(4);
  bench.TickAndAwait();
  const DeviceRecord& r = bench.engine.Devices().Slot(4).Record;
  EXPECT_FLOAT_EQ(r.Current, 5.00F);
  EXPECT_FLOAT_EQ(r.Voltage, 230.0F);
  EXPECT_FLOAT_EQ(r.PowerFactor, -0.95F);
  EXPECT_NEAR(r.Power, 1092.5, 0.11);
  EXPECT_NEAR(r.Energy, 1000.0, 0.02);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  EXPECT_EQ(r.Year, local.tm_year - 100);
  EXPECT_EQ(r.Month, local.tm_mon + 1);
  // The page shows the selected meter's date, with the week day from the date.
  ASSERT_FALSE(bench.display.clocks.empty());
  EXPECT_EQ(bench.display.clocks.back().weekday_entry, local.tm_wday);
}

TEST(EngineWithMeters, WritesReachTheMeterAndReadBack) {
  MeterBench bench({2});
  ASSERT_TRUE(bench.Open(2));
  for (int i = 0; i < 4; ++i) bench.TickAndAwait();  // greeting
  bench.fields.tariff = {1234, 305, 406};
  bench.engine.RequestTariffWrite();
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{2, 0x06, 12}}));
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{2, 0x86, 1}}));
  EXPECT_EQ(bench.engine.Devices().Settings().TierLimit, 1234);
  EXPECT_EQ(bench.engine.Devices().Settings().Price1, 305);
  EXPECT_EQ(bench.engine.Devices().Settings().Price2, 406);

  bench.fields.limits = {300, 100, true};
  bench.engine.RequestLimitsWrite();
  bench.TickAndAwait();
  bench.TickAndAwait();
  EXPECT_EQ(bench.engine.Devices().Settings().EnergyLimit, 300);
  EXPECT_EQ(bench.engine.Devices().Settings().CostLimit, 100);
  EXPECT_TRUE(bench.display.shutdown);

  bench.fields.co2_factor_milli = 999;
  bench.engine.RequestCo2Write();
  bench.TickAndAwait();
  bench.TickAndAwait();  // read back
  EXPECT_FLOAT_EQ(bench.engine.Devices().Slot(2).Co2Factor, 0.999F);

  // The clock is set from the computer's.
  bench.engine.RequestClockWrite();
  EXPECT_EQ(bench.TickAndAwait()[0].code, 0x01);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const sim::MeterClock clock = bench.Meter(2).WithModel([](sim::MeterModel& m) { return m.Clock(); });
  EXPECT_EQ(clock.year, local.tm_year + 1900);
  EXPECT_EQ(clock.weekday, local.tm_wday);

  const std::vector<std::string> expected{"Priceset success", "SetLimit Success", "CO2 Set Success",
                                          "Time Set Success"};
  EXPECT_EQ(bench.notices.texts, expected);
}

// The request is built, and its values checked, at the tick: a value the
// pair form cannot carry would reach the meter as another one.
TEST(EngineWithMeters, ValuesTheWireCannotCarryAreNeverSent) {
  MeterBench bench({2});
  ASSERT_TRUE(bench.Open(2));
  for (int i = 0; i < 4; ++i) bench.TickAndAwait();  // greeting
  const struct {
    const char* what;
    std::function<void(FixedRequestFields&)> set;
    void (Engine::*request)();
  } cases[] = {
      {"a price of 1000.0",
       [](auto& f) {
         f.tariff = {5000, 10000, 400};
       },
       &Engine::RequestTariffWrite},
      {"a negative boundary",
       [](auto& f) {
         f.tariff = {-5, 300, 400};
       },
       &Engine::RequestTariffWrite},
      {"a kWh limit of 10000",
       [](auto& f) {
         f.limits = {10000, 0, true};
       },
       &Engine::RequestLimitsWrite},
      {"a negative cost limit",
       [](auto& f) {
         f.limits = {300, -5, false};
       },
       &Engine::RequestLimitsWrite},
      {"a CO2 factor of 1.000", [](auto& f) { f.co2_factor_milli = 1000; }, &Engine::RequestCo2Write},
      {"a negative CO2 factor", [](auto& f) { f.co2_factor_milli = -500; }, &Engine::RequestCo2Write},
  };
  for (const auto& c : cases) {
    bench.fields = FixedRequestFields{};
    c.set(bench.fields);
    (bench.engine.*c.request)();
    EXPECT_TRUE(bench.Tick().empty()) << c.what;
    EXPECT_FALSE(bench.engine.RequestsPending()) << c.what;  // nor read back over the field
  }
  EXPECT_EQ(bench.notices.texts, std::vector<std::string>{});
}
TEST(EngineWithMeters, TimersAreWrittenOnlyWhereChangedAndReadFromTwentyDown) {
  MeterBench bench({6});
  ASSERT_TRUE(bench.engine.OpenDevice(6));
  bench.engine.Select(6);
  TimerEdits rows;
  rows[2] = TimerEntry{8, 0, 17, 30, 9};   // timer 3
  rows[19] = TimerEntry{6, 15, 7, 45, 1};  // timer 20
  bench.engine.RequestTimerWrite(rows);
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{6, 0x18, 20}}));
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{6, 0x18, 3}}));
  EXPECT_TRUE(bench.Tick().empty());
  EXPECT_EQ(bench.notices.texts, std::vector<std::string>{"Timer set success"});
  const sim::TimerSetting three = bench.Meter(6).WithModel([](sim::MeterModel& m) { return m.Timer(3); });
  EXPECT_EQ(three, (sim::TimerSetting{9, 8, 0, 17, 30}));

  bench.engine.RequestTimerRead();
  for (int timer = 20; timer >= 1; --timer) {
    EXPECT_EQ(bench.TickAndAwait(), (SentList{{6, 0x98, static_cast<std::uint8_t>(timer)}}));
  }
  EXPECT_TRUE(bench.Tick().empty());  // every timer answered
  EXPECT_EQ(bench.notices.texts.back(), "Timer load success");
  const auto& timers = bench.engine.Devices().Settings().Timers;
  EXPECT_EQ(timers[2].Mode, 9);
  EXPECT_EQ(timers[2].OffMinute, 30);
  EXPECT_EQ(timers[19].OnMinute, 15);
  EXPECT_EQ(timers[0].Mode, 0);    // never set: mode 0 ...
  EXPECT_EQ(timers[0].OnHour, 0);  // ... and 0xFF times read as 0

  // Resetting the timers is acknowledged with a kind the dashboard does not handle.
  bench.engine.RequestTimerReset();
  bench.Tick();
  ASSERT_TRUE(bench.AwaitDecoded(1));
  EXPECT_EQ(Kind(bench.decoded.back()), code::kResetTimers);
  EXPECT_EQ(bench.decoded.back().second.status, DecodeStatus::kUnhandled);
  EXPECT_EQ(bench.Meter(6).WithModel([](sim::MeterModel& m) { return m.Timer(3); }), sim::TimerSetting{});
  // The slot is not blocked by that answer.
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{6, 0x97, 0}}));
}

TEST(EngineWithMeters, HistoryReadAsksMonthsTwelveToOneAndStoresDayEnergies) {
  MeterBench bench({8});
  ASSERT_TRUE(bench.engine.OpenDevice(8));
  bench.engine.Select(8);
  bench.TickAndAwait();  // a live reading first: it sets the year
  bench.engine.RequestHistoryRead();
  for (int month = 12; month >= 1; --month) {
    EXPECT_EQ(bench.TickAndAwait(), (SentList{{8, 0x8B, static_cast<std::uint8_t>(month)}}));
  }
  const SlotData& data = bench.engine.Devices().Slot(8);
  EXPECT_EQ(data.HistoryLoaded, 1);

  // Each day is the difference of the meter's cumulative counters.
  bench.Meter(8).WithModel([&](sim::MeterModel& m) {
    for (int month = 1; month <= 12; ++month) {
      std::uint32_t previous = 0;
      for (int day = 1; day <= 31; ++day) {
        const double stored = data.History[static_cast<std::size_t>(month - 1)][static_cast<std::size_t>(day - 1)];
        if (stored == kNoSuchDay) break;
        const std::uint32_t counter = m.HistoryCounter(month, day);
        if (counter >= 999999) {
          EXPECT_EQ(stored, 0.0) << month << "/" << day;
          continue;
        }
        EXPECT_DOUBLE_EQ(stored, (counter - previous) / 100.0) << month << "/" << day;
        previous = counter;
      }
    }
  });
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{8, 0x97, 0}}));
}

TEST(EngineWithMeters, AVanishingMeterClosesItsSlotOnly) {
  MeterBench bench({3, 4});
  ASSERT_TRUE(bench.engine.OpenDevice(3));
  ASSERT_TRUE(bench.engine.OpenDevice(4));
  int lost = 0;
  QObject::connect(&bench.engine, &Engine::portLost, [&](int slot) { lost = slot; });
  bench.Unplug(3);
  ASSERT_TRUE(SpinUntil([&] { return lost == 3 && !bench.engine.IsOpen(3); }));
  EXPECT_TRUE(bench.engine.IsOpen(4));
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{4, 0x97, 0}}));
  EXPECT_EQ(bench.notices.texts.size(), 1U);
}

TEST(EngineWithMeters, AHistoryReadWithoutAnswersEndsAndPassesNoZerosOff) {
  sim::FaultOptions faults;
  faults.rates.lose = 1.0;
  MeterBench bench({8}, faults);
  ASSERT_TRUE(bench.engine.OpenDevice(8));
  bench.engine.Select(8);
  SlotData& data = bench.engine.Devices().Slot(8);
  data.Record.Month = 7;  // the meter's date, as a live reading would have set it
  data.Record.Day = 4;
  bench.engine.RequestHistoryRead();
  std::size_t asked = 0;
  for (int tick = 0; tick < 40 && bench.engine.RequestsPending(); ++tick) asked += bench.Tick().size();
  EXPECT_EQ(asked, 36U);  // every month, then twice more
  EXPECT_EQ(bench.notices.TakeTexts(), std::vector<std::string>{"History load incomplete: months 1, 2, 3, 4, 5, 6, 7, "
                                                                "8, 9, 10, 11, 12 did not answer"});
  EXPECT_EQ(bench.display.busy_ended, 1);
  EXPECT_EQ(data.HistoryLoaded, 0);
  ASSERT_EQ(bench.display.history_boxes.size(), 1U);
  EXPECT_EQ(bench.display.history_boxes[0].day, kUnknownHistoryText);
  EXPECT_EQ(bench.display.history_boxes[0].month, kUnknownHistoryText);
  const Status unread = bench.engine.SaveMonthData(8, 7);
  EXPECT_FALSE(unread.ok());
  EXPECT_EQ(unread.text(), "it was not read from COM8");
  EXPECT_TRUE(bench.notices.texts.empty());
}

TEST(EngineWithMeters, AMeterThatComesBackIsOpenedAgain) {
  MeterBench bench({3}, {}, std::chrono::microseconds{0}, 250);
  ASSERT_TRUE(bench.Open(3));
  std::vector<int> lost;
  std::vector<int> returned;
  QObject::connect(&bench.engine, &Engine::portLost, [&](int slot) { lost.push_back(slot); });
  QObject::connect(&bench.engine, &Engine::deviceReturned, [&](int slot) { returned.push_back(slot); });
  bench.Unplug(3);
  ASSERT_TRUE(SpinUntil([&] { return !lost.empty() && !bench.engine.IsOpen(3); }));
  EXPECT_TRUE(bench.engine.AwaitingReturn(3));
  EXPECT_TRUE(returned.empty());

  // A device that is there but cannot be opened yet (an adapter's node before
  // udev has set it up): tried again on every scan, and nobody is told.
  const std::size_t told = bench.notices.texts.size();
  std::ofstream(bench.dir / "half-made") << "not a terminal";
  std::filesystem::create_symlink(bench.dir / "half-made", bench.simulator->Link(0));
  ASSERT_TRUE(SpinUntil([&] { return bench.engine.LastOpenError(3).kind != OpenFailure::kNone; }));
  EXPECT_TRUE(bench.engine.AwaitingReturn(3));
  EXPECT_EQ(bench.notices.texts.size(), told);

  // Another meter behind the same link at once, as after plugging the adapter
  // back in; its terminal most likely has the number of the old one.
  sim::MeterSimulatorOptions options;
  options.links = {bench.simulator->Link(0)};
  options.byte_interval = std::chrono::microseconds{0};
  std::string error;
  auto again = sim::MeterSimulator::Open(options, &error);
  ASSERT_TRUE(again && again->Start(&error)) << error;
  ASSERT_TRUE(SpinUntil([&] { return !returned.empty(); }));
  EXPECT_EQ(lost, std::vector<int>{3});
  EXPECT_EQ(returned, std::vector<int>{3});
  EXPECT_TRUE(bench.engine.IsOpen(3));
  EXPECT_EQ(bench.engine.List().SelectedSlot(), 3);
  EXPECT_EQ(bench.notices.texts.back(), "COM3 is back and open again.");
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{3, 0x86, 1}}));  // the greeting goes on

  // A slot the user closed stays closed.
  bench.engine.CloseDevice(3);
  EXPECT_FALSE(bench.engine.AwaitingReturn(3));
}

// The monitor marks its port closed before its word of the loss reaches the
// engine; a scan that finds the device gone in between still stops the
// selected device, tells it once, and selects it again on its return.
TEST(EngineWithMeters, ALossAScanSeesBeforeTheMonitorsWordIsToldOnce) {
  MeterBench bench({3}, {}, std::chrono::microseconds{0}, 250);
  ASSERT_TRUE(bench.Open(3));
  std::vector<int> lost;
  int removed = 0;
  QObject::connect(&bench.engine, &Engine::portLost, [&](int slot) { lost.push_back(slot); });
  QObject::connect(&bench.engine, &Engine::selectedDeviceRemoved, [&](int) { ++removed; });
  bench.Unplug(3);
  // No events run here: the monitor's word waits for this thread.
  for (int i = 0; i < 500 && bench.engine.IsOpen(3); ++i) std::this_thread::sleep_for(std::chrono::milliseconds{10});
  ASSERT_FALSE(bench.engine.IsOpen(3));
  bench.engine.DeviceChanged(-3);
  EXPECT_EQ(lost, std::vector<int>{3});
  EXPECT_EQ(removed, 1);
  EXPECT_TRUE(bench.engine.AwaitingReturn(3));
  testing::Spin(300);  // the dropped word, if it came, and a scan or two
  EXPECT_EQ(lost, std::vector<int>{3});
  EXPECT_EQ(bench.notices.TakeTexts(),
            std::vector<std::string>{"COM3 was unplugged or stopped answering; it is opened again when it returns."});

  sim::MeterSimulatorOptions options;
  options.links = {bench.simulator->Link(0)};
  std::string error;
  auto again = sim::MeterSimulator::Open(options, &error);
  ASSERT_TRUE(again && again->Start(&error)) << error;
  ASSERT_TRUE(SpinUntil([&] { return bench.engine.IsOpen(3); }));
  EXPECT_EQ(bench.engine.List().SelectedSlot(), 3);
}

std::string NumberOf(sim::PtyMeter& meter) {
  std::string number;
  for (const auto d : meter.WithModel([](sim::MeterModel& m) { return m.MeterNumberDigits(); })) {
    number += std::to_string(d);
  }
  return number;
}

std::vector<std::string> MovedMeterNotices(const testing::RecordingNotifier& notices) {
  std::vector<std::string> moved;
  for (const std::string& text : notices.texts) {
    if (text.find("now answers as meter") != std::string::npos) moved.push_back(text);
  }
  return moved;
}

// A slot remembers the meter read on it, across a replug and a restart; a
// different meter answering there is told once, and the files know it.
TEST(EngineWithMeters, AnotherMeterOnASlotIsToldOnce) {
  MeterBench bench({3}, {}, std::chrono::microseconds{0}, 250);
  const std::string first = NumberOf(bench.Meter(3));
  const std::filesystem::path settings = bench.dir / "Power Meter.ini";
  ASSERT_TRUE(bench.Open(3));
  for (int i = 0; i < 4; ++i) bench.TickAndAwait();  // the greeting reads the number
  EXPECT_EQ(bench.engine.RememberedSlots().meters.at(3), first);
  EXPECT_EQ(LoadSlotMemory(IniFile::Load(settings).file).meters.at(3), first);
  EXPECT_TRUE(MovedMeterNotices(bench.notices).empty());

  // Another meter's adapter plugged in where the first one was.
  std::vector<int> returned;
  QObject::connect(&bench.engine, &Engine::deviceReturned, [&](int slot) { returned.push_back(slot); });
  bench.Unplug(3);
  ASSERT_TRUE(SpinUntil([&] { return bench.engine.AwaitingReturn(3); }));
  sim::MeterSimulatorOptions options;
  options.links = {bench.simulator->Link(0)};
  options.byte_interval = std::chrono::microseconds{0};
  options.meter_numbers = {87654321};
  std::string error;
  auto other = sim::MeterSimulator::Open(options, &error);
  ASSERT_TRUE(other && other->Start(&error)) << error;
  ASSERT_TRUE(SpinUntil([&] { return !returned.empty(); }));
  for (int i = 0; i < 4; ++i) bench.TickAndAwait();  // read as on opening
  const std::vector<std::string> told{"COM3 now answers as meter 87654321, before " + first};
  EXPECT_EQ(MovedMeterNotices(bench.notices), told);
  EXPECT_EQ(bench.TickAndAwait(), (SentList{{3, 0x97, 0}}));
  bench.engine.CloseDevice(3);  // and started again: the greeting reads the number again
  ASSERT_TRUE(SpinUntil([&] { return !bench.engine.IsOpen(3); }));
  ASSERT_TRUE(bench.Open(3));
  for (int i = 0; i < 4; ++i) bench.TickAndAwait();
  EXPECT_EQ(MovedMeterNotices(bench.notices), told);  // once
  EXPECT_EQ(LoadSlotMemory(IniFile::Load(settings).file).meters.at(3), "87654321");

  // The next start remembers it: the first meter back on COM3 is told again,
  // also when the slot is opened without a greeting (as the chart view does)
  // and chosen later.
  bench.engine.Shutdown();
  other.reset();
  sim::MeterSimulatorOptions back = options;
  back.meter_numbers = {static_cast<std::uint32_t>(std::stoul(first))};
  auto again = sim::MeterSimulator::Open(back, &error);
  ASSERT_TRUE(again && again->Start(&error)) << error;
  testing::ShownLimits display;
  testing::RecordingNotifier notices;
  FixedRequestFields fields;
  Engine engine{display, notices, fields};
  Engine::Options restart;
  restart.settings_path = settings;
  restart.tick_ms = 0;
  restart.port_scan_ms = 0;
  restart.port_assignments = {{3, bench.simulator->Link(0)}};
  engine.Start(restart);
  std::vector<int> kinds;
  QObject::connect(&engine, &Engine::requestSent,
                   [&](int, const QByteArray& frame) { kinds.push_back(static_cast<std::uint8_t>(frame[1])); });
  ASSERT_TRUE(engine.OpenDevice(3));
  engine.Tick();
  EXPECT_EQ(kinds, std::vector<int>{0x97});
  engine.Select(3);
  for (int i = 0; i < 4; ++i) engine.Tick();
  EXPECT_EQ(kinds, (std::vector<int>{0x97, 0x86, 0xAC, 0xC7, 0xC8}));
  ASSERT_TRUE(SpinUntil([&] { return !MovedMeterNotices(notices).empty(); }));
  EXPECT_EQ(MovedMeterNotices(notices),
            std::vector<std::string>{"COM3 now answers as meter " + first + ", before 87654321"});
}

TEST(EngineWithMeters, OneDeviceUnderTwoNamesIsOpenedOnce) {
  MeterBench bench({3});
  const std::string link = bench.simulator->Link(0);
  const std::string terminal = std::filesystem::canonical(link).string();
  testing::ShownLimits display;
  testing::RecordingNotifier notices;
  FixedRequestFields fields;
  Engine engine{display, notices, fields};
  Engine::Options options;
  options.settings_path = bench.dir / "Power Meter.ini";
  options.tick_ms = 0;
  options.port_scan_ms = 0;
  options.port_assignments = {{4, link}, {5, terminal}};
  engine.Start(options);
  ASSERT_TRUE(engine.OpenDevice(4));
  EXPECT_FALSE(engine.OpenDevice(5));
  EXPECT_EQ(engine.LastOpenError(5).same_device_port, 4U);

  // Another program: the bench's engine, through the link; the first holds
  // the device by its terminal's name.
  engine.CloseDevice(4);
  ASSERT_TRUE(SpinUntil([&] { return !engine.IsOpen(4); }));
  ASSERT_TRUE(engine.OpenDevice(5));
  EXPECT_FALSE(bench.engine.OpenDevice(3));
  EXPECT_EQ(bench.engine.LastOpenError(3).kind, OpenFailure::kBusy);
  EXPECT_EQ(bench.engine.LastOpenError(3).same_device_port, 0U);
}

TEST(EngineWithMeters, FaultsNeverBlockASlot) {
  sim::FaultOptions faults;
  faults.rates = {0.15, 0.1, 0.1, 0.1, 0.1};
  faults.delay_min = std::chrono::milliseconds{20};
  faults.delay_max = std::chrono::milliseconds{250};
  MeterBench bench({1, 2, 3}, faults);
  for (const int slot : {1, 2, 3}) ASSERT_TRUE(bench.engine.OpenDevice(slot));
  bench.engine.Select(2);
  // Each tick's requests reach their meters before the next tick, whose
  // purge would drop a request still on its way.
  const auto requests = [&](int slot) { return bench.Meter(slot).Stats().requests; };
  const auto tick = [&](int spin_ms) {
    const std::uint64_t before[] = {requests(1), requests(2), requests(3)};
    bench.Tick();
    EXPECT_TRUE(
        SpinUntil([&] { return requests(1) > before[0] && requests(2) > before[1] && requests(3) > before[2]; }));
    testing::Spin(spin_ms);
  };
  constexpr int kTicks = 150;
  for (int i = 0; i < kTicks; ++i) tick(40);
  testing::Spin(400);  // the last delayed answers

  for (const int slot : {1, 2, 3}) {
    std::size_t decoded = 0;
    for (const auto& [from, outcome] : bench.decoded) {
      if (from == slot && outcome.kind == code::kReadRealTime) ++decoded;
    }
    // An answer reaches the decoder unless a fault hit it or a cut-off
    // answer before it swallowed its start.
    const auto log = bench.Meter(slot).AnswerLog();
    std::size_t clean = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
      const bool intact = log[i].fault == sim::Fault::kNone || log[i].fault == sim::Fault::kNoise;
      const bool spoiled_by_previous =
          i > 0 && (log[i - 1].fault == sim::Fault::kTruncated || log[i - 1].fault == sim::Fault::kDelayed);
      if (intact && !spoiled_by_previous) ++clean;
    }
    EXPECT_GE(decoded + 1, clean) << "COM" << slot;
    EXPECT_GT(clean, log.size() / 3) << "COM" << slot;
    EXPECT_EQ(log.size(), static_cast<std::size_t>(kTicks)) << "COM" << slot;
  }
  // After the faults the meters are still heard.
  const std::size_t before = bench.decoded.size();
  std::set<int> heard;
  for (int i = 0; i < 50 && heard.size() < 3; ++i) {
    tick(60);
    for (std::size_t d = before; d < bench.decoded.size(); ++d) heard.insert(bench.decoded[d].first);
  }
  EXPECT_EQ(heard, (std::set<int>{1, 2, 3}));
  // Faults on the line are no port failures: nobody was told anything.
  EXPECT_TRUE(bench.notices.texts.empty()) << bench.notices.texts.front();
  for (const int slot : {1, 2, 3}) EXPECT_TRUE(bench.engine.IsOpen(slot)) << "COM" << slot;
}

}  // namespace
}  // namespace quorvel
