#include "sim/Flash.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace sim {
namespace {

constexpr uint32_t k64K = 0x10000;

ChipGeometry MakeGeometry(uint32_t size, std::vector<uint32_t> smallSectors) {
    ChipGeometry geometry;
    geometry.size = size;
    geometry.sectorStarts = std::move(smallSectors);
    for (uint32_t start = k64K; start < size; start += k64K) {
        geometry.sectorStarts.push_back(start);
    }
    return geometry;
}

}  // namespace

std::optional<ChipGeometry> GeometryOf(uint16_t chipCode) {
    switch (chipCode) {
        case kChip2MbBoot:
            return MakeGeometry(0x200000, {0x0000, 0x4000, 0x6000, 0x8000});
        case kChip4MbBoot:
            return MakeGeometry(0x400000,
                                {0x0000, 0x2000, 0x4000, 0x6000, 0x8000, 0xA000, 0xC000, 0xE000});
        case kChip4MbUniform:
            return MakeGeometry(0x400000, {0x0000});
        default:
            return std::nullopt;
    }
}

FlashMemory::FlashMemory(uint16_t chipCode, FlashFill fill) : chip_(chipCode) {
    auto geometry = GeometryOf(chipCode);
    if (!geometry) {
        throw std::invalid_argument("unsupported flash chip");
    }
    geometry_ = std::move(*geometry);
    bytes_.assign(geometry_.size, 0xFF);
    if (fill == FlashFill::OldFirmware) {
        // Every byte has some bits clear, so programming over it without an erase
        // cannot give the intended data back.
        for (size_t i = 0; i < bytes_.size(); ++i) {
            bytes_[i] = static_cast<uint8_t>(((i * 37) ^ (i >> 8)) & 0x7E);
        }
    }
}

uint32_t FlashMemory::SectorSize(size_t index) const {
    const uint32_t end = index + 1 < SectorCount() ? SectorStart(index + 1) : geometry_.size;
    return end - SectorStart(index);
}

std::optional<size_t> FlashMemory::SectorContaining(uint32_t offset) const {
    if (offset >= geometry_.size) {
        return std::nullopt;
    }
    const auto& starts = geometry_.sectorStarts;
    const auto after = std::upper_bound(starts.begin(), starts.end(), offset);
    return static_cast<size_t>(after - starts.begin()) - 1;
}

void FlashMemory::EraseSector(size_t index) {
    const auto begin = bytes_.begin() + SectorStart(index);
    std::fill(begin, begin + SectorSize(index), uint8_t{0xFF});
}

size_t FlashMemory::ClippedLength(uint32_t offset, size_t length) const {
    if (offset >= geometry_.size) {
        return 0;
    }
    return std::min<size_t>(length, geometry_.size - offset);
}

size_t FlashMemory::Program(uint32_t offset, std::span<const uint8_t> data) {
    const size_t length = ClippedLength(offset, data.size());
    for (size_t i = 0; i < length; ++i) {
        bytes_[offset + i] &= data[i];
    }
    return length;
}

uint32_t FlashMemory::Sum(uint32_t offset, uint32_t size) const {
    const size_t length = ClippedLength(offset, size);
    if (length == 0) {
        return 0;
    }
    const auto begin = bytes_.begin() + offset;
    return std::accumulate(begin, begin + static_cast<std::ptrdiff_t>(length), uint32_t{0});
}

std::vector<uint8_t> FlashMemory::Read(uint32_t offset, uint32_t size) const {
    const size_t length = ClippedLength(offset, size);
    if (length == 0) {
        return {};
    }
    const auto begin = bytes_.begin() + offset;
    return {begin, begin + static_cast<std::ptrdiff_t>(length)};
}

void FlashMemory::Load(uint32_t offset, std::span<const uint8_t> data) {
    const size_t length = ClippedLength(offset, data.size());
    if (length == 0) {
        return;
    }
    std::copy_n(data.begin(), length, bytes_.begin() + offset);
}

}  // namespace sim
