#include "app/engine_publish_link.h"

#include "protocol/commands.h"

namespace quorvel {

EnginePublishLink::EnginePublishLink(Engine& engine) : engine_(engine) {
  subscription_ =
      engine.Readings().Subscribe("publisher", [this](const Reading& reading) { return OnReading(reading); });
  connections_.push_back(QObject::connect(&engine, &Engine::frameDecoded,
                                          [this](int slot, DecodeOutcome outcome) { OnDecoded(slot, outcome); }));
  connections_.push_back(QObject::connect(&engine, &Engine::deviceOpened, [this](int slot) { OnOpened(slot); }));
  connections_.push_back(QObject::connect(&engine, &Engine::deviceClosed, [this](int slot) { OnClosed(slot); }));
  connections_.push_back(QObject::connect(&engine, &Engine::portLost, [this](int slot) { OnClosed(slot); }));
}

EnginePublishLink::EnginePublishLink(Engine& engine, publish::Publisher& publisher) : EnginePublishLink(engine) {
  publisher_ = &publisher;
}

EnginePublishLink::~EnginePublishLink() {
  for (const QMetaObject::Connection& connection : connections_) QObject::disconnect(connection);
  engine_.Readings().Unsubscribe(subscription_);
}

void EnginePublishLink::SetPublisher(publish::Publisher* publisher) {
  publisher_ = publisher;
  AnnounceOpenPorts();
}

void EnginePublishLink::AnnounceOpenPorts() {
  if (publisher_ == nullptr) return;
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (!engine_.IsOpen(slot)) continue;
    publisher_->MeterOpened(slot);
    const MeterFacts& facts = Facts(slot);
    if (facts.number) publisher_->NumberRead(slot, *facts.number);
    if (facts.tariff) publisher_->TariffRead(slot, *facts.tariff);
    if (facts.limits) publisher_->LimitsRead(slot, *facts.limits);
    if (facts.co2_factor) publisher_->Co2FactorRead(slot, *facts.co2_factor);
  }
}

void EnginePublishLink::OnOpened(int slot) {
  if (!IsSlotNumber(slot)) return;
  Facts(slot) = {};  // another meter may answer there now
  if (publisher_) publisher_->MeterOpened(slot);
}

void EnginePublishLink::OnClosed(int slot) {
  if (!IsSlotNumber(slot)) return;
  Facts(slot) = {};
  if (publisher_) publisher_->MeterClosed(slot);
}

// Every reading goes out, whatever the window shows or saves: the broker's
// readers follow every meter.
Result<Consumed> EnginePublishLink::OnReading(const Reading& reading) {
  if (publisher_ == nullptr || !IsSlotNumber(reading.slot)) return Consumed::kSkipped;
  const DeviceRecord& r = reading.values;
  publisher_->ReadingTaken(reading.slot, {r.Voltage, r.Current, r.Power, r.PowerFactor, r.Energy}, reading.Time());
  return Consumed::kDone;
}

void EnginePublishLink::OnDecoded(int slot, const DecodeOutcome& outcome) {
  if (outcome.status != DecodeStatus::kHandled || !IsSlotNumber(slot)) return;
  const DeviceTable& devices = engine_.Devices();
  const MeterSettings& settings = devices.Settings();
  MeterFacts& facts = Facts(slot);
  const std::uint8_t kind = outcome.kind;
  if (kind == code::kReadMeterNumber) {
    facts.number = settings.MeterNumber;
    if (publisher_) publisher_->NumberRead(slot, *facts.number);
  } else if (kind >= code::kReadTariff && kind <= code::kReadTariffLast) {
    facts.tariff = publish::TariffInfo{settings.Price1, settings.Price2, settings.TierLimit};
    if (publisher_) publisher_->TariffRead(slot, *facts.tariff);
  } else if (kind == code::kReadLimits) {
    facts.limits = publish::LimitInfo{settings.EnergyLimit, settings.CostLimit};
    if (publisher_) publisher_->LimitsRead(slot, *facts.limits);
  } else if (kind == code::kReadCo2Factor) {
    facts.co2_factor = devices.Slot(slot).Co2Factor;
    if (publisher_) publisher_->Co2FactorRead(slot, *facts.co2_factor);
  }
}

}  // namespace quorvel
