#include "app/shell/InfoText.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace shell {
namespace {

constexpr char kRelease[] = "5.2";
constexpr uint32_t kLowestLogoOffset = 0x180000;
constexpr uint32_t kLogoAlignmentMask = 0xFFFF;

int Signed(uint8_t byte) {
    return static_cast<int8_t>(byte);
}

}  // namespace

std::string FormatText(const char* pattern, ...) {
    char buffer[256];
    va_list arguments;
    va_start(arguments, pattern);
    const int length = std::vsnprintf(buffer, sizeof(buffer), pattern, arguments);
    va_end(arguments);
    if (length < 0) {
        return {};
    }
    return std::string(buffer, std::min(static_cast<size_t>(length), sizeof(buffer) - 1));
}

std::string MainCaption(std::string_view designCaption, std::string_view revisionKeyword) {
    std::string_view revision = revisionKeyword;
    if (revision.size() >= 2) {
        revision = revision.substr(1, revision.size() - 2);
    }
    std::string caption(designCaption);
    caption += "   Release: ";
    caption += kRelease;
    caption += "  ";
    caption += revision;
    return caption;
}

std::string TargetLine(uint32_t vendorId, uint32_t productId, uint32_t interfaceNumber,
                       std::string_view manufacturer) {
    return FormatText("Attached:(0x%04X)(0x%04X)(0x%X)", vendorId, productId, interfaceNumber) +
           std::string(manufacturer);
}

std::string SerialLine(uint32_t serialIndex, std::string_view serial) {
    return FormatText("Serial:(0x%X)", serialIndex) + std::string(serial);
}

std::string ConfigLine(const lnk::InfoRecord& record) {
    return FormatText("Config:%d.%d.%d", Signed(record[0]), Signed(record[1]), Signed(record[2]));
}

std::string VersionLine(const lnk::InfoRecord& record) {
    return FormatText("Version:%d.%d.%d.%d", Signed(record[0]), Signed(record[1]),
                      Signed(record[2]), Signed(record[3]));
}

std::string ReleaseLine(const lnk::InfoRecord& record) {
    const char revision = static_cast<char>('A' + record[3]);
    return FormatText("Release:20%02d/%02d/%02d%c", record[0], record[1], record[2], revision);
}

uint32_t PackedRelease(const lnk::InfoRecord& record) {
    return static_cast<uint32_t>(record[0]) << 24 | static_cast<uint32_t>(record[1]) << 16 |
           static_cast<uint32_t>(record[2]) << 8 | record[3];
}

std::string LogoLine(uint32_t logoAddress) {
    return FormatText("Logo:0x%08X ", logoAddress);
}

std::string LifeLine(uint32_t minutes) {
    return FormatText("Life:%04u:%02u", minutes / 60, minutes % 60);
}

std::string ResolutionLine(uint32_t status, uint32_t width, uint32_t height) {
    if (status != 0) {
        return "(DMD Unknown!)";
    }
    return FormatText("(%4dX%4d)", static_cast<int>(width), static_cast<int>(height));
}

bool LogoAddressUsable(uint32_t logoAddress, bool model7616, bool trustModel7616) {
    if (model7616 && trustModel7616) {
        return true;
    }
    const uint32_t offset = logoAddress - kFlashWindowBase;  // wraps below the window
    return offset >= kLowestLogoOffset && (offset & kLogoAlignmentMask) == 0;
}

}  // namespace shell
