#include "link/Transactions.h"

#include <atomic>
#include <cstdio>

#include "link/CommandPacket.h"
#include "link/DriverTrace.h"
#include "link/UsbConnection.h"
#include "platform/drv/DrvStatus.h"
#include "platform/vcl/core/MessageBox.h"

namespace lnk {
namespace {

std::atomic<bool> hexCommandBusy{false};
std::atomic<bool> packetBusy{false};

// Holds a busy flag for one transaction; `owned` is false when another held it already.
class BusyGuard {
  public:
    explicit BusyGuard(std::atomic<bool>& flag) : flag_(flag), owned_(!flag.exchange(true)) {}
    ~BusyGuard() {
        if (owned_) {
            flag_ = false;
        }
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;
    bool owned() const { return owned_; }

  private:
    std::atomic<bool>& flag_;
    bool owned_;
};

void ShowWriteFailure(uint32_t status) {
    char caption[32];
    std::snprintf(caption, sizeof(caption), "Err:0%0X", status);
    vcl::MessageBox("USB WritePipe", caption);
}

}  // namespace

uint32_t SendHexCommand(std::string_view text, std::span<uint8_t> answer) {
    BusyGuard busy(hexCommandBusy);
    if (!busy.owned()) {
        return 0;
    }
    uint8_t buffer[kPacketSize]{};
    const size_t count = ParseHexText(text, buffer);
    // The checksum goes to byte 5 + N even when the text is shorter than its length field
    // says; only the parsed bytes are sent.
    if (count >= kPacketSize || answer.size() < kPacketSize || !StampPacket(buffer)) {
        DriverTrace("\nSendHexCommand: refused a command that does not fit one packet\n");
        return drv::kInvalidParameter;
    }
    const uint32_t written = USBWritePipe(kWritePipe, buffer, static_cast<uint32_t>(count));
    if (written != 0) {
        ShowWriteFailure(written);
        return written;
    }
    if (text == kExitBootloaderText) {
        return 0;
    }
    uint32_t received = 0;
    const uint32_t status = USBReadPipe(kReadPipe, buffer, &received);
    if (status == drv::kDeviceNotFound) {
        return status;
    }
    if (status == 0) {
        // More than was asked for cannot be a valid answer.
        CheckAnswer(received <= kPacketSize ? std::span<const uint8_t>(buffer, received)
                                            : std::span<const uint8_t>(),
                    answer);
    }
    return status;
}

uint32_t SendPacket(std::span<uint8_t> packet, std::span<uint8_t> answer) {
    bool sent = false;
    return SendPacket(packet, answer, sent);
}

uint32_t SendPacket(std::span<uint8_t> packet, std::span<uint8_t> answer, bool& sent) {
    sent = false;
    BusyGuard busy(packetBusy);
    if (!busy.owned()) {
        return 0;
    }
    if (packet.size() < kFrameOverhead || PayloadLength(packet) > kMaxPacketPayload ||
        answer.size() < kPacketSize || !StampPacket(packet)) {
        DriverTrace("\nSendPacket: refused a packet that does not fit its buffer\n");
        return drv::kInvalidParameter;
    }
    const uint32_t size = static_cast<uint32_t>(kFrameOverhead + PayloadLength(packet));
    const uint32_t written = USBWritePipe(kWritePipe, packet.data(), size);
    if (written != 0) {
        ShowWriteFailure(written);
        return written;
    }
    sent = true;
    uint8_t buffer[kPacketSize]{};
    uint32_t received = 0;
    const uint32_t status = USBReadPipe(kReadPipe, buffer, &received);
    if (received == 0 || received > kPacketSize) {
        vcl::MessageBox("USB readPipe", "No bytes read");
    } else {
        CheckAnswer({buffer, received}, answer);
    }
    return status;
}

bool HexCommandBusy() {
    return hexCommandBusy.load();
}

bool PacketBusy() {
    return packetBusy.load();
}

}  // namespace lnk
