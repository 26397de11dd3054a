#pragma once
// What both programs do at start before they make their windows.
#include <string>

namespace shell {

// Sets the application title and the program icon, and adds the device buses the driver
// watches besides the in-process one: virtual projectors of `ostrel-sim` on this machine
// (without a simulator that bus is simply empty) and the projector on real USB.
void StartProgram(const std::string& title);

}  // namespace shell
