// The simulator socket's frames: every message survives the trip, and anything a peer
// could send that is not exactly one valid message is refused.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/drv/SocketProtocol.h"
#include "sim/Descriptors.h"

namespace {

namespace sock = drv::sock;

std::vector<uint8_t> Body(const sock::Message& message) {
    std::vector<uint8_t> frame = sock::Encode(message);
    return {frame.begin() + 4, frame.end()};
}

sock::DeviceArrived SomeDevice() {
    const auto descriptors = sim::BuildDescriptors(sim::Identity{}, sim::Mode::Application);
    return sock::DeviceArrived{7, descriptors.device, descriptors.configuration};
}

sock::Transfer SomeWrite() {
    sock::Transfer t;
    t.tag = 3;
    t.device = 7;
    t.pipe = 0x01;
    t.length = 9;
    t.timeoutMs = 30000;
    t.out = {0x04, 0x01, 0x00, 0x03, 0x00, 0x34, 0x00, 0x02, 0x3a};
    return t;
}

TEST(SocketProtocol, EveryMessageSurvivesTheTrip) {
    sock::Transfer control;
    control.tag = 0xFFFFFFFF;
    control.device = 1;
    control.read = true;
    control.length = 18;
    control.setup = std::array<uint8_t, 8>{0x80, 0x06, 0x00, 0x01, 0x00, 0x00, 0x12, 0x00};
    const sock::Message messages[] = {
        sock::Hello{},
        SomeDevice(),
        sock::DeviceLeft{7},
        sock::SetInterface{1, 7, 0, 0},
        SomeWrite(),
        control,
        sock::Reply{3, 0, 9, {}},
        sock::Reply{4, 0x20000015, 2, {0xAB, 0xCD}},
    };
    for (const auto& message : messages) {
        const auto decoded = sock::Decode(Body(message));
        ASSERT_TRUE(decoded.has_value()) << "message kind " << message.index();
        EXPECT_EQ(*decoded, message) << "message kind " << message.index();
    }
}

TEST(SocketProtocol, RefusesWhatIsNotExactlyOneValidMessage) {
    struct Case {
        const char* name;
        std::function<std::vector<uint8_t>()> body;
    };
    const auto patched = [](sock::Message message, size_t at, uint8_t value) {
        return [=] {
            auto body = Body(message);
            body.at(at) = value;
            return body;
        };
    };
    const auto edited = [](auto message, auto edit) {
        return [=]() mutable {
            edit(message);
            return Body(message);
        };
    };
    const Case cases[] = {
        {"empty body", [] { return std::vector<uint8_t>{}; }},
        {"unknown type",
         [] {
             return std::vector<uint8_t>{0x09, 0, 0, 0, 0};
         }},
        {"type 0", [] { return std::vector<uint8_t>{0x00}; }},
        {"truncated",
         [] {
             auto body = Body(SomeWrite());
             body.pop_back();
             return body;
         }},
        {"a byte too many",
         [] {
             auto body = Body(sock::DeviceLeft{7});
             body.push_back(0);
             return body;
         }},
        {"foreign greeting", patched(sock::Hello{}, 1, 'X')},
        {"other version", patched(sock::Hello{}, 5, 9)},
        {"device id 0", edited(SomeDevice(), [](auto& m) { m.device = 0; })},
        {"short device descriptor",
         edited(SomeDevice(), [](auto& m) { m.deviceDescriptor.pop_back(); })},
        {"not a device descriptor",
         edited(SomeDevice(), [](auto& m) { m.deviceDescriptor[1] = 2; })},
        {"configuration total length differs",
         edited(SomeDevice(), [](auto& m) { m.configuration.push_back(0); })},
        {"not a configuration", edited(SomeDevice(), [](auto& m) { m.configuration[1] = 4; })},
        {"configuration too long", edited(SomeDevice(),
                                          [](auto& m) {
                                              m.configuration.resize(sock::kMaxConfiguration + 1);
                                              m.configuration[2] = 0x01;
                                              m.configuration[3] = 0x10;
                                          })},
        {"read flag 2", patched(SomeWrite(), 17, 2)},
        {"setup flag 2", patched(SomeWrite(), 22, 2)},
        {"pipe beyond 255", edited(SomeWrite(), [](auto& m) { m.pipe = 0x100; })},
        {"interface beyond 255", edited(SomeWrite(), [](auto& m) { m.interfaceNumber = 256; })},
        {"write carries less than its length", edited(SomeWrite(), [](auto& m) { m.length = 10; })},
        {"read carries data", edited(SomeWrite(), [](auto& m) { m.read = true; })},
        {"transfer too long", edited(SomeWrite(),
                                     [](auto& m) {
                                         m.length = sock::kMaxData + 1;
                                         m.out.resize(m.length);
                                     })},
        {"request tag 0", edited(SomeWrite(), [](auto& m) { m.tag = 0; })},
        {"reply tag 0",
         [] {
             return Body(sock::Reply{0, 0, 0, {}});
         }},
        {"reply data length beyond the body",
         [] {
             auto body = Body(sock::Reply{1, 0, 1, {0x55}});
             body[13] = 0x10;
             return body;
         }},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(sock::Decode(c.body()).has_value()) << c.name;
    }
}

TEST(FrameReader, CutsAStreamArrivingInPiecesIntoFrames) {
    std::vector<uint8_t> stream;
    const sock::Message messages[] = {sock::Hello{}, SomeDevice(), SomeWrite(),
                                      sock::DeviceLeft{7}};
    for (const auto& message : messages) {
        const auto frame = sock::Encode(message);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    sock::FrameReader reader;
    std::vector<sock::Message> received;
    for (const uint8_t byte : stream) {  // the worst case: one byte at a time
        reader.Append(std::span(&byte, 1));
        while (auto body = reader.Next()) {
            auto message = sock::Decode(*body);
            ASSERT_TRUE(message.has_value());
            received.push_back(*message);
        }
    }
    ASSERT_EQ(received.size(), std::size(messages));
    for (size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(received[i], messages[i]);
    }
    EXPECT_FALSE(reader.Broken());
}

TEST(FrameReader, AnOversizedOrEmptyFrameBreaksTheStream) {
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"64 KiB + 1", {0x01, 0x00, 0x01, 0x00}},
        {"4 GiB - 1", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"empty", {0x00, 0x00, 0x00, 0x00, 0x01}},
    };
    for (const auto& [name, bytes] : cases) {
        sock::FrameReader reader;
        reader.Append(bytes);
        EXPECT_FALSE(reader.Next().has_value()) << name;
        EXPECT_TRUE(reader.Broken()) << name;
        // Nothing that follows is trusted either.
        reader.Append(sock::Encode(sock::Hello{}));
        EXPECT_FALSE(reader.Next().has_value()) << name;
    }
    sock::FrameReader largest;
    std::vector<uint8_t> frame = {0x00, 0x00, 0x01, 0x00};  // exactly 64 KiB
    frame.resize(4 + sock::kMaxBody, 0x06);
    largest.Append(frame);
    const auto body = largest.Next();
    ASSERT_TRUE(body.has_value());
    EXPECT_EQ(body->size(), sock::kMaxBody);
}

