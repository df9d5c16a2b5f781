#include "link/serial_port.h"

#include <QLoggingCategory>
#include <QSerialPort>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "link/serial_platform.h"

// Trace lines for developers; enable with QT_LOGGING_RULES="quorvel.serial.debug=true".
Q_LOGGING_CATEGORY(lcSerial, "quorvel.serial", QtWarningMsg)

namespace quorvel {

// State the owner's thread and the monitor thread share.
struct CSerialPort::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<bool> shutdown{false};
  std::atomic<bool> monitor_alive{false};
  std::vector<std::uint8_t> write_buffer;  // WriteBufferSize bytes
  std::size_t write_length = 0;
  bool write_queued = false;  // a wake-up for the monitor is on its way
};

namespace {

std::atomic<HandOffRule> hand_off_rule{HandOffRule::kBatch};
std::atomic<std::uint64_t> received_hand_offs{0};

}  // namespace

void SetHandOffRule(HandOffRule rule) { hand_off_rule = rule; }

std::uint64_t ReceivedHandOffs() { return received_hand_offs.load(std::memory_order_relaxed); }

std::chrono::microseconds CharacterTime(int baud, char parity, int data_bits, int stop_bits) {
  const bool sensible = baud > 0 && data_bits >= 5 && data_bits <= 8 && (stop_bits == 1 || stop_bits == 2);
  if (!sensible) return CharacterTime(9600, 'N', 8, 1);
  const bool parity_bit = parity != 'N' && parity != 'n';
  const long long bits = 1 + data_bits + (parity_bit ? 1 : 0) + stop_bits;
  // Rounded up: a gap measured a little long only joins bytes that came close together.
  return std::chrono::microseconds{(bits * 1'000'000 + baud - 1) / baud};
}

std::string SerialFailureText(const std::string& call, const std::string& system_text, unsigned port_number) {
  std::string text = "WARNING:  " + call + " Failed with the following error: \n" + system_text +
                     "\nPort: " + std::to_string(port_number) + "\n";
  if (text.size() > 199) text.resize(199);
  return text;
}

namespace {

Notice FailureNotice(const std::string& call, const std::string& system_text, unsigned port_number) {
  return Notice{"Application Error", SerialFailureText(call, system_text, port_number), NoticeIcon::kStop};
}

}  // namespace

// Lives on the monitor thread and owns the device there. Never deletes the
// device inside one of its signals: QSerialPort is still on the stack then.
class CSerialPort::Monitor : public QObject {
 public:
  struct Config {
    std::string device;
    int baud;
    char parity;
    int data_bits;
    int stop_bits;
  };
  struct OpenResult {
    bool opened = false;
    OpenError error;
    std::string failed_call;  // a configuration step that failed
    std::string failure_text;
  };

  // How received bytes are gathered before they are handed over.
  struct Batching {
    HandOffRule rule = HandOffRule::kBatch;
    std::chrono::microseconds character{};  // one character time
    std::chrono::microseconds quiet_gap{};  // two character times
    std::chrono::microseconds age_bound{};  // kBatchCharacters character times
    std::optional<std::uint8_t> end_byte;
  };

  Monitor(std::shared_ptr<Shared> shared, QObject* owner_context, SerialPortOwner* owner, Notifier* notifier,
          unsigned port_number, const Batching& batching)
      : shared_(std::move(shared)),
        owner_context_(owner_context),
        owner_(owner),
        notifier_(notifier),
        port_number_(port_number),
        batching_(batching) {}

  OpenResult Open(const Config& config);
  void StartReading();
  void Shutdown() { CloseAndEnd(); }
  void ServiceWrite();

 private:
  void OnReadyRead();
  void ReadOnWhileBytesCome(QByteArray& batch);
  bool TakeWaiting(QByteArray& batch);
  bool EndsBatch(const QByteArray& batch) const;
  void OnError(QSerialPort::SerialPortError error);
  void HandleLoss();
  bool HandOver(std::function<void()> work);
  void CloseAndEnd();

