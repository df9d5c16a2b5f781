// Eighteen simulated meters polled once a second by the engine and
// published to Debian's mosquitto on the loopback (started here on a free
// port). Reports:
//   - the CPU the publishing adds to this process, as a share of one core:
//     the publisher's own threads (named "quorvel-publish", libmosquitto's
//     among them) by the kernel's per-thread accounting, plus what the
//     engine's thread spends more with the publisher linked (the engine
//     alone and linked, measured twice, alternating, so that drift on a
//     shared machine falls on both); the meters' threads are left out, the
//     broker's own CPU is given apart;
//   - the latency from a reading decoded to its state message at a
//     subscriber on the loopback (p50, p99, max), from the reading's own
//     time stamp (milliseconds), with a subscriber in this process.
//
// QUORVEL_BENCH_SECONDS sets each measured span (default 20; 4 spans, and
// one for the latency). BM_ReadingHandedOver gives the engine thread's share
// exactly: its time per reading, times 18 readings a second.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <arpa/inet.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/engine.h"
#include "app/engine_publish_link.h"
#include "bench/bench_support.h"
#include "publish/publisher.h"

namespace {

using namespace quorvel;
using Clock = std::chrono::steady_clock;

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return accepted;
}

// CPU seconds of this process's threads: the publisher's (its own and
// libmosquitto's, both named "quorvel-publish") and the rest but the
// simulated meters ("quorvel-meter").
struct PublishCpu {
  double publisher = 0;
  double rest = 0;
};
PublishCpu ThreadCpu() {
  PublishCpu cpu;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    std::ifstream schedstat(task.path() / "schedstat");
    double run_ns = 0;
    schedstat >> run_ns;
    if (name.rfind("quorvel-meter", 0) == 0) continue;
    (name.rfind("quorvel-publish", 0) == 0 ? cpu.publisher : cpu.rest) += run_ns / 1e9;
  }
  return cpu;
}

