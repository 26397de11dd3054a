// The .SPLB preview import on any bytes.
#include <cstdint>
#include <span>

#include "app/logo/LogoImport.h"
#include "app/logo/Mysplash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    logo::SplbHeader header;
    if (logo::ReadSplbHeader(file, header) &&
        int64_t{header.width} * header.height > (int64_t{1} << 22)) {
        return 0;  // bounded only to keep each run quick
    }
    logo::ImportSplb(file);
    return 0;
}
