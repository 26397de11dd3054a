#pragma once
// The `.USB` configuration file: section [USB] key VID (the projectors' vendor id, default
// "1501"), section [PID_DMD] with one key per accepted product id, whose value is the
// product's description (default "XGA"). Keys are taken in file order.
#include <cstdint>
#include <string>
#include <string_view>

#include "link/LinkState.h"
#include "platform/vcl/core/IniFile.h"

namespace lnk {

// The path of the `.USB` file: beside the executable, else in the installed configuration
// folder (see vcl::ConfigFilePath).
std::string UsbConfigPath();

// A vendor or product id as written in the file: blanks and an optional "0x" are skipped,
// then at most four hexadecimal digits are read; anything after them is ignored, and a
// text without leading digits gives 0.
uint16_t ParseHexId(std::string_view text);

// Adds the file's products to the table from its first free entry on; keys that would land
// at index 32 or beyond are ignored, and nothing is added when no entry is free.
// Descriptions longer than 25 characters are cut to 25. Returns the number added.
size_t AddConfiguredDevices(const vcl::TIniFile& file,
                            std::array<DeviceEntry, kDeviceEntries>& table);

}  // namespace lnk
