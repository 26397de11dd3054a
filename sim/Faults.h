#pragma once
// Faults a test can switch on at any time. Counts are consumed as commands arrive;
// setting the faults again restarts every count.
#include <cstdint>
#include <optional>

#include "sim/Command.h"

namespace sim {

inline constexpr uint32_t kForever = 0xFFFFFFFF;

// Applies to commands that match `command` (every command when none): the first
// `skip` matching commands pass untouched, the `count` after them are affected.
struct CommandFault {
    std::optional<Command> command;
    uint32_t skip = 0;
    uint32_t count = 0;  // kForever: every matching command from then on
};

// The device leaves the bus when the `afterBlock`-th WriteFlashBlock (counted from
// when the faults were set, from 1) arrives. Its address, size and write position
// survive, as for a cable that was pulled and put back.
struct DetachDuringWrite {
    uint32_t afterBlock = 1;
    bool blockWritten = true;               // that block reaches the flash first
    std::optional<uint32_t> returnAfterMs;  // none: stays away until plugged again
};

enum class EraseFailure {
    // The erase is acknowledged, the sector stays as it was and the status word
    // reads 0 (not ready) until the next erase command.
    StatusNotReady,
    // The erase command gets no answer and the sector stays as it was.
    NoAnswer,
};

struct FailingErase {
    size_t sector = 0;  // index in the chip's sector map
    EraseFailure how = EraseFailure::StatusNotReady;
    uint32_t attempts = kForever;  // erases of that sector that fail before one works
};

struct Faults {
    // No answer and no effect: the device does not react to the command at all.
    CommandFault ignore;
    // The command takes effect but its answer is lost; with WriteFlashBlock this is
    // the lost acknowledgement of a block that was written.
    CommandFault loseAnswer;
    // The answer arrives with a wrong checksum byte.
    CommandFault corruptChecksum;
    std::optional<DetachDuringWrite> detachDuringWrite;
    // The bootloader's status word stays 0 instead of 0x8000.
    bool statusNeverReady = false;
    std::optional<FailingErase> failingErase;
    // Slow operations: each answer (of `delayCommand` only, when set) becomes
    // readable this many clock milliseconds after its command arrived.
    uint32_t delayMs = 0;
    std::optional<Command> delayCommand;
    // The flash reports the unsupported identification 0x1234 as its second word.
    bool unsupportedChip = false;
};

}  // namespace sim
