// SPDX-License-Identifier: MIT
#include "app/StartupResources.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace pio {

namespace {

using Shortage = StartupResources::Shortage;
constexpr std::int64_t MB = std::int64_t{1} << 20;

// A process as the program sees itself at the start of main: 3 descriptors, 77 MB mapped.
StartupResources::Figures Typical() {
    StartupResources::Figures f;
    f.descriptorLimit = 1024;
    f.descriptorsInUse = 3;
    f.addressSpaceLimit = -1;
    f.addressSpaceInUse = 77 * MB;
    f.threadStack = 8 * MB;
    return f;
}

}  // namespace

TEST(StartupResources, EnoughOfEverythingStarts) {
    EXPECT_EQ(StartupResources::Check(Typical()), Shortage::None);
}

TEST(StartupResources, NoLimitsAtAllStart) {
    StartupResources::Figures f = Typical();
    f.descriptorLimit = -1;
    f.descriptorsInUse = 100000;
    EXPECT_EQ(StartupResources::Check(f), Shortage::None);
}

TEST(StartupResources, DescriptorsAreShortBelowTheNeed) {
    StartupResources::Figures f = Typical();
    // ulimit -n 4 .. 8 made Qt or GLib fail; every limit that leaves fewer free than needed
    // is refused, the first one that leaves enough is not.
    for (std::int64_t limit : {4, 5, 6, 8, 9, 16}) {
        f.descriptorLimit = limit;
        EXPECT_EQ(StartupResources::Check(f), Shortage::FileHandles) << "limit " << limit;
    }
    f.descriptorLimit = 3 + StartupResources::kDescriptorsNeeded - 1;
    EXPECT_EQ(StartupResources::Check(f), Shortage::FileHandles);
    f.descriptorLimit = 3 + StartupResources::kDescriptorsNeeded;
    EXPECT_EQ(StartupResources::Check(f), Shortage::None);
}

TEST(StartupResources, DescriptorsInUseCountAgainstTheLimit) {
    StartupResources::Figures f = Typical();
    f.descriptorLimit = 64;
    f.descriptorsInUse = 64 - StartupResources::kDescriptorsNeeded + 1;  // inherited ones
    EXPECT_EQ(StartupResources::Check(f), Shortage::FileHandles);
    f.descriptorsInUse -= 1;
    EXPECT_EQ(StartupResources::Check(f), Shortage::None);
}

TEST(StartupResources, TheNeedCoversWhatStartUpWasSeenToTake) {
    // Measured: 6 descriptors for Qt's start, 2 for the port, 1 kept by a shown box, and the
    // reserve of 8 for drawing boxes; 43 MB of address space with 8 MB thread stacks.
    EXPECT_GE(StartupResources::kDescriptorsNeeded, 6 + 2 + 1 + 8);
    EXPECT_GE(StartupResources::AddressSpaceNeeded(8 * MB), 43 * MB);
}

TEST(StartupResources, AddressSpaceIsShortBelowTheNeed) {
    StartupResources::Figures f = Typical();
    // ulimit -v 80000 and 90000 (KB) failed inside Qt: refused here.
    for (std::int64_t kb : {80000, 90000, 120000}) {
        f.addressSpaceLimit = kb * 1024;
        EXPECT_EQ(StartupResources::Check(f), Shortage::Memory) << kb << " KB";
    }
    const std::int64_t need = StartupResources::AddressSpaceNeeded(f.threadStack);
    f.addressSpaceLimit = f.addressSpaceInUse + need - 1;
    EXPECT_EQ(StartupResources::Check(f), Shortage::Memory);
    f.addressSpaceLimit = f.addressSpaceInUse + need;
    EXPECT_EQ(StartupResources::Check(f), Shortage::None);
}

TEST(StartupResources, LargerThreadStacksNeedMoreAddressSpace) {
    const std::int64_t small = StartupResources::AddressSpaceNeeded(2 * MB);
    const std::int64_t usual = StartupResources::AddressSpaceNeeded(8 * MB);
    const std::int64_t large = StartupResources::AddressSpaceNeeded(64 * MB);
    EXPECT_LT(small, usual);
    EXPECT_LT(usual, large);
    EXPECT_EQ(large - usual, StartupResources::kThreads * 56 * MB);
    // A limit that suits 8 MB stacks does not suit 64 MB ones.
    StartupResources::Figures f = Typical();
    f.addressSpaceLimit = f.addressSpaceInUse + usual;
    EXPECT_EQ(StartupResources::Check(f), Shortage::None);
    f.threadStack = 64 * MB;
    EXPECT_EQ(StartupResources::Check(f), Shortage::Memory);
}

TEST(StartupResources, DescriptorsAreNamedWhenBothAreShort) {
    StartupResources::Figures f = Typical();
    f.descriptorLimit = 4;
    f.addressSpaceLimit = 80 * MB;
    EXPECT_EQ(StartupResources::Check(f), Shortage::FileHandles);
}

TEST(StartupResources, ProbesAfterAFailureNameTheCause) {
    EXPECT_EQ(StartupResources::FromProbes(false, false), Shortage::None);
    EXPECT_EQ(StartupResources::FromProbes(true, false), Shortage::FileHandles);
    EXPECT_EQ(StartupResources::FromProbes(false, true), Shortage::Memory);
    EXPECT_EQ(StartupResources::FromProbes(true, true), Shortage::FileHandles);
}

TEST(StartupResources, KindsAndMessagesOfTheReport) {
    EXPECT_STREQ(StartupResources::Kind(Shortage::FileHandles), "EInOutError");
    EXPECT_STREQ(StartupResources::Message(Shortage::FileHandles), "Zu viele Dateien geöffnet");
    EXPECT_STREQ(StartupResources::Kind(Shortage::Memory), "EOutOfMemory");
    EXPECT_STREQ(StartupResources::Message(Shortage::Memory), "Zu wenig Arbeitsspeicher");
    EXPECT_EQ(StartupResources::Kind(Shortage::None), nullptr);
    EXPECT_EQ(StartupResources::Message(Shortage::None), nullptr);
}

TEST(StartupResources, ABoxWhereDescriptorsAreShortButEnoughAreLeftForIt) {
    StartupResources::Figures f = Typical();
    f.descriptorLimit = 3 + StartupResources::kDescriptorsForBox;  // refused, box possible
    EXPECT_EQ(StartupResources::Check(f), Shortage::FileHandles);
    EXPECT_TRUE(StartupResources::BoxPossible(f));
    f.descriptorLimit -= 1;
    EXPECT_FALSE(StartupResources::BoxPossible(f));
    f.descriptorLimit = 8;  // GLib aborted here: no box
    EXPECT_FALSE(StartupResources::BoxPossible(f));
    EXPECT_LT(StartupResources::kDescriptorsForBox, StartupResources::kDescriptorsNeeded);
    EXPECT_GE(StartupResources::kDescriptorsForBox, 6 + 2);  // Qt's start, a box's files
}

TEST(StartupResources, NoBoxWhenShortOfAddressSpace) {
    StartupResources::Figures f = Typical();
    f.addressSpaceLimit = 120000 * 1024;
    EXPECT_EQ(StartupResources::Check(f), Shortage::Memory);
    EXPECT_FALSE(StartupResources::BoxPossible(f));
    // Both short: the descriptors are named, and still no box.
    f.descriptorLimit = 20;
    EXPECT_EQ(StartupResources::Check(f), Shortage::FileHandles);
    EXPECT_FALSE(StartupResources::BoxPossible(f));
}

}  // namespace pio
