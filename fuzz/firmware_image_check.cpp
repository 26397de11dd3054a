// Any bytes as a firmware image, checked for both layouts: never crashes or reads out of bounds.
#include <cstddef>
#include <cstdint>

#include "app/firmware/FileImageSource.h"
#include "app/firmware/FirmwareImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    firmware::MemoryImageSource source(data, size);
    firmware::ImageCheckState state;
    firmware::CheckImage(source, false, state);
    firmware::CheckImage(source, true, state);
    if (state.imageValid) {
        (void)firmware::FormatRelease(state.imageRelease);
    }
    return 0;
}
