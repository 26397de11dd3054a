#include "platform/vcl/core/ScreenDepth.h"

#include <mutex>

namespace vcl {
namespace {

constexpr int kNoOverride = 0;
constexpr int kTrueColour = 32;

std::mutex depthMutex;
std::function<int()> depthSource;
int depthOverride = kNoOverride;

}  // namespace

int ScreenColorDepth() {
    std::function<int()> source;
    {
        std::lock_guard lock(depthMutex);
        if (depthOverride != kNoOverride) {
            return depthOverride;
        }
        source = depthSource;
    }
    return source ? source() : kTrueColour;
}

void SetScreenColorDepthSource(std::function<int()> source) {
    std::lock_guard lock(depthMutex);
    depthSource = std::move(source);
}

ScreenDepthOverride::ScreenDepthOverride(int bitsPerPixel) {
    std::lock_guard lock(depthMutex);
    previous_ = depthOverride;
    depthOverride = bitsPerPixel;
}

ScreenDepthOverride::~ScreenDepthOverride() {
    std::lock_guard lock(depthMutex);
    depthOverride = previous_;
}

}  // namespace vcl