  std::shared_ptr<Shared> shared_;
  QObject* owner_context_;
  SerialPortOwner* owner_;
  Notifier* notifier_;
  unsigned port_number_;
  const Batching batching_;
  std::unique_ptr<QSerialPort> port_;
  bool reading_ = false;
  bool ended_ = false;
  bool loss_reported_ = false;
  bool read_failure_told_ = false;
  bool gathering_ = false;           // inside ReadOnWhileBytesCome
  qsizetype expected_size_ = 0;      // of the last batch that ended with its end byte
  bool take_what_is_there_ = false;  // a write is due: hand over without gathering
};

CSerialPort::Monitor::OpenResult CSerialPort::Monitor::Open(const Config& config) {
  OpenResult result;
  // The library takes the name as text: a path in another encoding is
  // opened by the name of the device it leads to, never by a mangled one.
  const Result<std::string> open_name = DeviceOpenName(config.device);
  if (!open_name.ok()) {
    result.error = {OpenFailure::kOther, config.device, open_name.status().text()};
    return result;
  }
  const std::string& name = open_name.value();
  port_ = std::make_unique<QSerialPort>();
  port_->setPortName(QString::fromStdString(name));
  bool opened = port_->open(QIODevice::ReadWrite);
  if (!opened && port_->errorString().contains(QLatin1String("lock")) && RemoveAbandonedLockFile(name)) {
    opened = port_->open(QIODevice::ReadWrite);
  }
  if (!opened) {
    const QSerialPort::SerialPortError error = port_->error();
    const std::string text = port_->errorString().toStdString();
    const bool busy = text.find("lock") != std::string::npos || text.find("busy") != std::string::npos;
    result.error = {ClassifyOpenFailure(config.device, busy, error == QSerialPort::PermissionError), config.device,
                    text};
    if (error == QSerialPort::DeviceNotFoundError) result.error.kind = OpenFailure::kNotFound;
    port_.reset();  // not inside a signal: safe
    return result;
  }
  if (!ClaimDevice(port_->handle())) {
    result.error = {OpenFailure::kBusy, config.device, "the device is in use by another program"};
    port_->close();
    port_.reset();
    return result;
  }
  result.opened = true;
  connect(port_.get(), &QSerialPort::readyRead, this, &Monitor::OnReadyRead);
  connect(port_.get(), &QSerialPort::errorOccurred, this, &Monitor::OnError);

  // The line text of the device-control block: any of these failing is the
  // device refusing the line settings.
  auto fail = [&](const char* call) {
    if (result.failed_call.empty()) {
      result.failed_call = call;
      result.failure_text = port_->errorString().toStdString();
    }
  };
  QSerialPort::Parity parity = QSerialPort::NoParity;
  switch (config.parity) {
    case 'N':
    case 'n':
      parity = QSerialPort::NoParity;
      break;
    case 'E':
    case 'e':
      parity = QSerialPort::EvenParity;
      break;
    case 'O':
    case 'o':
      parity = QSerialPort::OddParity;
      break;
    case 'M':
    case 'm':
      parity = QSerialPort::MarkParity;
      break;
    case 'S':
    case 's':
      parity = QSerialPort::SpaceParity;
      break;
    default:
      fail("BuildCommDCB()");
      break;
  }
  const bool line_text_valid = result.failed_call.empty() && config.data_bits >= 5 && config.data_bits <= 8 &&
                               (config.stop_bits == 1 || config.stop_bits == 2);
  if (!line_text_valid) {
    if (result.failed_call.empty()) {
      result.failed_call = "BuildCommDCB()";
      result.failure_text = "The parameter is incorrect.";
    }
  } else if (!port_->setBaudRate(config.baud) || !port_->setParity(parity) ||
             !port_->setDataBits(static_cast<QSerialPort::DataBits>(config.data_bits)) ||
             !port_->setStopBits(config.stop_bits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) ||
             !port_->setFlowControl(QSerialPort::NoFlowControl)) {
    fail("SetCommState()");
  }
  // RTS held on for the adapter. A pseudo-terminal has no modem lines; that
  // is not a configuration failure.
  if (!port_->setRequestToSend(true)) {
    qCDebug(lcSerial) << "port" << port_number_ << "has no RTS line:" << port_->errorString();
    port_->clearError();
  }
  port_->clear(QSerialPort::AllDirections);
  qCDebug(lcSerial, "Initialisation for communicationport %u completed.\nUse Startmonitor to communicate.",
          port_number_);
  return result;
}

