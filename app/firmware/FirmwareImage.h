#pragma once
// The firmware image (.IMG): a byte-for-byte copy of the projector's flash with a flash
// table. This reads and checks an image; it never touches the projector.
#include <array>
#include <cstdint>
#include <string>

namespace firmware {

constexpr uint32_t kFtSignature = 0x01234567;
constexpr uint32_t kHeaderSignature = 0x12345678;
constexpr uint32_t kFlashBase = 0xFE200000;      // device address of flash offset 0
constexpr uint32_t kFlashBase7616 = 0xFD000000;  // the same on a 0x7616 projector
constexpr uint32_t kBootSize = 0x4000;           // the boot area at the start of flash
constexpr uint32_t kTableOffset = 0x4000;        // layout 1: flash table right after it

constexpr size_t kTable1Size = 144;
constexpr size_t kHeaderSize = 28;
constexpr size_t kTable2Size = 336;

// Random access to the bytes of an image. Read returns the number of bytes read, fewer
// at the end of the file; a failing device throws std::runtime_error.
class ImageSource {
  public:
    virtual ~ImageSource() = default;
    virtual size_t ReadAt(uint64_t offset, uint8_t* buffer, size_t length) = 0;
};

// The layout-1 flash table as the flash table dialog shows it.
struct FlashTable {
    uint32_t ftSignature, appCode, bootCode, osdData, splashLogo, asicConfig, appConfig,
        othersBinary, sequenceCode;
};

// What the check keeps between checks: the copies of the last tables read, per layout.
struct ImageCheckState {
    bool imageValid = false;
    std::array<uint8_t, kTable1Size> table1{};
    std::array<uint8_t, kHeaderSize> header{};
    std::array<uint8_t, kTable2Size> table2{};
    uint32_t imageRelease = 0;
};

// Checks the image for the layout of the projector model and updates `state`.
// A read that comes back short counts as a failed signature: the copy it was read into
// is cleared first, so no table data of an earlier check can make a file pass.
// Errors of the file itself propagate as std::runtime_error.
void CheckImage(ImageSource& image, bool model7616, ImageCheckState& state);

FlashTable DecodeFlashTable(const std::array<uint8_t, kTable1Size>& table);

// The release record packed high byte first: year-2000, month, day, revision.
uint32_t PackRelease(const uint8_t record[4]);
// "20%02d/%02d/%02d%c" of a packed release.
std::string FormatRelease(uint32_t packed);

// True when the image is strictly older than the projector's firmware.
inline bool ImageIsOlder(uint32_t imageRelease, uint32_t deviceRelease) {
    return imageRelease < deviceRelease;
}

}  // namespace firmware
