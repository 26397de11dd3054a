#include "link/DriverTrace.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "link/LinkState.h"
#include "platform/drv/Drv.h"

namespace lnk {

namespace {
constexpr uint32_t kTraceLevel = 3;
constexpr uint32_t kTraceSection = 0x100;
}  // namespace

void DriverTrace(std::string_view text) {
    drv::DebugAddRecord record{};
    const size_t length = std::min(text.size(), sizeof(record.text) - 1);
    std::copy_n(text.begin(), length, record.text);
    record.level = kTraceLevel;
    record.section = kTraceSection;
    const drv::Handle handle = driverHandle.load();
    if (driverOpen.load() && handle != drv::kNoHandle) {
        drv::DrvCall(drv::DrvDebugAdd, handle, &record, sizeof(record), false);
    }
}

void DriverTraceF(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    DriverTrace(text);
}

}  // namespace lnk
