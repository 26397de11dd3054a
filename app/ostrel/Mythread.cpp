#include "app/ostrel/Mythread.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "app/ostrel/FlashJob.h"
#include "app/ostrel/Ostrel_BCCunit.h"
#include "app/shell/InfoText.h"
#include "link/State.h"
#include "platform/clock/Clock.h"

namespace ostrel {

TmyThread::TmyThread(bool createSuspended) : TThread(createSuspended) {
    SetFreeOnTerminate(true);
}

void TmyThread::Execute() {
    bool complete = false;
    try {
        complete = WriteFile();
    } catch (...) {
        // Whatever went wrong, the job must learn that the write is over.
    }
    ShowProgress();
    if (FlashJob.file != nullptr) {
        std::fclose(FlashJob.file);
        FlashJob.file = nullptr;
    }
    FlashJob.writeComplete = complete;
    FlashJob.writeDone = true;
    FlashJob.busy = false;  // last: the Close button and the next job wait for it
}

bool TmyThread::WriteFile() {
    const int64_t start = plat::NowSeconds();
    FlashJob.writeStartTime = start;
    int64_t lastShown = start;
    int absentSeconds = 0;  // never reset: the limit counts over the whole job
    bool complete = true;
    std::array<uint8_t, kFlashBlockSize> block{};
    while (FlashJob.position.load() < FlashJob.total.load()) {
        if (!lnk::attached.load()) {
            ++absentSeconds;
            plat::Sleep(kAbsentWaitMs);
            if (absentSeconds > kAbsentLimitSeconds) {
                return false;
            }
            continue;
        }
        if (const int64_t now = plat::NowSeconds(); now != lastShown) {
            lastShown = now;
            ShowProgress();
        }
        // Never past the size the erase announced, even if the file has grown since.
        const auto remaining =
            static_cast<size_t>(FlashJob.total.load() - FlashJob.position.load());
        const size_t wanted = std::min(block.size(), remaining);
        const size_t length = std::fread(block.data(), 1, wanted, FlashJob.file);
        if (length == 0) {
            // The file ended early (shortened since it was measured) or cannot be read.
            return false;
        }
        FlashJob.position += static_cast<int32_t>(length);
        switch (SendBlock(block.data(), static_cast<uint32_t>(length))) {
            case SendResult::Written:
                FlashJob.checksum += ByteSum(block.data(), length);
                break;
            case SendResult::WrittenPerhapsTwice:
                // The checksum cannot see a repeated block whose bytes sum like the tail it
                // pushed out of the range, so the write can no longer prove itself.
                FlashJob.checksum += ByteSum(block.data(), length);
                complete = false;
                break;
            case SendResult::GivenUp:
                complete = false;  // counted in position, not in the checksum
                break;
        }
    }
    return complete;
}

uint32_t TmyThread::ByteSum(const uint8_t* data, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i < length; ++i) {
        sum += data[i];
    }
    return sum;
}

TmyThread::SendResult TmyThread::SendBlock(const uint8_t* data, uint32_t length) {
    bool unconfirmedBefore = false;
    for (int attempt = 0; attempt < kBlockAttempts; ++attempt) {
        // Status 0 alone is not enough: a transaction in progress elsewhere refuses with
        // 0 and sends nothing, so only an acknowledgement counts the block as written.
        lnk::BlockOutcome outcome = lnk::BlockOutcome::NotSent;
        if (lnk::WriteFlashBlock(data, length, outcome) == 0 &&
            outcome == lnk::BlockOutcome::Acknowledged) {
            return unconfirmedBefore ? SendResult::WrittenPerhapsTwice : SendResult::Written;
        }
        // A block sent without a valid answer may have been written: the projector places
        // blocks one after another, so sending it again may store it twice.
        unconfirmedBefore = unconfirmedBefore || outcome == lnk::BlockOutcome::Unconfirmed;
        plat::Sleep(kBlockRetryMs);
    }
    return SendResult::GivenUp;
}

void TmyThread::ShowProgress() {
    try {
        Synchronize([this] { UpdateProgress(); });
    } catch (...) {
        // A progress display that failed must not stop the write.
    }
}

void TmyThread::UpdateProgress() {
    if (FormOstrel == nullptr) {
        return;
    }
    const int64_t position = FlashJob.position.load();
    const int64_t total = FlashJob.total.load();
    if (total > 0) {
        FormOstrel->ProgressBar->SetPosition(static_cast<int>(position * 100 / total));
    }
    const int64_t elapsed = plat::NowSeconds() - FlashJob.writeStartTime.load();
    FormOstrel->lblTime->SetCaption(shell::FormatText(
        "Time:%02d:%02d", static_cast<int>(elapsed / 60), static_cast<int>(elapsed % 60)));
    FormOstrel->lblBytes->SetCaption(
        shell::FormatText("Bytes:%6d/%6d", static_cast<int>(position), static_cast<int>(total)));
}

}  // namespace ostrel
