// Bytes from a simulator socket: the frame reader cuts any stream into bodies within the
// limits whatever the chunking, and every body that decodes encodes back into a frame that
// decodes to the same message.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "platform/drv/SocketProtocol.h"

namespace {

void CheckRoundTrip(std::span<const uint8_t> body) {
    const auto message = drv::sock::Decode(body);
    if (!message) {
        return;
    }
    const std::vector<uint8_t> frame = drv::sock::Encode(*message);
    if (frame.size() < 4) {
        std::abort();
    }
    const auto again = drv::sock::Decode(std::span<const uint8_t>(frame).subspan(4));
    if (!again || !(*again == *message)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The whole input as one body, at its exact size for the sanitizer.
    const std::vector<uint8_t> body(data, data + size);
    CheckRoundTrip(body);

    // The input as a stream, in chunks of a size taken from its first byte.
    if (size == 0) {
        return 0;
    }
    const size_t chunk = 1 + data[0] % 17;
    drv::sock::FrameReader reader;
    size_t framed = 0;
    for (size_t at = 1; at < size; at += chunk) {
        const size_t n = std::min(chunk, size - at);
        reader.Append(std::span<const uint8_t>(data + at, n));
        while (auto next = reader.Next()) {
            if (next->empty() || next->size() > drv::sock::kMaxBody) {
                std::abort();
            }
            framed += 4 + next->size();
            CheckRoundTrip(*next);
        }
    }
    if (framed > size - 1) {
        std::abort();
    }
    return 0;
}
