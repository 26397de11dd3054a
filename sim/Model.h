#pragma once
// The projector's behaviour behind its bulk pipes: command decoding, the two modes,
// the flash, the identity answers and the faults. It knows nothing of any bus: it
// takes the bytes of one bulk OUT transfer and says what the device does about them
// (an answer to queue, leaving the bus, coming back). The USB adapter (UsbDevice) and
// the owner of the bus attachment (Projector) carry that out.
//
// Thread-safe: every public member takes the model's own lock, and the model never
// calls out while holding it.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/Command.h"
#include "sim/Config.h"
#include "sim/Descriptors.h"
#include "sim/Faults.h"
#include "sim/Flash.h"
#include "sim/Frame.h"

namespace sim {

// Status words.
inline constexpr uint16_t kStatusBootloaderReady = 0x8000;
inline constexpr uint16_t kStatusApplicationReady = 0x0008;
inline constexpr uint16_t kStatusNotReady = 0x0000;

enum class Leave {
    Stay,
    AfterAnswer,  // once the host has read the answer (or the grace time has passed)
    Now,
};

// What the device does about one received packet.
struct Reaction {
    std::optional<std::vector<uint8_t>> answer;  // the framed answer to queue
    uint32_t answerDelayMs = 0;                  // clock ms before it can be read
    Leave leave = Leave::Stay;
    std::optional<Mode> comeBackIn;  // the mode of the next attach; none: stays away
    uint32_t awayMs = 0;             // time off the bus before coming back
};

struct LoggedCommand {
    uint64_t index = 0;  // 0 for the first command the device ever received
    Command command = Command::Unknown;
    std::string name;          // CommandName
    std::string detail;        // DescribeCommand, or the framing error of a Malformed one
    std::vector<uint8_t> raw;  // the bytes as written to the OUT pipe
    Mode mode = Mode::Application;
    bool executed = false;  // it had its effect (false: ignored, refused or malformed)
    bool answered = false;  // an answer was queued
};

struct Counters {
    uint64_t commands = 0;   // packets received, malformed ones included
    uint64_t malformed = 0;  // failed the framing check
    uint64_t refused = 0;    // well framed, but not answered in the mode the device was in
    uint64_t answers = 0;    // answers queued
    uint64_t blocksWritten = 0;
    uint64_t bytesProgrammed = 0;  // bytes that reached the chip
    uint64_t bytesBeyondChip = 0;  // block bytes that fell past the end of the chip
    uint64_t sectorsErased = 0;
    uint64_t checksumRuns = 0;
    uint64_t attaches = 0;
    uint64_t detaches = 0;
};

// The bootloader's view of the data transfer set up by the address and size commands.
struct FlashRange {
    uint32_t address = 0;
    uint32_t size = 0;
    uint32_t writePosition = 0;  // where the next block goes
};

class Model {
  public:
    explicit Model(const ProjectorConfig& config = {});

    // One bulk OUT transfer: the bytes the host wrote to pipe 0x01.
    Reaction Receive(std::span<const uint8_t> bytes);

    // The device (re)appears on the bus in `mode`. Entering a different mode resets
    // the bootloader's range and checksum state; coming back in the same mode (a
    // pulled cable) keeps it.
    void Attached(Mode mode);
    void Detached();

    Mode CurrentMode() const;
    uint16_t StatusWord() const;
    UsbDescriptors Descriptors() const;  // for the current mode
    ProjectorConfig Config() const;

    void SetInformation(const Information& information);
    void SetFaults(const Faults& faults);
    Faults CurrentFaults() const;  // with the counts consumed so far

    // Inspection.
    std::vector<uint8_t> ReadFlash(uint32_t offset, uint32_t size) const;
    std::vector<uint8_t> FlashContents() const;
    uint32_t FlashSize() const;
    uint32_t FlashSum(uint32_t offset, uint32_t size) const;
    std::optional<size_t> SectorContaining(uint32_t offset) const;
    uint32_t SectorStart(size_t index) const;
    void LoadFlash(uint32_t offset, std::span<const uint8_t> data);  // raw, test set-up
    std::vector<size_t> ErasedSectors() const;  // sector indexes, in the order erased
    FlashRange Range() const;
    std::vector<LoggedCommand> CommandLog() const;
    void ClearCommandLog();
    Counters Counts() const;

    // Called after each received packet has been handled, on the thread that wrote it,
    // without the model's lock held. It must be quick and must not plug or unplug.
    using CommandObserver = std::function<void(const LoggedCommand&)>;
    void SetCommandObserver(CommandObserver observer);

  private:
    Reaction Handle(const Frame& frame, const DecodedCommand& decoded, LoggedCommand& entry);
    bool Accepts(Command command) const;
    Reaction Execute(const DecodedCommand& decoded, bool& answer);
    bool Erase();
    void WriteBlock(std::span<const uint8_t> data);
    void StartChecksum();
    Reaction DetachNow(const DetachDuringWrite& detach, const DecodedCommand& decoded,
                       LoggedCommand& entry);
    std::vector<uint8_t> AnswerPayload(const Frame& frame, const DecodedCommand& decoded) const;
    uint32_t RegisterValue(uint8_t reg) const;
    std::array<uint8_t, 4> ParameterValue(uint8_t parameter) const;
    uint16_t StatusWordLocked() const;
    void ResetBootloaderState();

    mutable std::mutex mutex_;
    ProjectorConfig config_;
    Mode mode_;
    FlashMemory flash_;
    Faults faults_;
    uint32_t blocksSinceFaults_ = 0;
    uint32_t failedEraseAttempts_ = 0;
    bool eraseError_ = false;
    FlashRange range_;
    uint32_t checksum_ = 0;
    uint64_t checksumReadyAtMs_ = 0;
    std::vector<size_t> erased_;
    std::deque<LoggedCommand> log_;
    CommandObserver observer_;
    Counters counters_;
};

}  // namespace sim
