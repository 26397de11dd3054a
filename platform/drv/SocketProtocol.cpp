#include "platform/drv/SocketProtocol.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace drv::sock {
namespace {

class ByteWriter {
  public:
    void U8(uint8_t value) { bytes_.push_back(value); }
    void U16(uint16_t value) {
        U8(static_cast<uint8_t>(value));
        U8(static_cast<uint8_t>(value >> 8));
    }
    void U32(uint32_t value) {
        U16(static_cast<uint16_t>(value));
        U16(static_cast<uint16_t>(value >> 16));
    }
    void Bytes(std::span<const uint8_t> data) {
        bytes_.insert(bytes_.end(), data.begin(), data.end());
    }

    // The body with its length prefix in front.
    std::vector<uint8_t> Frame() const {
        ByteWriter frame;
        frame.U32(static_cast<uint32_t>(bytes_.size()));
        frame.Bytes(bytes_);
        return frame.bytes_;
    }

  private:
    std::vector<uint8_t> bytes_;
};

// Reads fields off a body; any read past the end marks the body as bad.
class ByteReader {
  public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint8_t U8() {
        if (position_ + 1 > bytes_.size()) {
            ok_ = false;
            return 0;
        }
        return bytes_[position_++];
    }
    uint16_t U16() {
        const uint16_t low = U8();
        return static_cast<uint16_t>(low | (U8() << 8));
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | (static_cast<uint32_t>(U16()) << 16);
    }
    bool Flag() {
        const uint8_t value = U8();
        ok_ = ok_ && value <= 1;
        return value == 1;
    }
    std::vector<uint8_t> Bytes(size_t count) {
        if (count > bytes_.size() - position_) {
            ok_ = false;
            return {};
        }
        std::vector<uint8_t> data(bytes_.begin() + static_cast<std::ptrdiff_t>(position_),
                                  bytes_.begin() + static_cast<std::ptrdiff_t>(position_ + count));
        position_ += count;
        return data;
    }
    void Require(bool condition) { ok_ = ok_ && condition; }
    // Every field read and nothing left over.
    bool Complete() const { return ok_ && position_ == bytes_.size(); }

  private:
    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
    bool ok_ = true;
};

// ---- Encoding, one function per message ----

void Put(ByteWriter& w, const Hello& m) {
    w.U8(static_cast<uint8_t>(Type::Hello));
    w.U32(m.magic);
    w.U16(m.version);
}

void Put(ByteWriter& w, const DeviceArrived& m) {
    w.U8(static_cast<uint8_t>(Type::DeviceArrived));
    w.U32(m.device);
    w.U16(static_cast<uint16_t>(m.deviceDescriptor.size()));
    w.Bytes(m.deviceDescriptor);
    w.U16(static_cast<uint16_t>(m.configuration.size()));
    w.Bytes(m.configuration);
}

void Put(ByteWriter& w, const DeviceLeft& m) {
    w.U8(static_cast<uint8_t>(Type::DeviceLeft));
    w.U32(m.device);
}

void Put(ByteWriter& w, const SetInterface& m) {
    w.U8(static_cast<uint8_t>(Type::SetInterface));
    w.U32(m.tag);
    w.U32(m.device);
    w.U32(m.interfaceNumber);
    w.U32(m.alternateSetting);
}

void Put(ByteWriter& w, const Transfer& m) {
    w.U8(static_cast<uint8_t>(Type::Transfer));
    w.U32(m.tag);
    w.U32(m.device);
    w.U32(m.interfaceNumber);
    w.U32(m.pipe);
    w.U8(m.read ? 1 : 0);
    w.U32(m.length);
    w.U8(m.setup ? 1 : 0);
    w.Bytes(m.setup.value_or(std::array<uint8_t, 8>{}));
    w.U32(m.timeoutMs);
    w.U32(static_cast<uint32_t>(m.out.size()));
    w.Bytes(m.out);
}

void Put(ByteWriter& w, const Reply& m) {
    w.U8(static_cast<uint8_t>(Type::Reply));
    w.U32(m.tag);
    w.U32(m.status);
    w.U32(m.done);
    w.U32(static_cast<uint32_t>(m.in.size()));
    w.Bytes(m.in);
}

// ---- Decoding: every field checked against what the other side may send ----

bool IsDeviceDescriptor(const std::vector<uint8_t>& d) {
    return d.size() == kDeviceDescriptorSize && d[0] == kDeviceDescriptorSize && d[1] == 1;
}

bool IsConfigurationHeader(const std::vector<uint8_t>& c) {
    return c.size() >= 9 && c.size() <= kMaxConfiguration && c[0] >= 9 && c[1] == 2 &&
           static_cast<size_t>(c[2] | (c[3] << 8)) == c.size();
}

Message Take(ByteReader& r, Type type) {
    switch (type) {
        case Type::Hello: {
            Hello m;
            m.magic = r.U32();
            m.version = r.U16();
            r.Require(m.magic == kMagic && m.version == kVersion);
            return m;
        }
        case Type::DeviceArrived: {
            DeviceArrived m;
            m.device = r.U32();
            m.deviceDescriptor = r.Bytes(r.U16());
            m.configuration = r.Bytes(r.U16());
            r.Require(m.device != 0 && IsDeviceDescriptor(m.deviceDescriptor) &&
                      IsConfigurationHeader(m.configuration));
            return m;
        }
        case Type::DeviceLeft: {
            DeviceLeft m;
            m.device = r.U32();
            r.Require(m.device != 0);
            return m;
        }
        case Type::SetInterface: {
            SetInterface m;
            m.tag = r.U32();
            m.device = r.U32();
            m.interfaceNumber = r.U32();
            m.alternateSetting = r.U32();
            r.Require(m.tag != 0 && m.interfaceNumber <= 0xFF && m.alternateSetting <= 0xFF);
            return m;
        }
        case Type::Transfer: {
            Transfer m;
            m.tag = r.U32();
            m.device = r.U32();
            m.interfaceNumber = r.U32();
            m.pipe = r.U32();
            m.read = r.Flag();
            m.length = r.U32();
            const bool hasSetup = r.Flag();
            const std::vector<uint8_t> setup = r.Bytes(8);
            if (hasSetup && setup.size() == 8) {
                m.setup.emplace();
                std::memcpy(m.setup->data(), setup.data(), 8);
            }
            m.timeoutMs = r.U32();
            const uint32_t outLength = r.U32();
            r.Require(m.tag != 0 && m.interfaceNumber <= 0xFF && m.pipe <= 0xFF &&
                      m.length <= kMaxData && outLength == (m.read ? 0 : m.length));
            m.out = r.Bytes(std::min(outLength, kMaxData));
            return m;
        }
        case Type::Reply: {
            Reply m;
            m.tag = r.U32();
            m.status = r.U32();
            m.done = r.U32();
            const uint32_t inLength = r.U32();
            r.Require(m.tag != 0 && inLength <= kMaxData);
            m.in = r.Bytes(std::min(inLength, kMaxData));
            return m;
        }
    }
    r.Require(false);
    return Hello{};
}

}  // namespace

