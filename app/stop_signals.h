// The signals that ask a program to end (SIGTERM from a desktop session
// ending, `systemctl stop` or `kill`; SIGINT from Ctrl-C; SIGHUP from a
// closed terminal), turned into a Qt signal on the owner's thread, so that
// the window leaves as its Exit button does instead of being cut off.
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace quorvel {

class StopSignals : public QObject {
  Q_OBJECT

 public:
  // Catches the signals for as long as the object lives; one at a time.
  explicit StopSignals(QObject* parent = nullptr);
  ~StopSignals() override;

 Q_SIGNALS:
  // The number of the signal that came.
  void stopRequested(int signal_number);

 private:
  void Drain();

  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quorvel
