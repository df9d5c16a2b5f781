// The one place where the engine meets the publisher: the engine's signals
// become the publisher's meter events. Readings are taken from the device
// record right after the decoder wrote them; the meter number, tariff and
// limits (kept once for the whole program) from the answer that just
// brought them, so they belong to the meter that sent it.
//
// When readings become a stream that consumers subscribe to, this file is
// replaced by the publisher's subscription.
#pragma once

#include <QMetaObject>

#include <vector>

#include "app/engine.h"
#include "publish/publisher.h"

namespace quorvel {

class EnginePublishLink {
 public:
  // Both must outlive the link.
  EnginePublishLink(Engine& engine, publish::Publisher& publisher);
  ~EnginePublishLink();
  EnginePublishLink(const EnginePublishLink&) = delete;
  EnginePublishLink& operator=(const EnginePublishLink&) = delete;

  // Tells the publisher about the ports open already.
  void AnnounceOpenPorts();

 private:
  void OnDecoded(int slot, const DecodeOutcome& outcome);

  Engine& engine_;
  publish::Publisher& publisher_;
  std::vector<QMetaObject::Connection> connections_;
};

}  // namespace quorvel
