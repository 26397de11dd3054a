#pragma once
// Builds valid firmware images for the virtual projector: the demo's sample file and the
// images of the tests. The content is a deterministic pattern, so that every byte of a
// flashed image can be checked.
#include <cstdint>
#include <vector>

namespace firmware {

struct SampleImageSpec {
    uint32_t size = 0x100000;            // bytes; at least 0x8000
    uint8_t release[4] = {8, 1, 15, 1};  // year - 2000, month, day, revision
    bool model7616 = false;              // layout 2 instead of layout 1
    uint32_t seed = 1;                   // varies the pattern
};

std::vector<uint8_t> MakeSampleImage(const SampleImageSpec& spec);

}  // namespace firmware
