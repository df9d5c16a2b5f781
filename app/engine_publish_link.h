// The one place where the engine meets the publisher. Readings come as a
// consumer of the engine's reading stream, a peer of the page, the chart
// view and the spreadsheet; the engine's signals bring the rest: a port
// opened or closed, and the meter number, tariff, limits and CO2 factor
// (kept once for the whole program) from the answer that just brought
// them, so they belong to the meter that sent it.
//
// The link outlives a publisher: the window stops the publisher and starts
// another when its settings change, and the new one learns the open ports
// and what has been read of their meters since they opened, so a meter
// keeps its number (and its Home Assistant device) across the restart.
#pragma once

#include <QMetaObject>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/engine.h"
#include "device/reading_stream.h"
#include "publish/publisher.h"

namespace quorvel {

class EnginePublishLink {
 public:
  // The engine must outlive the link; events go nowhere until a publisher is set.
  explicit EnginePublishLink(Engine& engine);
  // Both must outlive the link.
  EnginePublishLink(Engine& engine, publish::Publisher& publisher);
  ~EnginePublishLink();
  EnginePublishLink(const EnginePublishLink&) = delete;
  EnginePublishLink& operator=(const EnginePublishLink&) = delete;

  // The publisher the events go to from now on (nullptr: none); it must
  // outlive its time here. A new one is told about the open ports and what
  // was read of their meters, as AnnounceOpenPorts() does.
  void SetPublisher(publish::Publisher* publisher);

  // Tells the publisher about the ports open already and what has been
  // read of their meters since they opened.
  void AnnounceOpenPorts();

 private:
  // What was read of a slot's meter since its port opened.
  struct MeterFacts {
    std::optional<std::string> number;
    std::optional<publish::TariffInfo> tariff;
    std::optional<publish::LimitInfo> limits;
    std::optional<double> co2_factor;
  };

  Result<Consumed> OnReading(const Reading& reading);
  void OnDecoded(int slot, const DecodeOutcome& outcome);
  void OnOpened(int slot);
  void OnClosed(int slot);
  MeterFacts& Facts(int slot) { return facts_[static_cast<std::size_t>(slot - 1)]; }

  Engine& engine_;
  publish::Publisher* publisher_ = nullptr;
  std::array<MeterFacts, kSlotCount> facts_{};
  std::vector<QMetaObject::Connection> connections_;
  ReadingStream::Subscription subscription_ = 0;
};

}  // namespace quorvel