TEST(SocketPath, AnOverrideWinsThenTheRuntimeFolderThenTmp) {
    const char* saved = std::getenv("OSTREL_SIM_SOCKET");
    const char* savedRuntime = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved ? saved : "";
    const std::string keepRuntime = savedRuntime ? savedRuntime : "";

    ::setenv("OSTREL_SIM_SOCKET", "/somewhere/else.sock", 1);
    ::setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    EXPECT_EQ(sock::DefaultSocketPath(), "/somewhere/else.sock");
    ::unsetenv("OSTREL_SIM_SOCKET");
    EXPECT_EQ(sock::DefaultSocketPath(), "/run/user/1000/ostrel-sim.sock");
    ::setenv("XDG_RUNTIME_DIR", "relative", 1);  // not an absolute folder: not used
    EXPECT_EQ(sock::DefaultSocketPath(), "/tmp/ostrel-sim-" + std::to_string(::getuid()) + ".sock");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(sock::DefaultSocketPath(), "/tmp/ostrel-sim-" + std::to_string(::getuid()) + ".sock");

    if (saved) {
        ::setenv("OSTREL_SIM_SOCKET", keep.c_str(), 1);
    }
    if (savedRuntime) {
        ::setenv("XDG_RUNTIME_DIR", keepRuntime.c_str(), 1);
    }
}

}  // namespace
