#pragma once
// Short trace lines of the link, sent to the kernel driver's debug log on the link's own
// driver handle. Before that handle is open (and after it is closed) nothing is sent.
#include <string_view>

namespace lnk {

// Sends at most 255 characters of `text`.
void DriverTrace(std::string_view text);

// printf-style formatting into one trace line.
void DriverTraceF(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace lnk
