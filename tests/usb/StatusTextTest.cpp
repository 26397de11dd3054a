#include "usb/StatusText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(StatusText, GivesTheFirstRowWithTheCode) {
    struct Case {
        const char* name;
        uint32_t code;
        const char* text;
    };
    const Case cases[] = {
        {"success wins over the USBD row with the same code", 0x00000000, "Success"},
        {"unreachable driver", 0xFFFFFFFF, "Invalid WinDriver handle"},
        {"driver error", 0x2000000F, "Device not found"},
        {"time-out", 0x20000015, "Timeout expired"},
        {"old driver", 0x2000001C, "Incorrect WinDriver version installed"},
        {"last driver row", 0x20000020, "Operation failed"},
        {"trailing blank kept", 0xC0000002, "HC status: Bit stuffing "},
        {"before the gap", 0xC000000D, "HC status: Buffer Underrun"},
        {"after the gap", 0xC000000F, "HC status: Not accessed"},
        {"last row", 0xC0000D00,
         "USBD: Attemped operation on frame length control not owned by caller"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string(usb::StatusText(c.code)), c.text) << c.name;
    }
}

TEST(StatusText, CodesWithoutARowAreUnrecognized) {
    struct Case {
        const char* name;
        uint32_t code;
    };
    const Case cases[] = {
        {"the gap after 0xC000000D", 0xC000000E}, {"hole in the driver rows", 0x20000009},
        {"past the driver rows", 0x20000021},     {"arbitrary", 0x12345678},
        {"one below all bits", 0xFFFFFFFE},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(usb::StatusText(c.code), "Unrecognized error code") << c.name;
    }
}

TEST(StatusText, TextsAreConstantsThatStay) {
    EXPECT_EQ(usb::StatusText(0x20000015), usb::StatusText(0x20000015));
}

}  // namespace
