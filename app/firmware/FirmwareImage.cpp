#include "app/firmware/FirmwareImage.h"

#include <cstdio>
#include <cstring>

namespace firmware {
namespace {

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reads exactly `length` bytes into `buffer`, cleared first; false on a short read.
bool ReadExact(ImageSource& image, uint32_t offset, uint8_t* buffer, size_t length) {
    std::memset(buffer, 0, length);
    return image.ReadAt(offset, buffer, length) == length;
}

bool ReadRelease(ImageSource& image, uint32_t offset, uint32_t& release) {
    uint8_t record[4];
    if (!ReadExact(image, offset, record, sizeof record)) {
        return false;
    }
    release = PackRelease(record);
    return true;
}

// Layout 2: a header at offset 0 names the flash table; the table names the release.
bool CheckLayout2(ImageSource& image, ImageCheckState& state) {
    if (!ReadExact(image, 0, state.header.data(), kHeaderSize) ||
        Le32(&state.header[0]) != kHeaderSignature) {
        return false;
    }
    const uint32_t tableOffset = Le32(&state.header[0x14]) - kFlashBase7616;
    if (!ReadExact(image, tableOffset, state.table2.data(), kTable2Size) ||
        Le32(&state.table2[0]) != kFtSignature) {
        return false;
    }
    return ReadRelease(image, Le32(&state.table2[0xE4]) - kFlashBase7616, state.imageRelease);
}

// Layout 1: the table sits at 0x4000 and the application code starts with its signature.
bool CheckLayout1(ImageSource& image, ImageCheckState& state) {
    if (!ReadExact(image, kTableOffset, state.table1.data(), kTable1Size) ||
        Le32(&state.table1[0]) != kFtSignature) {
        return false;
    }
    uint8_t appStart[4];
    if (!ReadExact(image, Le32(&state.table1[0x04]) - kFlashBase, appStart, sizeof appStart) ||
        Le32(appStart) != kFtSignature) {
        return false;
    }
    return ReadRelease(image, Le32(&state.table1[0x70]) - kFlashBase, state.imageRelease);
}

}  // namespace

void CheckImage(ImageSource& image, bool model7616, ImageCheckState& state) {
    state.imageValid = false;
    // A release record that lies outside the file makes the image unusable as well:
    // the table would name data the image does not hold.
    state.imageValid = model7616 ? CheckLayout2(image, state) : CheckLayout1(image, state);
}

FlashTable DecodeFlashTable(const std::array<uint8_t, kTable1Size>& t) {
    return FlashTable{Le32(&t[0x00]), Le32(&t[0x04]), Le32(&t[0x08]),
                      Le32(&t[0x0C]), Le32(&t[0x20]), Le32(&t[0x40]),
                      Le32(&t[0x60]), Le32(&t[0x70]), Le32(&t[0x80])};
}

uint32_t PackRelease(const uint8_t record[4]) {
    return static_cast<uint32_t>(record[0]) << 24 | static_cast<uint32_t>(record[1]) << 16 |
           static_cast<uint32_t>(record[2]) << 8 | record[3];
}

std::string FormatRelease(uint32_t packed) {
    char text[32];
    std::snprintf(text, sizeof text, "20%02d/%02d/%02d%c", static_cast<int>(packed >> 24),
                  static_cast<int>(packed >> 16 & 0xFF), static_cast<int>(packed >> 8 & 0xFF),
                  static_cast<char>('A' + (packed & 0xFF)));
    return text;
}

}  // namespace firmware
