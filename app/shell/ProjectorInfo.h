#pragma once
// What the connection monitor learnt from the attached projector, filled once per attach
// on the window thread and read there by the flash job and the file load. `model7616` and
// `identityShown` live with the link (its attach callback clears `identityShown`).
#include <cstdint>

namespace shell {

constexpr uint32_t kDefaultDisplayWidth = 1024;
constexpr uint32_t kDefaultDisplayHeight = 768;

// The information queries have been sent since the projector attached.
extern bool infoShown;
// The projector's release record packed high byte first: year, month, day, revision.
extern uint32_t deviceRelease;
// The projector reported a logo address the flash job can use.
extern bool logoReady;
// The projector's splash logo address, a device address.
extern uint32_t logoAddress;
// Minutes of use.
extern uint32_t unitLife;
// The projector's resolution; 1024 × 768 until a projector reports one.
extern uint32_t displayWidth;
extern uint32_t displayHeight;

// Back to the values at program start (tests run many windows in one process).
void ResetProjectorInfo();

}  // namespace shell
