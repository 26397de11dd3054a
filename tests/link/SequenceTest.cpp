// The sequence counter from the first packet of the process on. Kept in its own test
// binary: the counter is process-wide and never reset, so no other packet may come first.
#include <gtest/gtest.h>

#include "tests/link/LinkFixture.h"

namespace linktest {
namespace {

using SequenceTest = LinkTest;

TEST_F(SequenceTest, StartsAtOneWrapsToZeroAndSurvivesAReconnect) {
    ASSERT_EQ(lnk::SequenceCounter(), 0) << "no packet may be sent before this test";
    sim::Projector& projector = OpenAttached();

    // The status text as the first packet of the run, and again with the counter at 4.
    EXPECT_EQ(lnk::ReadStatus(), lnk::kApplicationReady);
    uint32_t life = 0;
    for (int i = 0; i < 3; ++i) {
        lnk::ReadUnitLife(life);
    }
    EXPECT_EQ(lnk::ReadStatus(), lnk::kApplicationReady);
    auto log = projector.CommandLog();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].raw,
              (std::vector<uint8_t>{0x04, 0x01, 0x00, 0x03, 0x00, 0x34, 0x00, 0x02, 0x3A}));
    EXPECT_EQ(log[4].raw,
              (std::vector<uint8_t>{0x04, 0x05, 0x00, 0x03, 0x00, 0x34, 0x00, 0x02, 0x3E}));

    // Both transaction kinds share the counter; the 256th packet carries 0.
    for (int i = 5; i < 258; ++i) {
        if (i % 2 == 0) {
            lnk::ReadStatus();
        } else {
            lnk::ReadUnitLife(life);
        }
    }
    log = projector.CommandLog();
    ASSERT_EQ(log.size(), 258u);
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].raw[1], static_cast<uint8_t>(i + 1)) << "packet " << i + 1;
        EXPECT_TRUE(log[i].answered) << "packet " << i + 1 << " had a valid checksum";
    }
    EXPECT_EQ(log[255].raw[1], 0);

    // Unplugged, closed and opened again: the count goes on.
    projector.Unplug();
    ASSERT_TRUE(WaitUntil([] { return !lnk::attached.load(); }));
    lnk::MyUSBclose();
    ASSERT_TRUE(lnk::myUSBopen());
    projector.Plug();
    ASSERT_TRUE(WaitUntil([] { return lnk::attached.load(); }));
    projector.ClearCommandLog();
    lnk::ReadStatus();
    log = projector.CommandLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].raw[1], 3);
}

}  // namespace
}  // namespace linktest
