// Any INI text parses; what it reads survives a write of the same key, and serialising
// the parsed document and parsing it again reads the same keys.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/vcl/core/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    vcl::IniDocument doc = vcl::IniDocument::Parse(text);
    const auto again = vcl::IniDocument::Parse(doc.Serialize());
    for (const auto& section : doc.Sections()) {
        if (doc.Keys(section) != again.Keys(section)) {
            std::abort();
        }
    }
    doc.Set("Fuzz", "Key", "Value  ");
    if (doc.Value("fuzz", "key") != "Value") {
        std::abort();
    }
    return 0;
}
