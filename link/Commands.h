#pragma once
// The projector's command set. Fixed commands are sent as hex text, commands that carry an
// address, a size, data or a parameter number are built in memory; the transactions set
// every sequence number and checksum. Waits go through the platform clock.
#include <array>
#include <cstdint>
#include <string_view>

namespace lnk {

// Status words of ReadStatus.
constexpr uint16_t kBootloaderReady = 0x8000;  // flash commands may be sent
constexpr uint16_t kApplicationReady = 8;      // ready to switch into the bootloader
// ReadFlashChecksum's result when the bootloader never became ready.
constexpr uint32_t kChecksumFailed = 0xFFFFFFFF;
// Defaults of queries whose answer failed its check.
constexpr uint32_t kUnknownUnitLife = 999;
constexpr uint32_t kUnknownLogoAddress = 0xDEADBEEF;
// The longest data block one WriteFlashBlock packet carries.
constexpr uint32_t kMaxFlashBlock = 253;

constexpr uint32_t kEnterBootloaderWaitMs = 1000;
constexpr uint32_t kStatusPollMs = 100;
constexpr int kStatusPolls = 10;
constexpr int kEraseAttempts = 10;
constexpr uint32_t kUnpluggedWaitMs = 1000;
constexpr uint32_t kEraseRetryWaitMs = 300;

// The command texts, as sent (sequence number and checksum are overwritten on sending).
constexpr std::string_view kReadStatusText = "04 01 00 03 00 34 00  02 3a";
constexpr std::string_view kEnterBootloaderText = "02 05 00 03 00 34 30  01 6d";
constexpr std::string_view kFlashIdFirstText = "04 07 00 06 00 34 03  0a 00 15 0c 6f";
constexpr std::string_view kFlashIdSecondText = "04 08 00 06 00 34 03  0a 00 15 0d 71";
constexpr std::string_view kChecksumStartText = "02 a4 00 03 00 34 26  01 02";
constexpr std::string_view kChecksumReadText = "04 a6 00 06 00 34 03  0a 00 15 00 02";
constexpr std::string_view kEraseText = "02 0b 00 03 00 34 28  01 6b";

// Four bytes of a projector record: release date (year - 2000, month, day, revision with
// 0 = "A"), configuration, or version.
using InfoRecord = std::array<uint8_t, 4>;

// The projector's status word; 0 when the transaction failed. On a 0x7616 projector
// (model7616) a word of 0 reads as 8.
uint16_t ReadStatus();
// Asks the projector to restart into its bootloader, then waits 1000 ms.
uint32_t EnterBootloader();
// Restarts the projector out of its bootloader; no answer is read.
uint32_t ExitBootloader();
// First identification word << 16 | second word; a transaction's error status; or 0 (after
// "Not supported flash ROM!") for a chip none of the sector tables describes.
uint32_t ReadFlashType();
// Lets the bootloader sum the written range and returns the sum; kChecksumFailed after
// "Bootloader not ready!" when the bootloader is not ready by the 11th status read, and
// when the start of the run or the sum's answer failed or did not pass its check.
uint32_t ReadFlashChecksum();
// Start offset of sector n of the identified chip (two identification transactions);
// 0 for an unsupported chip or an index past the chip's table.
uint32_t SectorStart(uint32_t n);
// Erases the sector at `address`, at most 10 attempts; an attempt whose address was not
// acknowledged sends no erase (the projector would erase at its previous address). 0 on
// success, else the status of the last attempt, or 0x2000000F when the projector was never
// attached.
uint32_t EraseSector(uint32_t address);
// Tells the bootloader where the following data goes and how long it is. Fails, sending
// no size, when the address was not acknowledged.
uint32_t SetFlashRange(uint32_t address, uint32_t size);
// Writes one block of at most 253 bytes (longer blocks: 0x2000001B, nothing sent).
uint32_t WriteFlashBlock(const uint8_t* data, uint32_t length);
// What became of one block. A status of 0 alone does not tell: a packet transaction
// already in progress refuses with 0 and sends nothing, and an answer that failed its
// check also leaves status 0.
enum class BlockOutcome {
    NotSent,       // refused, or the write failed: the projector never saw it
    Unconfirmed,   // sent, but no valid answer came back: it may or may not be in flash
    Acknowledged,  // sent and answered with a valid acknowledgement
};
// The same, telling what became of the block.
uint32_t WriteFlashBlock(const uint8_t* data, uint32_t length, BlockOutcome& outcome);

// Identity queries. Each returns the transaction status.
// Width and height change only when a valid answer carried them.
uint32_t ReadResolution(uint32_t& width, uint32_t& height);
uint32_t ReadReleaseDate(InfoRecord& record);
uint32_t ReadConfig(InfoRecord& record);
// Four queries; the status is the first failing one's, else 0.
uint32_t ReadVersion(InfoRecord& record);
// Minutes of use; 999 when the answer failed its check.
uint32_t ReadUnitLife(uint32_t& minutes);
// The splash logo's processor address; 0xDEADBEEF when the answer failed its check.
uint32_t ReadLogoAddress(uint32_t& address);

}  // namespace lnk
