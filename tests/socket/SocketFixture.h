#pragma once
// Helpers for the simulator socket tests: a private folder for the socket, a bus
// listener that records what it hears, and a raw peer that speaks (or breaks) the
// protocol by hand, in the place of a simulator or of a driver.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/drv/Bus.h"
#include "platform/drv/SocketProtocol.h"

namespace socktest {

namespace sock = drv::sock;

// Waits (real time, bounded) until `done` holds.
template <typename Pred>
bool WaitUntil(Pred done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A folder of its own for each test, so no test ever meets a user's simulator.
class TempFolder {
  public:
    TempFolder() {
        char pattern[] = "/tmp/ostrel-socket-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

class RecordingListener final : public drv::BusListener {
  public:
    void Arrived(const std::shared_ptr<drv::BusDevice>& device) override {
        std::lock_guard lock(mutex_);
        present_.push_back(device);
        ++arrivals_;
    }
    void Left(const std::shared_ptr<drv::BusDevice>& device) override {
        std::lock_guard lock(mutex_);
        std::erase(present_, device);
        ++departures_;
    }
    std::vector<std::shared_ptr<drv::BusDevice>> Present() const {
        std::lock_guard lock(mutex_);
        return present_;
    }
    size_t Count() const { return Present().size(); }
    int Arrivals() const {
        std::lock_guard lock(mutex_);
        return arrivals_;
    }
    int Departures() const {
        std::lock_guard lock(mutex_);
        return departures_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<drv::BusDevice>> present_;
    int arrivals_ = 0;
    int departures_ = 0;
};

// One end of a connection, driven by hand.
class RawPeer {
  public:
    explicit RawPeer(int fd) : fd_(fd) {}
    ~RawPeer() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    static std::unique_ptr<RawPeer> Connect(const std::string& path) {
        const int fd = sock::ConnectToSimulator(path);
        return fd < 0 ? nullptr : std::make_unique<RawPeer>(fd);
    }

    bool SendBytes(const std::vector<uint8_t>& bytes) { return sock::SendAll(fd_, bytes); }
    bool Send(const sock::Message& message) { return SendBytes(sock::Encode(message)); }

    // The next message, waiting up to `ms` real milliseconds.
    std::optional<sock::Message> Receive(int ms = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (true) {
            if (auto body = frames_.Next()) {
                return sock::Decode(*body);
            }
            if (!Read(end)) {
                return std::nullopt;
            }
        }
    }

    // True once the other side has closed the connection (within `ms` real ms).
    bool Closed(int ms = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (Read(end)) {
        }
        return closed_;
    }

  private:
    bool Read(std::chrono::steady_clock::time_point end) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd watched{fd_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&watched, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        uint8_t chunk[4096];
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got <= 0) {
            closed_ = true;
            return false;
        }
        frames_.Append(std::span(chunk, static_cast<size_t>(got)));
        return true;
    }

    int fd_;
    sock::FrameReader frames_;
    bool closed_ = false;
};

// A listening socket standing in for a simulator.
class RawSimulator {
  public:
    explicit RawSimulator(std::string path) : path_(std::move(path)) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        ::unlink(path_.c_str());
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd_, 4), 0);
    }
    ~RawSimulator() {
        ::close(fd_);
        ::unlink(path_.c_str());
    }

    // The next driver that connects, greeted, with its greeting read.
    std::unique_ptr<RawPeer> Accept(int ms = 5000) {
        pollfd watched{fd_, POLLIN, 0};
        if (::poll(&watched, 1, ms) <= 0) {
            return nullptr;
        }
        auto peer = std::make_unique<RawPeer>(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
        const auto hello = peer->Receive();
        EXPECT_TRUE(hello && std::holds_alternative<sock::Hello>(*hello));
        return peer;
    }

  private:
    std::string path_;
    int fd_;
};

}  // namespace socktest
