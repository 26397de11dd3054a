#include "platform/vcl/core/Program.h"

#include <cstdio>
#include <cstdlib>

namespace vcl {

void Halt(int exitCode) {
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

}  // namespace vcl
