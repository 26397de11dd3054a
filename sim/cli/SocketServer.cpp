#include "sim/cli/SocketServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/drv/DrvStatus.h"

namespace sim::cli {

namespace sock = drv::sock;

namespace {

// A send that cannot go out for this long means the driver stopped reading.
constexpr int kSendTimeoutSeconds = 10;

sockaddr_un AddressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    return address;
}

// Whether a simulator answers at `path` right now.
bool SomeoneListens(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const sockaddr_un address = AddressOf(path);
    const bool listens =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return listens;
}

sock::Reply RunTransfer(drv::BusDevice* device, const sock::Transfer& request) {
    sock::Reply reply;
    reply.tag = request.tag;
    if (device == nullptr) {
        reply.status = drv::kDeviceNotFound;
        return reply;
    }
    std::vector<uint8_t> buffer = request.read ? std::vector<uint8_t>(request.length) : request.out;
    uint32_t done = 0;
    reply.status = device->Transfer(
        request.interfaceNumber, request.pipe, request.read, buffer.data(), request.length, &done,
        request.setup ? request.setup->data() : nullptr, request.timeoutMs);
    // Never report more than was asked for, whatever the device says.
    reply.done = std::min(done, request.length);
    if (request.read) {
        buffer.resize(reply.done);
        reply.in = std::move(buffer);
    }
    return reply;
}

}  // namespace

