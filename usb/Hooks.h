#pragma once
// The library's diagnostic hooks. Each takes a printf-style format and the values it
// names (a status code is followed by its StatusText). Neither program shows, prints
// or stores these texts, so both hooks discard them and return 0; they stay as the
// one place a developer would route them somewhere.
namespace usb {

int TraceHook(const char* format, ...);
int ErrorHook(const char* format, ...);

}  // namespace usb
