// What `publish` and `serve` share: their meters opened (the service waits
// for those not there yet and tries them again each second), each greeted in
// turn so that its number, tariff, limits and CO2 factor are known, and
// greeted again when it returns (another meter may be behind the adapter
// now), and again, a bounded number of times, while its number has not
// come; every open meter polled once a tick; the publisher fed by the
// engine, its words on standard error.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/engine.h"
#include "app/engine_publish_link.h"
#include "model/publish_settings.h"
#include "publish/publisher.h"

namespace quorvel::cli {

// The publisher for [Publish]-style settings. Nothing (and the reasons on
// standard error, as "quorvel-cli COMMAND: ...") when they cannot be used;
// warnings (a password file others can read) are said too.
std::unique_ptr<publish::Publisher> MakePublisher(const std::string& command, const PublishSettings& settings);

class MeterService {
 public:
  // `wait_for_missing`: a slot that cannot be opened now is tried again
  // each second (a service that starts before its adapters are plugged in);
  // otherwise it is a failure.
  MeterService(std::string command, Engine& engine, std::vector<int> slots, bool wait_for_missing);
  ~MeterService();

  // Polls every open meter (every answer counts towards the spreadsheet
  // rows, if saving is on) and opens the slots. False, the reason said,
  // when a slot cannot be opened and is not waited for.
  bool Start(bool save_rows);

  // Every slot answered a reading at least once.
  bool AllAnswered() const { return answered_.size() == slots_.size(); }

 private:
  void Housekeep();
  bool TryOpen(int slot);
  void Greet(int slot);
  // The next open meter whose number did not come after its greeting, if
  // it may be greeted once more.
  std::optional<int> Unnumbered() const;

  std::string command_;
  Engine& engine_;
  std::vector<int> slots_;
  bool wait_for_missing_;
  bool save_rows_ = false;
  std::set<int> missing_;       // to be opened
  std::set<int> missing_told_;  // said once each
  std::set<int> answered_;
  std::deque<int> to_greet_;
  std::map<int, int> greetings_;  // since the slot opened or returned
  std::set<int> numbered_;        // the slots whose meter told its number
  QElapsedTimer quiet_;           // since a request was last pending
  QTimer timer_;
  int ticks_ = 0;
};

}  // namespace quorvel::cli