void CSerialPort::Monitor::StartReading() {
  if (shared_->shutdown || !port_ || !port_->isOpen()) {
    CloseAndEnd();
    return;
  }
  port_->clear(QSerialPort::AllDirections);
  reading_ = true;
}

// Runs `work` on the owner's thread and waits until it has run. Returns
// false when a shutdown came first; the work is then dropped if it had not
// started yet.
bool CSerialPort::Monitor::HandOver(std::function<void()> work) {
  enum State { kQueued, kRunning, kDone, kCancelled };
  auto state = std::make_shared<State>(kQueued);
  auto shared = shared_;
  QMetaObject::invokeMethod(
      owner_context_,
      [shared, state, work = std::move(work)] {
        {
          const std::lock_guard lock(shared->mutex);
          // A shutdown signalled on this thread drops the work even before
          // the monitor has woken to cancel it.
          if (*state == kCancelled || shared->shutdown) return;
          *state = kRunning;
        }
        work();
        {
          const std::lock_guard lock(shared->mutex);
          *state = kDone;
        }
        shared->changed.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(shared_->mutex);
  shared_->changed.wait(lock, [&] { return *state == kDone || shared_->shutdown; });
  if (*state == kQueued) *state = kCancelled;
  return *state == kDone;
}

void CSerialPort::Monitor::OnReadyRead() {
  // A read made while gathering a batch belongs to that batch.
  if (!reading_ || ended_ || gathering_) return;
  // Shutdown goes before received data: a port being closed delivers nothing more.
  while (!shared_->shutdown) {
    QByteArray bytes;
    if (batching_.rule == HandOffRule::kEachRead) {
      bytes = port_->readAll();
    } else {
      TakeWaiting(bytes);
      // Bytes pulled in because a write is due go over as they are.
      if (!bytes.isEmpty() && !take_what_is_there_) ReadOnWhileBytesCome(bytes);
      if (shared_->shutdown) break;
    }
    if (bytes.isEmpty()) return;
    read_failure_told_ = false;
    received_hand_offs.fetch_add(1, std::memory_order_relaxed);
    SerialPortOwner* owner = owner_;
    const unsigned port = port_number_;
    HandOver([owner, port, bytes = std::move(bytes)] {
      owner->OnBytesReceived(port, std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                             static_cast<std::size_t>(bytes.size())));
    });
  }
  CloseAndEnd();
}

// Adds to `batch` what the line brings until it has been quiet for a gap,
// the batch ends with its end byte, its first byte has waited as long as a
// batch may, a shutdown comes, or the device stops being read. Looks a gap
// at a time rather than waking for every byte. The first look waits for as
// many bytes as the port's last batch held: a meter polled once a second
// answers alike each time, so an answer at the line's pace is mostly taken
// whole at one look; an answer shorter than the one before goes over when
// the longer one would have ended. A shutdown ends the wait at once.
void CSerialPort::Monitor::ReadOnWhileBytesCome(QByteArray& batch) {
  using Clock = std::chrono::steady_clock;
  const auto started = Clock::now();
  const qsizetype missing = expected_size_ - batch.size();
  // Half a character more, so that the look comes after the last byte.
  std::chrono::microseconds wait = batching_.quiet_gap;
  if (missing > 2) wait = std::chrono::microseconds{(2 * missing + 1) * batching_.character.count() / 2};
  wait = std::min(wait, batching_.age_bound - batching_.quiet_gap);
  gathering_ = true;
  while (!EndsBatch(batch) && Clock::now() - started + wait <= batching_.age_bound) {
    {
      std::unique_lock lock(shared_->mutex);
      if (shared_->changed.wait_for(lock, wait, [&] { return shared_->shutdown.load(); })) break;
    }
    port_->waitForReadyRead(0);      // takes in what the device holds, without waiting
    if (!reading_ || ended_) break;  // the device vanished: what came before it still goes over
    if (!TakeWaiting(batch)) break;  // quiet for at least a gap
    wait = batching_.quiet_gap;
  }
  gathering_ = false;
  expected_size_ = EndsBatch(batch) ? batch.size() : 0;
}

// Appends what the port has taken in to `batch`; false when there was nothing.
// (readAll would allocate a buffer of the port's read chunk size each time.)
bool CSerialPort::Monitor::TakeWaiting(QByteArray& batch) {
  const qint64 waiting = port_->bytesAvailable();
  if (waiting <= 0) return false;
  const qsizetype at = batch.size();
  batch.resize(at + static_cast<qsizetype>(waiting));
  const qint64 got = port_->read(batch.data() + at, waiting);
  batch.resize(at + static_cast<qsizetype>(std::max<qint64>(got, 0)));
  return got > 0;
}

bool CSerialPort::Monitor::EndsBatch(const QByteArray& batch) const {
  return batching_.end_byte && !batch.isEmpty() && static_cast<std::uint8_t>(batch.back()) == *batching_.end_byte;
}

void CSerialPort::Monitor::OnError(QSerialPort::SerialPortError error) {
  if (ended_ || !port_ || error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return;
  if (error == QSerialPort::WriteError) {
    qCDebug(lcSerial) << "port" << port_number_ << "write error:" << port_->errorString();
    return;
  }
  if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) return;
  if (DeviceHasVanished(port_->handle())) {
    // A vanished device keeps reporting errors: stop reading now, and leave
    // this signal before closing it.
    if (!loss_reported_) {
      loss_reported_ = true;
      reading_ = false;
      QMetaObject::invokeMethod(this, &Monitor::HandleLoss, Qt::QueuedConnection);
    }
    return;
  }
  // The device is there. Qt's words come from whatever error number was
  // left over when its read found nothing (the purge before a write took
  // the bytes it was woken for): only a call made now says whether anything
  // failed. A real failure is told once until a read succeeds again.
  const std::string failure = ReadFailureText(port_->handle());
  if (!failure.empty() && !read_failure_told_) {
    read_failure_told_ = true;
    Notifier* notifier = notifier_;
    const Notice notice = FailureNotice("ReadFile()", failure, port_number_);
    QMetaObject::invokeMethod(
        owner_context_, [notifier, notice] { notifier->Notify(notice); }, Qt::QueuedConnection);
  }
  qCDebug(lcSerial) << "port" << port_number_ << "read found nothing:" << port_->errorString();
  // Qt stops its read notifications on what it takes for a resource error;
  // reading again starts them (and delivers anything that came meanwhile).
  port_->clearError();
  if (error == QSerialPort::ResourceError) {
    QMetaObject::invokeMethod(this, &Monitor::OnReadyRead, Qt::QueuedConnection);
  }
}

// A vanished device is no read failure: the owner tells it, in its words.
// Qt's error text would name whatever error number was left over.
void CSerialPort::Monitor::HandleLoss() {
  if (ended_) return;
  port_->close();
  SerialPortOwner* owner = owner_;
  const unsigned port = port_number_;
  // The slot reads closed before the owner hears of it.
  shared_->monitor_alive = false;
  HandOver([owner, port] { owner->OnPortLost(port); });
  CloseAndEnd();
}

void CSerialPort::Monitor::ServiceWrite() {
  if (shared_->shutdown) {
    CloseAndEnd();
    return;
  }
  if (ended_ || !port_ || !port_->isOpen()) return;
  // Received data goes before a queued write: pull in what is waiting (this
  // delivers it through readyRead, as it is: what comes later is purged)
  // before the purge below discards it.
  if (reading_) {
    take_what_is_there_ = true;
    port_->waitForReadyRead(0);
    take_what_is_there_ = false;
  }
  if (ended_ || shared_->shutdown) return;

  std::vector<std::uint8_t> bytes;
  {
    const std::lock_guard lock(shared_->mutex);
    bytes.assign(shared_->write_buffer.begin(),
                 shared_->write_buffer.begin() + static_cast<std::ptrdiff_t>(shared_->write_length));
    shared_->write_queued = false;
  }
  // Bytes received and not yet read are discarded before every write.
  port_->clear(QSerialPort::AllDirections);
  port_->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  port_->waitForBytesWritten(1000);
  const qint64 sent = static_cast<qint64>(bytes.size()) - port_->bytesToWrite();
  if (sent != static_cast<qint64>(bytes.size())) {
    qCDebug(lcSerial, "WARNING: WriteFile() error.. Bytes Sent: %lld; Message Length: %zu", sent, bytes.size());
  }
}

void CSerialPort::Monitor::CloseAndEnd() {
  if (ended_) return;
  ended_ = true;
  reading_ = false;
  if (port_ && port_->isOpen()) port_->close();
  shared_->monitor_alive = false;
  QThread::currentThread()->quit();
}

CSerialPort::CSerialPort(Notifier& notifier) : notifier_(notifier), shared_(std::make_shared<Shared>()) {}

CSerialPort::~CSerialPort() {
  StopMonitorAndWait();
  qCDebug(lcSerial, "Thread ended");
}

void CSerialPort::StopMonitorAndWait() {
  if (!thread_) return;
  SignalShutdown();
  thread_->wait();
  delete monitor_;
  monitor_ = nullptr;
  thread_.reset();
}

bool CSerialPort::OpenPort(SerialPortOwner* owner, unsigned port_number, int baud, char parity, int data_bits,
                           int stop_bits, std::uint32_t event_mask, int write_buffer_size) {
  StopMonitorAndWait();
  owner_ = owner;
  port_number_ = port_number;
  event_mask_ = event_mask;
  open_error_ = {};
  shared_ = std::make_shared<Shared>();
  shared_->write_buffer.assign(static_cast<std::size_t>(std::max(write_buffer_size, 0)), 0);

  thread_ = std::make_unique<QThread>();
  thread_->setObjectName(QStringLiteral("serial monitor %1").arg(port_number));
  const std::chrono::microseconds character = CharacterTime(baud, parity, data_bits, stop_bits);
  const Monitor::Batching batching{hand_off_rule.load(), character, 2 * character, kBatchCharacters * character,
                                   batch_end_};
  monitor_ = new Monitor(shared_, &owner_context_, owner, &notifier_, port_number, batching);
  monitor_->moveToThread(thread_.get());
  thread_->start();

  const Monitor::Config config{owner ? owner->DeviceNameFor(port_number) : std::string{}, baud, parity, data_bits,
                               stop_bits};
  Monitor::OpenResult result;
  Monitor* monitor = monitor_;
  QMetaObject::invokeMethod(
      monitor, [&] { result = monitor->Open(config); }, Qt::BlockingQueuedConnection);
  if (!result.opened) {
    open_error_ = result.error;
    StopMonitorAndWait();
    return false;
  }
  if (!result.failed_call.empty()) {
    notifier_.Notify(FailureNotice(result.failed_call, result.failure_text, port_number));
  }
  return true;
}

bool CSerialPort::StartMonitor() {
  if (!thread_ || !thread_->isRunning() || shared_->shutdown) return false;
  shared_->monitor_alive = true;
  QMetaObject::invokeMethod(monitor_, &Monitor::StartReading, Qt::QueuedConnection);
  qCDebug(lcSerial, "Thread started");
  return true;
}

void CSerialPort::Write(std::span<const std::uint8_t> bytes) {
  if (!MonitorAlive()) return;
  bool wake = false;
  {
    const std::lock_guard lock(shared_->mutex);
    const std::size_t length = std::min(bytes.size(), shared_->write_buffer.size());
    std::copy_n(bytes.begin(), length, shared_->write_buffer.begin());
    shared_->write_length = length;
    wake = !shared_->write_queued;
    shared_->write_queued = true;
  }
  if (wake) QMetaObject::invokeMethod(monitor_, &Monitor::ServiceWrite, Qt::QueuedConnection);
}

void CSerialPort::SignalShutdown() {
  if (!thread_) return;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->shutdown = true;
  }
  shared_->changed.notify_all();
  QMetaObject::invokeMethod(monitor_, &Monitor::Shutdown, Qt::QueuedConnection);
}

bool CSerialPort::MonitorAlive() const { return shared_->monitor_alive; }

}  // namespace quorvel
