#include "link/UsbConfig.h"

#include <algorithm>
#include <vector>

#include "link/CommandPacket.h"
#include "platform/vcl/core/Paths.h"

namespace lnk {
namespace {

void CopyDescription(std::string_view value, char (&name)[kDescriptionLength + 1]) {
    const size_t length = std::min(value.size(), kDescriptionLength);
    std::copy_n(value.begin(), length, name);
    name[length] = '\0';
}

}  // namespace

std::string UsbConfigPath() {
    return vcl::ConfigFilePath(".USB");
}

uint16_t ParseHexId(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
        HexDigitValue(text[2]) >= 0) {
        text.remove_prefix(2);
    }
    unsigned value = 0;
    for (size_t i = 0; i < text.size() && i < 4 && HexDigitValue(text[i]) >= 0; ++i) {
        value = value * 16 + static_cast<unsigned>(HexDigitValue(text[i]));
    }
    return static_cast<uint16_t>(value);
}

size_t AddConfiguredDevices(const vcl::TIniFile& file,
                            std::array<DeviceEntry, kDeviceEntries>& table) {
    const uint16_t vendorId = ParseHexId(file.ReadString("USB", "VID", "1501"));
    const std::vector<std::string> keys = file.ReadSection("PID_DMD");
    if (keys.empty()) {
        return 0;
    }
    const auto firstFree =
        std::find_if(table.begin(), table.end(), [](const DeviceEntry& e) { return e.IsFree(); });
    size_t added = 0;
    for (auto entry = firstFree; entry != table.end() && added < keys.size(); ++entry, ++added) {
        entry->vendorId = vendorId;
        entry->productId = ParseHexId(keys[added]);
        CopyDescription(file.ReadString("PID_DMD", keys[added], "XGA"), entry->name);
    }
    return added;
}

}  // namespace lnk
