#pragma once
// The projector's NOR flash chip: three supported parts with their sector maps.
// Erasing sets a whole sector to 0xFF; programming can only clear bits.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sim {

// The second identification word of each supported chip.
inline constexpr uint16_t kChip2MbBoot = 0x2249;     // 2 MB: 16, 8, 8, 32 KB, then 31 × 64 KB
inline constexpr uint16_t kChip4MbBoot = 0x22A8;     // 4 MB: 8 × 8 KB, then 63 × 64 KB
inline constexpr uint16_t kChip4MbUniform = 0x2016;  // 4 MB: 64 × 64 KB
// What an unsupported part reports as its second word.
inline constexpr uint16_t kChipUnsupported = 0x1234;

struct ChipGeometry {
    uint32_t size = 0;
    std::vector<uint32_t> sectorStarts;  // ascending; sector n spans to the next start
};

// The geometry of a supported chip, or nothing for any other code.
std::optional<ChipGeometry> GeometryOf(uint16_t chipCode);

// What a chip holds before the simulation touches it.
enum class FlashFill {
    Erased,       // all 0xFF, as from the factory
    OldFirmware,  // a fixed non-0xFF pattern, so that a write without an erase shows up
};

class FlashMemory {
  public:
    // chipCode must be a supported code (GeometryOf gives a value); throws otherwise.
    FlashMemory(uint16_t chipCode, FlashFill fill);

    uint16_t ChipCode() const { return chip_; }
    uint32_t Size() const { return geometry_.size; }
    size_t SectorCount() const { return geometry_.sectorStarts.size(); }
    uint32_t SectorStart(size_t index) const { return geometry_.sectorStarts.at(index); }
    uint32_t SectorSize(size_t index) const;

    // The sector holding the byte at `offset`, nothing beyond the chip.
    std::optional<size_t> SectorContaining(uint32_t offset) const;

    void EraseSector(size_t index);

    // NOR programming: each byte becomes old & new. Bytes beyond the chip are dropped.
    // Returns the number of bytes that landed on the chip.
    size_t Program(uint32_t offset, std::span<const uint8_t> data);

    // Unsigned 32-bit sum of the bytes in [offset, offset + size), clipped to the chip.
    uint32_t Sum(uint32_t offset, uint32_t size) const;

    // A copy of [offset, offset + size), clipped to the chip.
    std::vector<uint8_t> Read(uint32_t offset, uint32_t size) const;
    const std::vector<uint8_t>& Contents() const { return bytes_; }

    // Overwrites bytes directly, bypassing NOR rules (test set-up). Clipped to the chip.
    void Load(uint32_t offset, std::span<const uint8_t> data);

  private:
    size_t ClippedLength(uint32_t offset, size_t length) const;

    uint16_t chip_;
    ChipGeometry geometry_;
    std::vector<uint8_t> bytes_;
};

}  // namespace sim