// One connected driver. Sends come from the server thread (announcements) and from
// request threads (replies); they go out one frame at a time.
class SocketServer::Client {
  public:
    explicit Client(int fd) : fd_(fd) {
        const timeval sendTimeout{kSendTimeoutSeconds, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
    }
    ~Client() { Close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    int Socket() const { return fd_; }

    // A frame that cannot go out in full leaves the stream broken: the connection is
    // shut, and the server thread drops it when it sees the end.
    void Send(std::span<const uint8_t> frame) {
        std::lock_guard lock(sendMutex_);
        const int fd = fd_;
        if (fd >= 0 && !sock::SendAll(fd, frame)) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }

    void Close() {
        // Shutting down first wakes a send blocked on a driver that stopped reading.
        if (const int fd = fd_; fd >= 0) {
            ::shutdown(fd, SHUT_RDWR);
        }
        std::lock_guard lock(sendMutex_);
        if (const int fd = fd_.exchange(-1); fd >= 0) {
            ::close(fd);
        }
    }

  private:
    std::mutex sendMutex_;  // one frame at a time; guards closing the descriptor
    std::atomic<int> fd_;
};

SocketServer::SocketServer(std::string path) : path_(std::move(path)) {}

SocketServer::~SocketServer() {
    Stop();
}

bool SocketServer::Start(std::string& error) {
    if (thread_.joinable()) {
        return true;
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    wakeRead_ = ends[0];
    wakeWrite_ = ends[1];
    if (!Bind(error)) {
        ::close(wakeRead_);
        ::close(wakeWrite_);
        wakeRead_ = wakeWrite_ = -1;
        return false;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

bool SocketServer::Bind(std::string& error) {
    if (path_.empty() || path_.size() >= sizeof(sockaddr_un::sun_path)) {
        error = "socket path is empty or too long: " + path_;
        return false;
    }
    struct stat info {};
    if (::lstat(path_.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode) || info.st_uid != ::getuid()) {
            error = path_ + " exists and is not a socket of this user";
            return false;
        }
        if (SomeoneListens(path_)) {
            error = "another simulator is already serving " + path_;
            return false;
        }
        ::unlink(path_.c_str());  // left behind by a simulator that died
    }
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = AddressOf(path_);
    // Nobody can connect before listen(), so tightening the file's mode between bind
    // and listen leaves no window for another user.
    if (listenFd_ < 0 ||
        ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path_.c_str(), S_IRUSR | S_IWUSR) != 0 || ::lstat(path_.c_str(), &info) != 0 ||
        ::listen(listenFd_, 4) != 0) {
        error = "cannot serve on " + path_ + ": " + std::strerror(errno);
        if (listenFd_ >= 0) {
            ::close(listenFd_);
            listenFd_ = -1;
        }
        return false;
    }
    socketInode_ = info.st_ino;
    return true;
}

void SocketServer::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &wake, 1);
    thread_.join();
    DropClient();
    newcomers_.clear();
    ReapWorkers(true);
    ::close(listenFd_);
    listenFd_ = -1;
    struct stat info {};
    if (::lstat(path_.c_str(), &info) == 0 && info.st_ino == socketInode_) {
        ::unlink(path_.c_str());
    }
    ::close(wakeRead_);
    ::close(wakeWrite_);
    wakeRead_ = wakeWrite_ = -1;
}

void SocketServer::Plug(const std::shared_ptr<drv::BusDevice>& device) {
    if (!device) {
        return;
    }
    sock::DeviceArrived arrived;
    arrived.deviceDescriptor = device->DeviceDescriptor();
    arrived.configuration = device->ConfigurationDescriptor();
    std::lock_guard lock(mutex_);
    if (std::any_of(devices_.begin(), devices_.end(),
                    [&](const Entry& e) { return e.device == device; })) {
        return;
    }
    arrived.device = nextId_++;
    if (nextId_ == 0) {
        nextId_ = 1;
    }
    devices_.push_back(Entry{arrived.device, device, sock::Encode(arrived)});
    if (client_) {
        client_->Send(devices_.back().announcement);
    }
}

void SocketServer::Unplug(const std::shared_ptr<drv::BusDevice>& device) {
    std::lock_guard lock(mutex_);
    auto found = std::find_if(devices_.begin(), devices_.end(),
                              [&](const Entry& e) { return e.device == device; });
    if (found == devices_.end()) {
        return;
    }
    const uint32_t id = found->id;
    devices_.erase(found);
    if (client_) {
        client_->Send(sock::Encode(sock::DeviceLeft{id}));
    }
}

void SocketServer::SetConnectionObserver(std::function<void(bool)> observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

bool SocketServer::HasDriver() const {
    std::lock_guard lock(mutex_);
    return client_ != nullptr;
}

// ---- The server thread ----

void SocketServer::Run() {
    while (true) {
        std::shared_ptr<Client> driver;
        {
            std::lock_guard lock(mutex_);
            driver = client_;
        }
        std::vector<pollfd> watched = {{wakeRead_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        watched.push_back({driver ? driver->Socket() : -1, POLLIN, 0});  // -1 is skipped
        for (const Newcomer& newcomer : newcomers_) {
            watched.push_back({newcomer.client->Socket(), POLLIN, 0});
        }
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (watched[0].revents != 0) {
            break;
        }
        if (watched[2].revents != 0) {
            ReceiveFromDriver();
        }
        // From the back, so that a newcomer leaving the list moves none still to visit.
        for (size_t i = newcomers_.size(); i-- > 0;) {
            if (watched[3 + i].revents != 0) {
                ReceiveFromNewcomer(i);
            }
        }
        if (watched[1].revents != 0) {
            Accept();
        }
        ReapWorkers(false);
    }
}

namespace {

// Reads what has arrived on `client` into `frames`. False when the peer has gone.
bool ReadInto(int fd, sock::FrameReader& frames) {
    uint8_t chunk[16 * 1024];
    ssize_t got;
    do {
        got = ::recv(fd, chunk, sizeof chunk, 0);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        return false;
    }
    frames.Append(std::span(chunk, static_cast<size_t>(got)));
    return true;
}

}  // namespace

void SocketServer::Accept() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    if (!sock::PeerIsThisUser(fd)) {
        ::close(fd);
        return;
    }
    if (newcomers_.size() >= kMaxNewcomers) {
        newcomers_.erase(newcomers_.begin());
    }
    auto client = std::make_shared<Client>(fd);
    client->Send(sock::Encode(sock::Hello{}));
    newcomers_.push_back(Newcomer{std::move(client), {}});
}

void SocketServer::ReceiveFromNewcomer(size_t index) {
    Newcomer& newcomer = newcomers_[index];
    if (!ReadInto(newcomer.client->Socket(), newcomer.frames)) {
        newcomers_.erase(newcomers_.begin() + static_cast<std::ptrdiff_t>(index));
        return;
    }
    const auto body = newcomer.frames.Next();
    if (!body) {
        if (newcomer.frames.Broken()) {
            newcomers_.erase(newcomers_.begin() + static_cast<std::ptrdiff_t>(index));
        }
        return;  // the greeting has not arrived in full yet
    }
    const auto message = sock::Decode(*body);
    if (message && std::holds_alternative<sock::Hello>(*message)) {
        Promote(index);
    } else {
        newcomers_.erase(newcomers_.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

void SocketServer::Promote(size_t index) {
    Newcomer newcomer = std::move(newcomers_[index]);
    newcomers_.erase(newcomers_.begin() + static_cast<std::ptrdiff_t>(index));
    DropClient();  // the new driver replaces the old one
    frames_ = std::move(newcomer.frames);
    ++connections_;
    {
        std::lock_guard lock(mutex_);
        client_ = newcomer.client;
        for (const Entry& entry : devices_) {
            client_->Send(entry.announcement);
        }
    }
    Notify(true);
    HandleDriverFrames();  // requests that came right behind the greeting
}

void SocketServer::ReceiveFromDriver() {
    std::shared_ptr<Client> client;
    {
        std::lock_guard lock(mutex_);
        client = client_;
    }
    if (!client) {
        return;
    }
    if (!ReadInto(client->Socket(), frames_)) {
        DropClient();
        return;
    }
    HandleDriverFrames();
}

void SocketServer::HandleDriverFrames() {
    while (auto body = frames_.Next()) {
        auto message = sock::Decode(*body);
        if (!message || !Handle(std::move(*message))) {
            DropClient();
            return;
        }
    }
    if (frames_.Broken()) {
        DropClient();
    }
}

bool SocketServer::Handle(sock::Message message) {
    if (auto* request = std::get_if<sock::SetInterface>(&message)) {
        auto device = Find(request->device);
        const sock::SetInterface r = *request;
        Dispatch(
            [device, r] {
                sock::Reply reply;
                reply.tag = r.tag;
                reply.status = device ? device->SetInterface(r.interfaceNumber, r.alternateSetting)
                                      : drv::kDeviceNotFound;
                return reply;
            },
            r.tag);
        return true;
    }
    if (auto* request = std::get_if<sock::Transfer>(&message)) {
        auto device = Find(request->device);
        const uint32_t tag = request->tag;
        Dispatch([device, r = std::move(*request)] { return RunTransfer(device.get(), r); }, tag);
        return true;
    }
    return false;  // drivers send nothing else after their greeting
}

void SocketServer::Dispatch(std::function<sock::Reply()> work, uint32_t tag) {
    std::shared_ptr<Client> client;
    {
        std::lock_guard lock(mutex_);
        client = client_;
    }
    if (!client) {
        return;
    }
    if (workers_.size() >= kMaxRequestsInFlight) {
        ReapWorkers(false);
    }
    if (workers_.size() >= kMaxRequestsInFlight) {
        sock::Reply busy;
        busy.tag = tag;
        busy.status = drv::kInsufficientResources;
        client->Send(sock::Encode(busy));
        return;
    }
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([client, finished, work = std::move(work)] {
        // A driver that was replaced meanwhile gets nothing: its socket is closed.
        client->Send(sock::Encode(work()));
        *finished = true;
    });
    workers_.push_back(Worker{std::move(thread), finished});
}

void SocketServer::DropClient() {
    std::shared_ptr<Client> client;
    {
        std::lock_guard lock(mutex_);
        client.swap(client_);
    }
    if (client) {
        client->Close();
        Notify(false);
    }
}

void SocketServer::ReapWorkers(bool all) {
    for (auto worker = workers_.begin(); worker != workers_.end();) {
        if (all || *worker->finished) {
            worker->thread.join();
            worker = workers_.erase(worker);
        } else {
            ++worker;
        }
    }
}

std::shared_ptr<drv::BusDevice> SocketServer::Find(uint32_t id) const {
    std::lock_guard lock(mutex_);
    for (const Entry& entry : devices_) {
        if (entry.id == id) {
            return entry.device;
        }
    }
    return nullptr;
}

void SocketServer::Notify(bool connected) {
    std::function<void(bool)> observer;
    {
        std::lock_guard lock(mutex_);
        observer = observer_;
    }
    if (observer) {
        observer(connected);
    }
}

}  // namespace sim::cli