// CPU seconds of another process (the broker), from /proc/PID/stat.
double ProcessCpu(qint64 pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  double ticks = 0;
  for (int i = 1; i <= 15 && stat >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::atof(field.c_str());  // utime, stime
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Subscribes to every meter's state and keeps the latency of each reading.
class LatencySubscriber {
 public:
  explicit LatencySubscriber(int port) {
    client_ = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(
        client_, [](mosquitto* c, void*, int) { mosquitto_subscribe(c, nullptr, "quorvel/+/state", 0); });
    mosquitto_message_callback_set(client_, [](mosquitto*, void* self, const mosquitto_message* m) {
      const qint64 now = QDateTime::currentMSecsSinceEpoch();
      const QJsonObject state =
          QJsonDocument::fromJson(QByteArray(static_cast<const char*>(m->payload), m->payloadlen)).object();
      const QDateTime taken = QDateTime::fromString(state["time"].toString(), Qt::ISODateWithMs);
      auto& me = *static_cast<LatencySubscriber*>(self);
      const std::lock_guard lock(me.mutex_);
      me.latencies_ms_.push_back(static_cast<double>(now - taken.toMSecsSinceEpoch()));
    });
    mosquitto_connect(client_, "127.0.0.1", port, 30);
    mosquitto_loop_start(client_);
  }
  ~LatencySubscriber() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
  }
  std::vector<double> Latencies() {
    const std::lock_guard lock(mutex_);
    return latencies_ms_;
  }

 private:
  mosquitto* client_ = nullptr;
  std::mutex mutex_;
  std::vector<double> latencies_ms_;
};

void BM_EighteenMetersPublishing(benchmark::State& state) {
  const double seconds = bench::BenchSeconds(20);
  const bench::BenchFolder folder("quorvel-publish-bench");

  const int port = FreePort();
  std::ofstream(folder.path / "mosquitto.conf")
      << "listener " << port << " 127.0.0.1\nallow_anonymous true\npersistence false\n"
      << (geteuid() == 0 ? "user root\n" : "");
  QProcess broker;
  broker.start("mosquitto", {"-c", QString::fromStdString((folder.path / "mosquitto.conf").string())});
  for (int i = 0; i < 500 && !Accepts(port); ++i) std::this_thread::sleep_for(std::chrono::milliseconds{10});
  if (!Accepts(port)) {
    state.SkipWithError("mosquitto does not start (scripts/install-deps.sh test installs it)");
    return;
  }

  Engine::Options options;
  options.settings_path = folder.path / "Power Meter.ini";
  std::string error;
  const auto meters = bench::StartMeters(kSlotCount, options, &error);
  if (meters.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }

  bench::QuietNotifier quiet;
  NullDisplay display;
  FixedRequestFields fields;
  for (auto _ : state) {
    Engine engine(display, quiet, fields);
    engine.Start(options);
    for (int slot = 1; slot <= kSlotCount; ++slot) engine.OpenDevice(slot);
    engine.Select(1);

    publish::PublisherOptions publisher_options;
    publisher_options.broker.host = "127.0.0.1";
    publisher_options.broker.port = port;
    publisher_options.broker.client_id = "bench";
    publisher_options.bridge.scheme = publish::TopicScheme{"quorvel", "homeassistant", "bench"};
    publish::Publisher publisher(publisher_options);
    publisher.Start();
    // Each meter announced as its number would announce it.
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      publisher.MeterOpened(slot);
      publisher.NumberRead(slot, "bench" + std::to_string(slot));
    }
    bench::RunFor(3);  // connected, every meter polled

    // The engine's thread alone, then with the publisher linked; the
    // publisher's threads are idle but for keep-alives while unlinked.
    double alone = 0;
    double linked = 0;
    double publisher_threads = 0;
    double broker_cpu = 0;
    for (int round = 0; round < 2; ++round) {
      PublishCpu before = ThreadCpu();
      bench::RunFor(seconds);
      alone += ThreadCpu().rest - before.rest;

      auto link = std::make_unique<EnginePublishLink>(engine, publisher);
      const double broker_before = ProcessCpu(broker.processId());
      before = ThreadCpu();
      bench::RunFor(seconds);
      const PublishCpu after = ThreadCpu();
      linked += after.rest - before.rest;
      publisher_threads += after.publisher - before.publisher;
      broker_cpu += ProcessCpu(broker.processId()) - broker_before;
    }

    EnginePublishLink link(engine, publisher);
    LatencySubscriber subscriber(port);
    bench::RunFor(seconds);
    const std::vector<double> latencies = subscriber.Latencies();
    const publish::PublisherStatus status = publisher.Status();
    engine.Shutdown();
    publisher.Stop();

    const double measured = 2 * seconds;
    // The publisher's threads, measured alone, and what the engine's thread
    // spends more on handing readings over (the difference of two noisy
    // figures on a shared machine).
    state.counters["engine_cpu_pct"] = 100.0 * alone / measured;
    state.counters["publisher_threads_cpu_pct"] = 100.0 * publisher_threads / measured;
    state.counters["engine_thread_extra_cpu_pct"] = 100.0 * (linked - alone) / measured;
    state.counters["added_cpu_pct"] = 100.0 * (publisher_threads + linked - alone) / measured;
    state.counters["broker_cpu_pct"] = 100.0 * broker_cpu / measured;
    state.counters["readings"] = static_cast<double>(latencies.size());
    state.counters["p50_ms"] = bench::Percentile(latencies, 0.50);
    state.counters["p99_ms"] = bench::Percentile(latencies, 0.99);
    state.counters["max_ms"] = bench::Percentile(latencies, 1.0);
    state.counters["dropped"] = static_cast<double>(status.dropped);
  }
  broker.terminate();
  broker.waitForFinished();
}
BENCHMARK(BM_EighteenMetersPublishing)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// What a reading costs the engine's thread: the state JSON, the outbox,
// a wake-up of the publisher's thread (not connected here, so the queue
// stays at its bound and drops the oldest, as in an outage).
void BM_ReadingHandedOver(benchmark::State& state) {
  publish::PublisherOptions options;
  options.broker.host = "127.0.0.1";
  options.broker.port = 1;
  options.bridge.scheme = publish::TopicScheme{"quorvel", "homeassistant", "bench"};
  publish::Publisher publisher(options);
  publisher.MeterOpened(3);
  publisher.NumberRead(3, "12345678");
  publisher.Co2FactorRead(3, 0.785);
  const publish::MeterReading values{230.4F, 5.0F, 1092.5F, -0.95F, 1234.56};
  for (auto _ : state) publisher.ReadingTaken(3, values, publish::WallClock::now());
  state.counters["readings_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadingHandedOver);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  mosquitto_lib_init();
  return quorvel::bench::RunBenchmarks(argc, argv);
}
