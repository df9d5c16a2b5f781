#include "app/engine_publish_link.h"

#include "protocol/commands.h"

namespace quorvel {

EnginePublishLink::EnginePublishLink(Engine& engine, publish::Publisher& publisher)
    : engine_(engine), publisher_(publisher) {
  connections_.push_back(QObject::connect(&engine, &Engine::frameDecoded, [this](int slot, DecodeOutcome outcome) {
    OnDecoded(slot, outcome);
  }));
  connections_.push_back(
      QObject::connect(&engine, &Engine::deviceOpened, [this](int slot) { publisher_.MeterOpened(slot); }));
  connections_.push_back(
      QObject::connect(&engine, &Engine::deviceClosed, [this](int slot) { publisher_.MeterClosed(slot); }));
  connections_.push_back(
      QObject::connect(&engine, &Engine::portLost, [this](int slot) { publisher_.MeterClosed(slot); }));
}

EnginePublishLink::~EnginePublishLink() {
  for (const QMetaObject::Connection& connection : connections_) QObject::disconnect(connection);
}

void EnginePublishLink::AnnounceOpenPorts() {
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (engine_.IsOpen(slot)) publisher_.MeterOpened(slot);
  }
}

void EnginePublishLink::OnDecoded(int slot, const DecodeOutcome& outcome) {
  if (outcome.status != DecodeStatus::kHandled || !IsSlotNumber(slot)) return;
  const DeviceTable& devices = engine_.Devices();
  const MeterSettings& settings = devices.Settings();
  const std::uint8_t kind = outcome.kind;
  if (kind == code::kReadRealTime) {
    const DeviceRecord& r = devices.Slot(slot).Record;
    publisher_.ReadingTaken(slot, {r.Voltage, r.Current, r.Power, r.PowerFactor, r.Energy},
                            publish::WallClock::now());
  } else if (kind == code::kReadMeterNumber) {
    publisher_.NumberRead(slot, settings.MeterNumber);
  } else if (kind >= code::kReadTariff && kind <= code::kReadTariffLast) {
    publisher_.TariffRead(slot, {settings.Price1, settings.Price2, settings.TierLimit});
  } else if (kind == code::kReadLimits) {
    publisher_.LimitsRead(slot, {settings.EnergyLimit, settings.CostLimit});
  } else if (kind == code::kReadCo2Factor) {
    publisher_.Co2FactorRead(slot, devices.Slot(slot).Co2Factor);
  }
}

}  // namespace quorvel
