#include "app/firmware/SampleImage.h"

#include <algorithm>
#include <stdexcept>

#include "app/firmware/FirmwareImage.h"

namespace firmware {
namespace {

void PutLe32(std::vector<uint8_t>& image, uint32_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// A cheap pseudo-random fill (xorshift), so that blocks differ from one another.
void FillPattern(std::vector<uint8_t>& image, uint32_t seed) {
    uint32_t x = seed != 0 ? seed : 1;
    for (auto& byte : image) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<uint8_t>(x);
    }
}

constexpr uint32_t kAppOffset = 0x6000;
constexpr uint32_t kReleaseOffset = 0x7000;
constexpr uint32_t kTable2Offset = 0x100;

}  // namespace

std::vector<uint8_t> MakeSampleImage(const SampleImageSpec& spec) {
    if (spec.size < 0x8000) {
        throw std::invalid_argument("a sample image needs at least 0x8000 bytes");
    }
    std::vector<uint8_t> image(spec.size);
    FillPattern(image, spec.seed);
    std::copy(std::begin(spec.release), std::end(spec.release), image.begin() + kReleaseOffset);
    if (spec.model7616) {
        PutLe32(image, 0x00, kHeaderSignature);
        PutLe32(image, 0x14, kFlashBase7616 + kTable2Offset);
        PutLe32(image, kTable2Offset, kFtSignature);
        PutLe32(image, kTable2Offset + 0xE4, kFlashBase7616 + kReleaseOffset);
        return image;
    }
    std::fill(image.begin() + kTableOffset, image.begin() + kTableOffset + kTable1Size, 0);
    PutLe32(image, kTableOffset + 0x00, kFtSignature);
    PutLe32(image, kTableOffset + 0x04, kFlashBase + kAppOffset);
    PutLe32(image, kTableOffset + 0x08, kFlashBase);
    PutLe32(image, kTableOffset + 0x0C, kFlashBase + 0x10000);
    PutLe32(image, kTableOffset + 0x20, kFlashBase + 0x180000);
    PutLe32(image, kTableOffset + 0x70, kFlashBase + kReleaseOffset);
    PutLe32(image, kAppOffset, kFtSignature);
    return image;
}

}  // namespace firmware
