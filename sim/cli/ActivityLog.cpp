#include "sim/cli/ActivityLog.h"

#include <cstdio>

#include "sim/Frame.h"

namespace sim::cli {

namespace {

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", value);
    return text;
}

std::string ModeText(Mode mode) {
    return mode == Mode::Bootloader ? "bootloader mode (Ostrel mode)" : "application mode (normal)";
}

// The 24-bit number of an address or size command, read again from its packet.
uint32_t ValueOf(const LoggedCommand& command) {
    const auto frame = ParseFrame(command.raw);
    return frame ? DecodeCommand(frame->payload).value : 0;
}

// The data bytes of a block command.
size_t BlockSize(const LoggedCommand& command) {
    const auto frame = ParseFrame(command.raw);
    return frame ? DecodeCommand(frame->payload).data.size() : 0;
}

}  // namespace

ActivityLog::ActivityLog(std::string name, Sink sink)
    : name_(std::move(name)), sink_(std::move(sink)) {}

void ActivityLog::Command(const LoggedCommand& command) {
    std::lock_guard lock(mutex_);
    if (command.command == Command::WriteFlashBlock && command.executed) {
        Block(command);
        return;
    }
    EndBlockRun();
    std::string text = command.detail.empty() ? command.name : command.detail;
    switch (command.command) {
        case Command::SetAddress:
            if (command.executed) {
                address_ = ValueOf(command);
                blocks_ = bytes_ = 0;
            }
            break;
        case Command::SetSize:
            if (command.executed) {
                rangeSize_ = ValueOf(command);
                blocks_ = bytes_ = 0;
            }
            break;
        case Command::EraseSector:
            text += " " + Hex(address_);
            break;
        case Command::Malformed:
            text = "Malformed packet: " + command.detail;
            break;
        default:
            break;
    }
    if (!command.executed && command.command != Command::Malformed) {
        text += " (ignored in " + std::string(ModeName(command.mode)) + " mode)";
    }
    Print(text);
}

void ActivityLog::Block(const LoggedCommand& command) {
    ++blocks_;
    bytes_ += BlockSize(command);
    const bool last = rangeSize_ != 0 && bytes_ >= rangeSize_;
    std::string text = command.detail + " (block " + std::to_string(blocks_);
    if (last) {
        text += ", last of " + std::to_string(bytes_) + " bytes";
    }
    text += ")";
    if (blocks_ == 1 || blocks_ % kBlockLineEvery == 0 || last) {
        Print(text);
        unshownBlock_.clear();
    } else {
        unshownBlock_ = text;
    }
    if (last) {
        rangeSize_ = 0;  // blocks past the range are counted on, but not as "last" again
    }
}

void ActivityLog::EndBlockRun() {
    if (!unshownBlock_.empty()) {
        std::string text = unshownBlock_;
        text.insert(text.size() - 1, ", last");
        Print(text);
        unshownBlock_.clear();
    }
}

void ActivityLog::Attach(Mode mode, bool attached) {
    std::lock_guard lock(mutex_);
    EndBlockRun();
    if (!attached) {
        Print("detached");
        return;
    }
    if (mode_ && *mode_ != mode) {
        Print(std::string("mode change: ") + ModeName(*mode_) + " -> " + ModeName(mode));
    }
    mode_ = mode;
    Print("attached in " + ModeText(mode));
}

void ActivityLog::Finish() {
    std::lock_guard lock(mutex_);
    EndBlockRun();
}

void ActivityLog::Print(const std::string& text) {
    sink_(name_ + " " + text);
}

}  // namespace sim::cli
