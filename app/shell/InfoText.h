#pragma once
// The texts of the connection monitor's lines and of the windows' captions, built from
// the values the projector reports. Pure functions: no link, no toolkit.
#include <cstdint>
#include <string>
#include <string_view>

#include "link/Commands.h"

namespace shell {

// printf into a std::string (lines of up to 255 characters).
[[gnu::format(printf, 1, 2)]] std::string FormatText(const char* pattern, ...);

// "Projector Ostrel  " + "   Release: 5.2  " + the revision keyword without its first and
// last character ("$Revision: 1.24H3 $" gives "Revision: 1.24H3 ").
std::string MainCaption(std::string_view designCaption, std::string_view revisionKeyword);

// "Attached:(0x1501)(0x5010)(0x0)" immediately followed by the manufacturer string.
std::string TargetLine(uint32_t vendorId, uint32_t productId, uint32_t interfaceNumber,
                       std::string_view manufacturer);
// "Serial:(0x3)SIM-000001".
std::string SerialLine(uint32_t serialIndex, std::string_view serial);
// The first three bytes of the configuration record, each as a signed 8-bit number.
std::string ConfigLine(const lnk::InfoRecord& record);
// The four bytes of the version record, each as a signed 8-bit number.
std::string VersionLine(const lnk::InfoRecord& record);
// "Release:2007/03/01C" of the record 7, 3, 1, 2.
std::string ReleaseLine(const lnk::InfoRecord& record);
// The release record packed high byte first: year, month, day, revision.
uint32_t PackedRelease(const lnk::InfoRecord& record);
// "Logo:0xFE380000 " (with its trailing blank).
std::string LogoLine(uint32_t logoAddress);
// "Life:0002:05" for 125 minutes: hours, then minutes.
std::string LifeLine(uint32_t minutes);
// "(1024X 768)"; "(DMD Unknown!)" when the resolution query failed.
std::string ResolutionLine(uint32_t status, uint32_t width, uint32_t height);

// The device address at which flash offset 0 lies on every model but the 0x7616 one.
constexpr uint32_t kFlashWindowBase = 0xFE200000;
// A logo address the flash job can use: it lies at least 0x180000 into the flash window
// and on a 64 KiB boundary (the erase works in whole sectors). 0x7616 projectors place
// their logo elsewhere and are taken at their word when `trustModel7616` is set.
bool LogoAddressUsable(uint32_t logoAddress, bool model7616, bool trustModel7616);

}  // namespace shell