std::vector<uint8_t> Encode(const Message& message) {
    ByteWriter writer;
    std::visit([&](const auto& m) { Put(writer, m); }, message);
    return writer.Frame();
}

std::optional<Message> Decode(std::span<const uint8_t> body) {
    ByteReader reader(body);
    const uint8_t type = reader.U8();
    if (type < static_cast<uint8_t>(Type::Hello) || type > static_cast<uint8_t>(Type::Reply)) {
        return std::nullopt;
    }
    Message message = Take(reader, static_cast<Type>(type));
    if (!reader.Complete()) {
        return std::nullopt;
    }
    return message;
}

// ---- FrameReader ----

void FrameReader::Append(std::span<const uint8_t> bytes) {
    if (broken_) {
        return;
    }
    // Drop what was handed out before the buffer grows again.
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > kMaxBody) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<std::vector<uint8_t>> FrameReader::Next() {
    if (broken_ || buffer_.size() - start_ < 4) {
        return std::nullopt;
    }
    const uint8_t* p = buffer_.data() + start_;
    const uint32_t length = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    if (length == 0 || length > kMaxBody) {
        broken_ = true;
        buffer_.clear();
        start_ = 0;
        return std::nullopt;
    }
    if (buffer_.size() - start_ - 4 < length) {
        return std::nullopt;
    }
    std::vector<uint8_t> body(p + 4, p + 4 + length);
    start_ += 4 + length;
    return body;
}

// ---- The socket ----

std::string DefaultSocketPath() {
    if (const char* path = std::getenv("OSTREL_SIM_SOCKET"); path != nullptr && *path != '\0') {
        return path;
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && *runtime == '/') {
        return std::string(runtime) + "/ostrel-sim.sock";
    }
    return "/tmp/ostrel-sim-" + std::to_string(::getuid()) + ".sock";
}

bool SendAll(int fd, std::span<const uint8_t> bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool PeerIsThisUser(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        return false;
    }
    return credentials.uid == ::getuid();
}

int ConnectToSimulator(const std::string& path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return -1;
    }
    // In a shared folder such as /tmp another user could have put a socket of their
    // own at our path: talk only to a socket of ours, served by a process of ours.
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) || info.st_uid != ::getuid()) {
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0 || !PeerIsThisUser(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace drv::sock
