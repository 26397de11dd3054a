#pragma once
// Keeps the window thread's event loop running for a while (timers fire, boxes close),
// as a person pausing in front of a message box would; elsewhere it simply waits.
#include <cstdint>

namespace vcl {

void PumpQtEvents(uint32_t clockMs);

}  // namespace vcl
