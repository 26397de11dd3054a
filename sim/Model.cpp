#include "sim/Model.h"

#include "platform/clock/Clock.h"

namespace sim {
namespace {

// The log keeps the most recent commands; a long-running simulator must not grow
// without bound. A whole 4 MB firmware write fits.
constexpr size_t kLogLimit = 100000;

constexpr uint8_t kLead = 0x34;

void PutLe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

std::array<uint8_t, 4> Le32(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

bool Matches(const CommandFault& fault, Command command) {
    return !fault.command || *fault.command == command;
}

// Counts the command against the fault; true when this command is affected.
bool Consume(CommandFault& fault, Command command) {
    if (fault.count == 0 || !Matches(fault, command)) {
        return false;
    }
    if (fault.skip > 0) {
        --fault.skip;
        return false;
    }
    if (fault.count != kForever) {
        --fault.count;
    }
    return true;
}

}  // namespace

const char* ModeName(Mode mode) {
    return mode == Mode::Bootloader ? "bootloader" : "application";
}

Model::Model(const ProjectorConfig& config)
    : config_(config), mode_(config.startMode), flash_(config.flash.chip, config.flash.fill) {}

Reaction Model::Receive(std::span<const uint8_t> bytes) {
    std::unique_lock lock(mutex_);
    LoggedCommand entry;
    entry.index = counters_.commands++;
    entry.raw.assign(bytes.begin(), bytes.end());
    entry.mode = mode_;

    Reaction reaction;
    FrameError error = FrameError::None;
    const auto frame = ParseFrame(bytes, &error);
    if (!frame) {
        // A damaged packet is never answered: the host's read times out, so a
        // corrupted block cannot pass for an accepted one.
        entry.command = Command::Malformed;
        entry.name = CommandName(entry.command);
        entry.detail = FrameErrorName(error);
        ++counters_.malformed;
    } else {
        const DecodedCommand decoded = DecodeCommand(frame->payload);
        entry.command = decoded.command;
        entry.name = CommandName(decoded.command);
        entry.detail = DescribeCommand(decoded);
        reaction = Handle(*frame, decoded, entry);
    }
    log_.push_back(entry);
    if (log_.size() > kLogLimit) {
        log_.pop_front();
    }
    const CommandObserver observer = observer_;
    lock.unlock();
    if (observer) {
        observer(entry);
    }
    return reaction;
}

bool Model::Accepts(Command command) const {
    switch (command) {
        case Command::ReadStatus:
        case Command::EnterBootloader:
            return true;
        case Command::ExitBootloader:
            return mode_ == Mode::Bootloader;
        default:
            break;
    }
    if (IsApplicationCommand(command)) {
        return mode_ == Mode::Application;
    }
    if (IsBootloaderCommand(command)) {
        return mode_ == Mode::Bootloader;
    }
    return false;
}

Reaction Model::Handle(const Frame& frame, const DecodedCommand& decoded, LoggedCommand& entry) {
    const Command command = decoded.command;
    if (Consume(faults_.ignore, command)) {
        entry.detail += " (ignored)";
        return {};
    }
    if (!Accepts(command)) {
        entry.detail += " (refused)";
        ++counters_.refused;
        return {};
    }
    if (command == Command::WriteFlashBlock) {
        ++blocksSinceFaults_;
        if (faults_.detachDuringWrite &&
            blocksSinceFaults_ == faults_.detachDuringWrite->afterBlock) {
            const DetachDuringWrite detach = *faults_.detachDuringWrite;
            faults_.detachDuringWrite.reset();
            return DetachNow(detach, decoded, entry);
        }
    }

    bool answer = true;
    Reaction reaction = Execute(decoded, answer);
    entry.executed = true;
    if (!answer || Consume(faults_.loseAnswer, command)) {
        return reaction;
    }
    std::vector<uint8_t> packet =
        BuildFrame(frame.kind, frame.sequence, AnswerPayload(frame, decoded));
    if (Consume(faults_.corruptChecksum, command)) {
        packet.back() = static_cast<uint8_t>(packet.back() ^ 0x5A);
    }
    if (faults_.delayMs > 0 && (!faults_.delayCommand || *faults_.delayCommand == command)) {
        reaction.answerDelayMs = faults_.delayMs;
    }
    reaction.answer = std::move(packet);
    entry.answered = true;
    ++counters_.answers;
    return reaction;
}

Reaction Model::DetachNow(const DetachDuringWrite& detach, const DecodedCommand& decoded,
                          LoggedCommand& entry) {
    if (detach.blockWritten) {
        WriteBlock(decoded.data);
        entry.executed = true;
    }
    entry.detail += " (detached)";
    Reaction reaction;
    reaction.leave = Leave::Now;
    if (detach.returnAfterMs) {
        reaction.comeBackIn = mode_;
        reaction.awayMs = *detach.returnAfterMs;
    }
    return reaction;
}

Reaction Model::Execute(const DecodedCommand& decoded, bool& answer) {
    Reaction reaction;
    switch (decoded.command) {
        case Command::EnterBootloader:
            if (mode_ == Mode::Application) {
                reaction.leave = Leave::AfterAnswer;
                reaction.comeBackIn = Mode::Bootloader;
                reaction.awayMs = config_.timing.restartMs;
            }
            break;
        case Command::ExitBootloader:
            // The host reads no answer for this one: queueing one would leave it to be
            // taken as the answer of the next command.
            answer = false;
            reaction.leave = Leave::AfterAnswer;
            reaction.comeBackIn = Mode::Application;
            reaction.awayMs = config_.timing.restartMs;
            break;
        case Command::StartChecksum:
            StartChecksum();
            break;
        case Command::SetAddress:
            range_.address = decoded.value;
            range_.writePosition = decoded.value;
            break;
        case Command::SetSize:
            range_.size = decoded.value;
            range_.writePosition = range_.address;
            break;
        case Command::EraseSector:
            answer = Erase();
            break;
        case Command::WriteFlashBlock:
            WriteBlock(decoded.data);
            break;
        default:
            break;  // queries: the answer is all they do
    }
    return reaction;
}

bool Model::Erase() {
    eraseError_ = false;
    const auto sector = flash_.SectorContaining(range_.address);
    if (!sector) {
        // An address beyond the chip erases nothing; the status tells the host so.
        eraseError_ = true;
        return true;
    }
    const auto& failing = faults_.failingErase;
    if (failing && failing->sector == *sector && failedEraseAttempts_ < failing->attempts) {
        ++failedEraseAttempts_;
        if (failing->how == EraseFailure::NoAnswer) {
            return false;
        }
        eraseError_ = true;
        return true;
    }
    flash_.EraseSector(*sector);
    erased_.push_back(*sector);
    ++counters_.sectorsErased;
    return true;
}

void Model::WriteBlock(std::span<const uint8_t> data) {
    const size_t landed = flash_.Program(range_.writePosition, data);
    counters_.bytesProgrammed += landed;
    counters_.bytesBeyondChip += data.size() - landed;
    range_.writePosition += static_cast<uint32_t>(data.size());
    ++counters_.blocksWritten;
}

void Model::StartChecksum() {
    checksum_ = flash_.Sum(range_.address, range_.size);
    checksumReadyAtMs_ = plat::NowMs() + config_.timing.checksumBusyMs;
    ++counters_.checksumRuns;
}

uint32_t Model::RegisterValue(uint8_t reg) const {
    switch (reg) {
        case 0x0C:
            return config_.flash.firstWord;
        case 0x0D:
            return faults_.unsupportedChip ? kChipUnsupported : config_.flash.chip;
        case 0x00:
            return checksum_;
        default:
            return 0;
    }
}

std::array<uint8_t, 4> Model::ParameterValue(uint8_t parameter) const {
    const Information& info = config_.information;
    switch (parameter) {
        case 0x71:
            return info.release;
        case 0x6B:
            return info.configuration;
        case 0x6A:
            return {info.version[0], 0, 0, 0};
        case 0x6C:
            return {info.version[2], 0, 0, 0};
        case 0x6D:
            return {info.version[3], 0, 0, 0};
        case 0x66:
            return Le32(info.unitLife);
        case 0x90:
            return Le32(info.logoAddress);
        default:
            return {0, 0, 0, 0};
    }
}

// Answer layouts (byte numbers count from the kind byte of the answer packet):
//   status:      34 00 02 hi lo          -> status word in bytes 8 (high) and 9 (low)
//   register:    34 03 0A 00 15 rr 00 00 v0 v1 v2 v3 -> value in bytes 13..16, LSB first
//   parameter:   34 05 v0 v1 v2 v3       -> value in bytes 7..10
//   resolution:  34 02 wl wh hl hh       -> width in bytes 7-8, height in 9-10, LSB first
//   acknowledge: 34 op
std::vector<uint8_t> Model::AnswerPayload(const Frame& frame, const DecodedCommand& decoded) const {
    const uint8_t op = frame.payload.size() > 1 ? frame.payload[1] : 0;
    std::vector<uint8_t> payload = {kLead, op};
    switch (decoded.command) {
        case Command::ReadStatus: {
            const uint16_t status = StatusWordLocked();
            payload.insert(payload.end(), {0x02, static_cast<uint8_t>(status >> 8),
                                           static_cast<uint8_t>(status & 0xFF)});
            break;
        }
        case Command::ReadFlashType:
        case Command::ReadFlashChecksum:
        case Command::ReadFlashRegister:
            payload.assign(frame.payload.begin(), frame.payload.end());
            payload.insert(payload.end(), {0x00, 0x00});
            PutLe32(payload, RegisterValue(decoded.parameter));
            break;
        case Command::ReadReleaseDate:
        case Command::ReadConfig:
        case Command::ReadVersion:
        case Command::ReadUnitLife:
        case Command::ReadLogoAddress: {
            const auto value = ParameterValue(decoded.parameter);
            payload.insert(payload.end(), value.begin(), value.end());
            break;
        }
        case Command::ReadResolution: {
            const Information& info = config_.information;
            payload.insert(
                payload.end(),
                {static_cast<uint8_t>(info.width & 0xFF), static_cast<uint8_t>(info.width >> 8),
                 static_cast<uint8_t>(info.height & 0xFF), static_cast<uint8_t>(info.height >> 8)});
            break;
        }
        default:
            break;
    }
    return payload;
}

uint16_t Model::StatusWordLocked() const {
    if (mode_ == Mode::Application) {
        // The 0x7616 model's application reports 0 where the others report 8.
        return config_.identity.productId == kModel7616 ? kStatusNotReady : kStatusApplicationReady;
    }
    if (faults_.statusNeverReady || eraseError_ || plat::NowMs() < checksumReadyAtMs_) {
        return kStatusNotReady;
    }
    return kStatusBootloaderReady;
}

void Model::ResetBootloaderState() {
    range_ = {};
    checksum_ = 0;
    checksumReadyAtMs_ = 0;
    eraseError_ = false;
}

void Model::Attached(Mode mode) {
    std::lock_guard lock(mutex_);
    if (mode != mode_) {
        ResetBootloaderState();
    }
    mode_ = mode;
    ++counters_.attaches;
}

void Model::Detached() {
    std::lock_guard lock(mutex_);
    ++counters_.detaches;
}

Mode Model::CurrentMode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

uint16_t Model::StatusWord() const {
    std::lock_guard lock(mutex_);
    return StatusWordLocked();
}

UsbDescriptors Model::Descriptors() const {
    std::lock_guard lock(mutex_);
    return BuildDescriptors(config_.identity, mode_);
}

ProjectorConfig Model::Config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

void Model::SetInformation(const Information& information) {
    std::lock_guard lock(mutex_);
    config_.information = information;
}

void Model::SetFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    blocksSinceFaults_ = 0;
    failedEraseAttempts_ = 0;
}

Faults Model::CurrentFaults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

std::vector<uint8_t> Model::ReadFlash(uint32_t offset, uint32_t size) const {
    std::lock_guard lock(mutex_);
    return flash_.Read(offset, size);
}

std::vector<uint8_t> Model::FlashContents() const {
    std::lock_guard lock(mutex_);
    return flash_.Contents();
}

uint32_t Model::FlashSize() const {
    std::lock_guard lock(mutex_);
    return flash_.Size();
}

uint32_t Model::FlashSum(uint32_t offset, uint32_t size) const {
    std::lock_guard lock(mutex_);
    return flash_.Sum(offset, size);
}

std::optional<size_t> Model::SectorContaining(uint32_t offset) const {
    std::lock_guard lock(mutex_);
    return flash_.SectorContaining(offset);
}

uint32_t Model::SectorStart(size_t index) const {
    std::lock_guard lock(mutex_);
    return flash_.SectorStart(index);
}

void Model::LoadFlash(uint32_t offset, std::span<const uint8_t> data) {
    std::lock_guard lock(mutex_);
    flash_.Load(offset, data);
}

std::vector<size_t> Model::ErasedSectors() const {
    std::lock_guard lock(mutex_);
    return erased_;
}

FlashRange Model::Range() const {
    std::lock_guard lock(mutex_);
    return range_;
}

std::vector<LoggedCommand> Model::CommandLog() const {
    std::lock_guard lock(mutex_);
    return {log_.begin(), log_.end()};
}

void Model::ClearCommandLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

void Model::SetCommandObserver(CommandObserver observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

Counters Model::Counts() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

}  // namespace sim
