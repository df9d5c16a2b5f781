// Meters that go away and come back, and device paths as the system names
// them: the engine against simulated meters on pseudo-terminals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "model/names.h"
#include "protocol/commands.h"
#include "tests/integration/meter_bench.h"

namespace quorvel {
namespace {

using testing::MeterBench;
using testing::Sent;
using testing::SpinUntil;
using SentList = std::vector<Sent>;

// Another meter on the adapter that was pulled out: its own tariff and number.
std::unique_ptr<sim::MeterSimulator> AnotherMeterOn(const std::string& link) {
  sim::MeterSimulatorOptions options;
  options.links = {link};
  options.byte_interval = std::chrono::microseconds{0};
  options.seed = 99;
  std::string error;
  auto meter = sim::MeterSimulator::Open(options, &error);
  if (!meter || !meter->Start(&error)) {
    ADD_FAILURE() << error;
    return nullptr;
  }
  meter->Meter(0).WithModel([](sim::MeterModel& m) { (void)m.Answer(WriteTariffRequest({1234, 305, 406})); });
  return meter;
}

std::string Digits(sim::PtyMeter& meter) {
  const auto digits = meter.WithModel([](sim::MeterModel& m) { return m.MeterNumberDigits(); });
  std::string number;
  for (const auto d : digits) number += std::to_string(d);
  return number;
}

const SentList kGreetingOf3{{3, 0x86, 1}, {3, 0xAC, 0}, {3, 0xC7, 0}, {3, 0xC8, 0}};

TEST(MeterReturn, AnUnplugIsToldOnceInWordsAndTheReturnedMeterIsReadAsOnOpening) {
  struct Case {
    const char* name;
    bool lost_meter_selected;
  };
  for (const Case c : {Case{"the selected meter", true}, Case{"a meter not selected", false}}) {
    SCOPED_TRACE(c.name);
    MeterBench bench({3, 5}, {}, std::chrono::microseconds{0}, 100);
    ASSERT_TRUE(bench.Open(3));
    for (int i = 0; i < 4; ++i) bench.TickAndAwait();  // COM3's greeting
    ASSERT_TRUE(bench.Open(5));
    for (int i = 0; i < 4; ++i) bench.TickAndAwait();  // COM5's
    if (c.lost_meter_selected) bench.engine.Select(3);
    bench.notices.TakeTexts();

    bench.Unplug(3);
    ASSERT_TRUE(SpinUntil([&] { return bench.engine.AwaitingReturn(3); }));
    testing::Spin(300);  // a monitor or scan that spoke twice would have by now
    auto again = AnotherMeterOn(bench.simulator->Link(0));
    ASSERT_TRUE(again);
    ASSERT_TRUE(SpinUntil([&] { return bench.engine.IsOpen(3); }));
    testing::Spin(300);
    EXPECT_EQ(bench.notices.TakeTexts(),
              (std::vector<std::string>{"COM3 was unplugged or stopped answering; it is opened again when it returns.",
                                        "COM3 is back and open again."}));

    if (!c.lost_meter_selected) {
      // The selected meter's settings stay on show until COM3 is chosen.
      EXPECT_EQ(bench.TickAndAwait(), (SentList{{3, 0x97, 0}, {5, 0x97, 0}}));
      EXPECT_EQ(bench.engine.Devices().Settings().TierLimit, 5000);
      bench.engine.Select(3);
    }
    SentList greeting;
    for (int i = 0; i < 4; ++i) {
      const SentList sent = bench.TickAndAwait();
      greeting.insert(greeting.end(), sent.begin(), sent.end());
    }
    EXPECT_EQ(greeting, kGreetingOf3);
    const MeterSettings& read = bench.engine.Devices().Settings();
    EXPECT_EQ(read.TierLimit, 1234);
    EXPECT_EQ(read.Price1, 305);
    EXPECT_EQ(read.MeterNumber, Digits(again->Meter(0)));
    EXPECT_EQ(bench.TickAndAwait(), (SentList{{3, 0x97, 0}, {5, 0x97, 0}}));
    // Another meter than before on COM3, told once.
    EXPECT_EQ(bench.notices.TakeTexts(),
              std::vector<std::string>{"COM3 now answers as meter " + Digits(again->Meter(0)) + ", before " +
                                       Digits(bench.Meter(3))});
  }
}

// Paths are opened by their bytes, whatever encoding made them; a NUL byte
// would cut a name short, and is refused with a message.
TEST(DevicePaths, AreOpenedByTheirBytesAndANulIsRefused) {
  struct Case {
    const char* name;
    std::string file_name;  // in the bench's folder, linked to the meter
    bool opens;
    const char* told;  // in the open failure or the start-up message
  };
  const Case cases[] = {
      {"Latin-1", "Z\xE4hler", true, ""},
      {"UTF-8", "Z\xC3\xA4hler", true, ""},
      {"a NUL byte", std::string("meter\0junk", 10), false, "holds a NUL byte"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MeterBench bench({3});
    const std::filesystem::path link = bench.dir / c.file_name.substr(0, c.file_name.find('\0'));
    std::filesystem::create_symlink(bench.simulator->Link(0), link);
    // Written as [Ports] holds it: the bytes as they are.
    const std::string path = (bench.dir / c.file_name).string();
    std::ofstream(bench.dir / "Power Meter.ini", std::ios::binary) << "[Ports]\nCOM4=" << path << "\n";

    testing::ShownLimits display;
    testing::RecordingNotifier notices;
    FixedRequestFields fields;
    std::vector<Sent> sent;
    std::size_t answers = 0;
    Engine engine{display, notices, fields};
    QObject::connect(&engine, &Engine::frameDecoded, [&](int, DecodeOutcome) { ++answers; });
    Engine::Options options;
    options.settings_path = bench.dir / "Power Meter.ini";
    options.tick_ms = 0;
    options.port_scan_ms = 0;
    engine.Start(options);

    EXPECT_EQ(engine.Select(4), c.opens);
    EXPECT_EQ(engine.OpenDevice(4), c.opens);
    if (c.opens) {
      engine.Tick();
      EXPECT_TRUE(SpinUntil([&] { return answers > 0; }));
      EXPECT_TRUE(notices.texts.empty()) << notices.texts.front();
    } else {
      ASSERT_EQ(notices.texts.size(), 1U);
      EXPECT_NE(notices.texts[0].find(c.told), std::string::npos) << notices.texts[0];
      EXPECT_NE(notices.texts[0].find("meter\\x00junk"), std::string::npos) << notices.texts[0];
      EXPECT_NE(engine.OpenFailureText(4).find(c.told), std::string::npos) << engine.OpenFailureText(4);
      EXPECT_EQ(answers, 0U);
    }
  }
}

}  // namespace
}  // namespace quorvel
