#pragma once
// TmyThread: the flash job's writer. It streams the job file to the projector in 56-byte
// blocks (one 64-byte packet each), sums the bytes the projector acknowledged and shows
// progress on the window thread. One thread per job; it frees itself when done and
// signals its end through FlashJob.writeDone and FlashJob.busy.
#include <cstddef>
#include <cstdint>

#include "platform/vcl/Thread.h"

namespace ostrel {

// 7 header bytes + 56 data bytes + 1 checksum byte make one 64-byte packet.
constexpr size_t kFlashBlockSize = 56;
constexpr int kBlockAttempts = 10;
constexpr uint32_t kBlockRetryMs = 300;
constexpr uint32_t kAbsentWaitMs = 1000;
// Seconds without a projector, over the whole job, after which the write gives up.
constexpr int kAbsentLimitSeconds = 30;

class TmyThread : public vcl::TThread {
  public:
    // Frees itself when Execute returns.
    explicit TmyThread(bool createSuspended);

  protected:
    void Execute() override;

  private:
    // Runs on the window thread (through Synchronize): progress bar, time and bytes.
    void UpdateProgress();
    void ShowProgress();
    enum class SendResult {
        Written,              // acknowledged at the first attempt that reached the projector
        WrittenPerhapsTwice,  // acknowledged after an attempt that was sent but unanswered
        GivenUp,              // no acknowledgement within the attempts
    };
    static SendResult SendBlock(const uint8_t* data, uint32_t length);
    static uint32_t ByteSum(const uint8_t* data, size_t length);
    // Reads and sends the file from the job's position to its total; false when a block
    // was given up or may have been stored twice, the file ended early or the projector
    // stayed away too long.
    bool WriteFile();
};

}  // namespace ostrel
