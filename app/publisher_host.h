// The dashboard window's publisher: it reads the [Publish] settings at
// start, publishes the engine's meters when they say so, stores what the
// settings page's Publish tab saves and publishes with it, and keeps the
// tab's state line current. A publisher that is replaced or ends says
// goodbye to the broker on a thread of its own, so the window never waits
// for the network; the next one starts once it has.
//
// The state line is read from the publisher's status on this (the
// window's) thread: when the tab is in view once a second, and whenever the
// publisher has news. What only the user can mend (an unknown host, a
// certificate, a refused password or client, settings that cannot be used)
// is also told through the notifier, once for each cause; a broker that is
// merely away is waited for and shown in the state line only.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/engine_publish_link.h"
#include "model/notifier.h"
#include "model/publish_settings.h"
#include "publish/publisher.h"

namespace quorvel {

class Engine;
class PublishPanel;

class PublisherHost : public QObject {
  Q_OBJECT

 public:
  // `engine`, `notifier` and `panel` must outlive the host.
  PublisherHost(Engine& engine, Notifier& notifier, PublishPanel& panel, QObject* parent = nullptr);
  // Ends the publisher (waiting, at the very end, for its goodbye) and every
  // one still ending.
  ~PublisherHost() override;
  PublisherHost(const PublisherHost&) = delete;
  PublisherHost& operator=(const PublisherHost&) = delete;

  // Reads the [Publish] section and publishes when it is on.
  void Start(const std::filesystem::path& settings_path);
  // Stores `settings` as the [Publish] section (the rest of the file as it
  // is) and publishes with them from now on.
  void Apply(const PublishSettings& settings);
  // The window's Exit: the meters and this client go offline, and nothing
  // starts again.
  void Stop();

  const PublishSettings& Settings() const { return settings_; }
  // The running publisher's status; nothing when none runs.
  std::optional<publish::PublisherStatus> Status() const;
  // Publishers replaced or stopped that are still saying goodbye.
  int Ending() const { return ending_; }

 private:
  void Launch();
  void EndCurrent();
  void OnEnded();
  void Refresh();
  void TellUser(const std::string& text);

  Notifier& notifier_;
  PublishPanel& panel_;
  std::filesystem::path settings_path_;
  PublishSettings settings_;                // as stored
  PublishSettings running_;                 // the running publisher's
  std::optional<PublishSettings> pending_;  // to start once every publisher has ended
  bool stopped_ = false;
  EnginePublishLink link_;
  std::unique_ptr<publish::Publisher> publisher_;
  std::vector<std::thread> enders_;
  int ending_ = 0;
  std::string idle_line_;  // the state line while no publisher runs
  std::optional<publish::LinkFailure> told_failure_;
  QTimer refresh_;
};

}  // namespace quorvel
