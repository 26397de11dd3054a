#pragma once
// The wire between simulator processes (which serve virtual devices) and the driver's
// socket bus (which reports them as devices on a bus): a per-user Unix stream socket
// carrying length-prefixed frames.
//
// Frame: a 32-bit little-endian body length, then the body: one type byte and the
// fields of that type, every number little-endian. Bodies are at most kMaxBody bytes;
// a peer that announces a longer one, or sends a body that does not decode exactly
// (unknown type, a field out of range, a byte too many or too few), is disconnected.
//
// Conversation: both sides send Hello first. The simulator then announces its devices
// (DeviceArrived, DeviceLeft); the driver sends requests (SetInterface, Transfer), each
// with a tag of its choosing, and the simulator answers each with a Reply carrying that
// tag. Requests may overlap: replies come in the order the devices finish, not the
// order of the requests.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace drv::sock {

inline constexpr uint32_t kMagic = 0x4D49534F;  // "OSIM"
inline constexpr uint16_t kVersion = 1;
// The longest frame body either side accepts.
inline constexpr uint32_t kMaxBody = 64 * 1024;
// The most data one transfer carries; leaves room for the fields around it.
inline constexpr uint32_t kMaxData = kMaxBody - 64;
// The longest configuration descriptor a device may announce.
inline constexpr uint32_t kMaxConfiguration = 4096;
inline constexpr size_t kDeviceDescriptorSize = 18;

enum class Type : uint8_t {
    Hello = 1,
    DeviceArrived = 2,
    DeviceLeft = 3,
    SetInterface = 4,
    Transfer = 5,
    Reply = 6,
};

struct Hello {
    uint32_t magic = kMagic;
    uint16_t version = kVersion;
    bool operator==(const Hello&) const = default;
};

// Device ids are chosen by the simulator, never 0, unique while the device is present.
struct DeviceArrived {
    uint32_t device = 0;
    std::vector<uint8_t> deviceDescriptor;  // exactly 18 bytes
    std::vector<uint8_t> configuration;     // the whole configuration descriptor
    bool operator==(const DeviceArrived&) const = default;
};

struct DeviceLeft {
    uint32_t device = 0;
    bool operator==(const DeviceLeft&) const = default;
};

struct SetInterface {
    uint32_t tag = 0;
    uint32_t device = 0;
    uint32_t interfaceNumber = 0;
    uint32_t alternateSetting = 0;
    bool operator==(const SetInterface&) const = default;
};

struct Transfer {
    uint32_t tag = 0;
    uint32_t device = 0;
    uint32_t interfaceNumber = 0;
    uint32_t pipe = 0;  // endpoint address, 0..255
    bool read = false;
    uint32_t length = 0;  // at most kMaxData
    std::optional<std::array<uint8_t, 8>> setup;
    uint32_t timeoutMs = 0;
    std::vector<uint8_t> out;  // a write's `length` bytes; empty for a read
    bool operator==(const Transfer&) const = default;
};

struct Reply {
    uint32_t tag = 0;
    uint32_t status = 0;
    uint32_t done = 0;        // bytes moved
    std::vector<uint8_t> in;  // the bytes a read received (`done` of them)
    bool operator==(const Reply&) const = default;
};

using Message = std::variant<Hello, DeviceArrived, DeviceLeft, SetInterface, Transfer, Reply>;

// The whole frame: length prefix and body. Encoding never fails; a message whose
// fields break the limits encodes into a frame the other side refuses.
std::vector<uint8_t> Encode(const Message& message);

// Decodes one frame body; nothing when it is not exactly one valid message.
std::optional<Message> Decode(std::span<const uint8_t> body);

// Cuts a byte stream into frame bodies.
class FrameReader {
  public:
    // Adds bytes received from the peer.
    void Append(std::span<const uint8_t> bytes);
    // The next complete body, if one has arrived. Once Broken(), nothing more.
    std::optional<std::vector<uint8_t>> Next();
    // The peer announced an empty or an oversized body: the stream cannot be trusted.
    bool Broken() const { return broken_; }

  private:
    std::vector<uint8_t> buffer_;
    size_t start_ = 0;  // first byte not yet handed out
    bool broken_ = false;
};

// ---- The socket itself ----

// Where simulators listen for this user: $OSTREL_SIM_SOCKET when set, else
// $XDG_RUNTIME_DIR/ostrel-sim.sock, else /tmp/ostrel-sim-<uid>.sock.
std::string DefaultSocketPath();

// Writes all bytes (never raising SIGPIPE). False when the connection failed.
bool SendAll(int fd, std::span<const uint8_t> bytes);

// Connects to a simulator's socket; -1 when there is none or it cannot be trusted: the
// path must be a socket owned by this user, and the process behind it must run as
// this user. The descriptor is close-on-exec.
int ConnectToSimulator(const std::string& path);

// True when the process at the other end of a connected socket runs as this user.
bool PeerIsThisUser(int fd);

}  // namespace drv::sock
