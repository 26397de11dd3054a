#pragma once
// The virtual projector: a device model that plugs itself into a drv::DevicePort
// (the in-process virtual bus, a simulator socket, or a test's own port) and behaves
// on USB as the real projector does for this system's command set.
//
//   sim::ProjectorConfig config;
//   config.identity.productId = 0x7616;
//   config.flash.chip = sim::kChip4MbBoot;
//   sim::Projector projector(config);
//   projector.PlugInto(drv::TheVirtualBus());   // attaches in config.startMode
//   ...
//   sim::Faults faults;
//   faults.loseAnswer = {sim::Command::WriteFlashBlock, /*skip=*/10, /*count=*/1};
//   projector.SetFaults(faults);
//   ...
//   projector.ReadFlash(0x4000, 56); projector.CommandLog(); projector.ErasedSectors();
//
// EnterBootloader (in application mode) is acknowledged; once the host has read the
// acknowledgement the device leaves the bus and attaches again in bootloader mode after
// Timing::restartMs. ExitBootloader gets no answer; the device leaves and comes back in
// application mode. Each appearance on the bus is a new drv::BusDevice; the previous
// one answers kDeviceNotFound.
//
// How the device behaves where the host cannot tell:
// - A packet that fails the framing check (length, checksum, more than 64 bytes) gets
//   no answer: the host's read times out, so a damaged block never looks accepted.
// - The application answers ReadStatus, EnterBootloader and the identity queries; the
//   bootloader answers ReadStatus, EnterBootloader (acknowledged, nothing happens),
//   ExitBootloader (never answered) and the flash commands. Anything else, and every
//   command of the other mode, gets no answer and has no effect.
// - Answers queue on the IN pipe in the order their commands arrived; leaving the bus
//   drops the ones not read yet.
// - An erase whose address lies beyond the chip erases nothing and leaves the status
//   word at 0 (not ready) until the next erase, like a failing erase.
// - Blocks land one after another from the address; bytes past the end of the chip
//   are dropped (Counters::bytesBeyondChip). The size only bounds the checksum.
// - A read with a buffer smaller than the answer gets what fits and kOperationFailed.
//
// The port must outlive the projector, or the projector must be unplugged first.
// Everything here is thread-safe.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/drv/Bus.h"
#include "sim/Config.h"
#include "sim/Faults.h"
#include "sim/Model.h"

namespace sim {

class Session;

class Projector {
  public:
    explicit Projector(const ProjectorConfig& config = {});
    ~Projector();  // leaves the bus
    Projector(const Projector&) = delete;
    Projector& operator=(const Projector&) = delete;

    // --- The bus.
    // Remembers the port and attaches to it now.
    void PlugInto(drv::DevicePort& port);
    // Attaches again to the remembered port (after Unplug, or after a fault that left
    // the bus for good). Nothing happens while attached.
    void Plug();
    // Pulls the cable: leaves at once and cancels a restart in progress. A restart that
    // had already left the bus comes back in its new mode at the next Plug.
    void Unplug();
    // Restarts into `mode` as the projector's own keys would: leaves the bus and comes
    // back after Timing::restartMs.
    void Restart(Mode mode);
    bool IsPlugged() const;
    // The current appearance on the bus; nullptr while off the bus.
    std::shared_ptr<drv::BusDevice> Device() const;
    // Wait (clock ms) until attached (in `mode`, when given) / off the bus, and the
    // port has been told. They watch the state, so a short absence can pass unseen;
    // Counts().detaches counts every one.
    bool WaitForAttach(std::optional<Mode> mode, uint32_t timeoutMs) const;
    bool WaitForDetach(uint32_t timeoutMs) const;

    // --- State and faults.
    Mode CurrentMode() const;  // the mode of the last attach
    uint16_t StatusWord() const;
    void SetInformation(const Information& information);
    void SetFaults(const Faults& faults);
    void ClearFaults();
    Faults CurrentFaults() const;

    // --- Inspection.
    std::vector<uint8_t> ReadFlash(uint32_t offset, uint32_t size) const;
    std::vector<uint8_t> FlashContents() const;
    void LoadFlash(uint32_t offset, std::span<const uint8_t> data);  // raw, test set-up
    std::vector<size_t> ErasedSectors() const;
    FlashRange Range() const;
    std::vector<LoggedCommand> CommandLog() const;
    void ClearCommandLog();
    Counters Counts() const;

    // Observers for a simulator front end. Both are called without any lock of the
    // projector held; they must be quick and must not plug or unplug.
    void SetCommandObserver(Model::CommandObserver observer);
    void SetAttachObserver(std::function<void(Mode mode, bool attached)> observer);

    // The model itself, for anything not forwarded above.
    Model& model();
    const Model& model() const;

  private:
    std::shared_ptr<Session> session_;
};

}  // namespace sim
