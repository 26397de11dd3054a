#include "usb/Hooks.h"

namespace usb {

int TraceHook(const char* /*format*/, ...) {
    return 0;
}

int ErrorHook(const char* /*format*/, ...) {
    return 0;
}

}  // namespace usb
