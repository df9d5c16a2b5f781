#include "app/publisher_host.h"

#include <cstdio>

#include "app/dashboard_options.h"
#include "app/engine.h"
#include "pages/publish_panel.h"
#include "publish/broker_config.h"
#include "publish/status_text.h"
#include "storage/ini_file.h"
#include "storage/publish_section.h"

namespace quorvel {
namespace {

constexpr int kRefreshMs = 1000;

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

std::string Sentence(std::string text) {
  if (!text.empty() && text.back() != '.' && text.back() != '?') text += '.';
  return text;
}

}  // namespace

PublisherHost::PublisherHost(Engine& engine, Notifier& notifier, PublishPanel& panel, QObject* parent)
    : QObject(parent), notifier_(notifier), panel_(panel), link_(engine), idle_line_(publish::kPublishingOff) {
  panel_.SetSource([this] { return settings_; });
  panel_.SetClientIdPlaceholder(QString::fromStdString(publish::DefaultClientId()));
  panel_.ShowState(QString::fromStdString(idle_line_));
  refresh_.setInterval(kRefreshMs);
  connect(&refresh_, &QTimer::timeout, this, &PublisherHost::Refresh);
  connect(&panel_, &PublishPanel::saveRequested, this, &PublisherHost::Apply);
  // The countdown and the counts change by the second: refreshed while seen.
  connect(&panel_, &PublishPanel::visibilityChanged, this, [this](bool shown) {
    if (shown) {
      Refresh();
      refresh_.start();
    } else {
      refresh_.stop();
    }
  });
}

PublisherHost::~PublisherHost() {
  stopped_ = true;
  pending_.reset();
  refresh_.stop();
  if (publisher_) {
    link_.SetPublisher(nullptr);
    publisher_->Stop();  // the end of the program: bounded by the publisher's grace
    publisher_.reset();
  }
  for (std::thread& ender : enders_) ender.join();
}

void PublisherHost::Start(const std::filesystem::path& settings_path) {
  settings_path_ = settings_path;
  // A file that cannot be read at all the engine has told about already.
  std::vector<std::string> problems;
  settings_ = LoadPublishSettings(IniFile::Load(settings_path).file, &problems);
  if (!problems.empty()) TellUser(Joined(problems));
  panel_.Fill(settings_);
  pending_ = settings_;
  Launch();
}

void PublisherHost::Apply(const PublishSettings& settings) {
  if (stopped_) return;
  const quorvel::Status stored = SavePublishSection(settings_path_, settings);
  if (!stored.ok()) {
    TellUser("The publishing settings could not be stored in " + settings_path_.string() + " (" + stored.text() +
             "); they are used until the dashboard ends.");
  }
  // Home Assistant's entities of the old discovery go with it; a change of
  // broker alone keeps them (the same broker may have a new name).
  if (publisher_ && running_.Discovery &&
      (!settings.Discovery || settings.DiscoveryPrefix != running_.DiscoveryPrefix)) {
    publisher_->SetDiscovery(false);
  }
  settings_ = settings;
  panel_.Fill(settings_);
  pending_ = settings;
  EndCurrent();
  Launch();
}

void PublisherHost::Stop() {
  stopped_ = true;
  pending_.reset();
  idle_line_ = publish::kPublishingOff;
  EndCurrent();
  Refresh();
}

std::optional<publish::PublisherStatus> PublisherHost::Status() const {
  if (!publisher_) return std::nullopt;
  return publisher_->Status();
}

// Starts what waits, once no publisher is saying goodbye any more: one
// client id is never connected twice.
void PublisherHost::Launch() {
  if (!pending_ || ending_ > 0) {
    Refresh();
    return;
  }
  running_ = *pending_;
  pending_.reset();
  told_failure_.reset();
  if (!running_.Enabled) {
    idle_line_ = publish::kPublishingOff;
    Refresh();
    return;
  }
  // Said on the publisher's thread: the window hears it by a queued call.
  auto tell = [this](const std::string& sentence) {
    std::fprintf(stderr, "quorvel-dashboard: %s\n", sentence.c_str());
    QMetaObject::invokeMethod(this, &PublisherHost::Refresh, Qt::QueuedConnection);
  };
  std::vector<std::string> problems;
  std::vector<std::string> warnings;
  publisher_ = publish::MakePublisher(running_, DashboardVersionText(), tell, &problems, &warnings);
  if (!warnings.empty()) TellUser(Sentence(Joined(warnings)));
  if (!publisher_) {
    idle_line_ = publish::NotPublishingLine(problems);
    TellUser(idle_line_);
    Refresh();
    return;
  }
  link_.SetPublisher(publisher_.get());
  publisher_->Start();
  Refresh();
}

// The publisher leaves the link at once and says goodbye on a thread of
// its own; the window's thread never waits for the broker.
void PublisherHost::EndCurrent() {
  if (!publisher_) return;
  link_.SetPublisher(nullptr);
  ++ending_;
  enders_.emplace_back([this, publisher = std::move(publisher_)]() mutable {
    publisher->Stop();
    publisher.reset();
    QMetaObject::invokeMethod(this, &PublisherHost::OnEnded, Qt::QueuedConnection);
  });
}

void PublisherHost::OnEnded() {
  if (--ending_ > 0) return;
  // Every ender has done its work and is returning.
  for (std::thread& ender : enders_) ender.join();
  enders_.clear();
  Launch();
}

void PublisherHost::Refresh() {
  if (!publisher_) {
    panel_.ShowState(QString::fromStdString(ending_ > 0 ? publish::kEndingConnection : idle_line_));
    return;
  }
  const publish::PublisherStatus status = publisher_->Status();
  panel_.ShowState(QString::fromStdString(publish::StateLine(status, std::chrono::steady_clock::now())));
  if (status.failure && publish::NeedsTheUser(*status.failure)) {
    if (told_failure_ != status.failure) {
      told_failure_ = status.failure;
      TellUser("Readings cannot be published: " + Sentence(status.last_problem));
    }
  } else if (status.link == publish::LinkState::kConnected) {
    told_failure_.reset();
  }
}

void PublisherHost::TellUser(const std::string& text) { notifier_.Notify(Notice{"", text, NoticeIcon::kWarning}); }

}  // namespace quorvel
