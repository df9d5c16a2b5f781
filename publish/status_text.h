// What the window says about the publisher: one state line, refreshed from
// its status (connected, reconnecting in so many seconds and why, the
// readings waiting and dropped), and which failures the user has to act on.
// A broker that is away is waited for; a refused password is not going to
// change by itself.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "publish/connection_report.h"
#include "publish/publisher.h"

namespace quorvel::publish {

// An unknown host, a TLS failure, refused credentials or a refused client:
// trying again will not help until the settings change.
bool NeedsTheUser(LinkFailure failure);

// "Connected to the broker at host:1883." and, on a second line, the
// readings waiting, dropped and the messages sent; while the broker is not
// reached, when the next attempt starts and why.
std::string StateLine(const PublisherStatus& status, std::chrono::steady_clock::time_point now);

// Before a publisher runs, or when none can.
inline constexpr const char* kPublishingOff = "Publishing is off.";
inline constexpr const char* kEndingConnection = "Ending the last connection to the broker\u2026";
std::string NotPublishingLine(const std::vector<std::string>& problems);

}  // namespace quorvel::publish
