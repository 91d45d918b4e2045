// SPDX-License-Identifier: MIT
// The report of errors that escape a handler.
#include "app/ErrorReport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "panel/TComponent.h"
#include "platform/Platform.h"
#include "support/SimPlatform.h"
#include "toolbox/Exception.h"

namespace pio {

namespace {

class ErrorReportTest : public ::testing::Test {
protected:
    ErrorReportTest() { report.Install(); }
    void FailAt(std::int64_t t, const std::string& message) {
        sim.at(t).call([message] { throw Exception(message); });
    }
    SimPlatform sim;
    ErrorReport report{sim, "My"};
};

}  // namespace

TEST_F(ErrorReportTest, MessageWithADotCaptionedWithTheTitle) {
    FailAt(10, "Datei nicht gefunden");
    FailAt(2000, "Schon mit Punkt.");
    sim.runUntil(5000);
    ASSERT_EQ(sim.boxes().size(), 2u);
    EXPECT_EQ(sim.boxes()[0].text, "Datei nicht gefunden.");
    EXPECT_EQ(sim.boxes()[0].caption, "My");
    EXPECT_EQ(sim.boxes()[0].icon, MessageIcon::Stop);
    EXPECT_EQ(sim.boxes()[1].text, "Schon mit Punkt..");  // always appended
}

TEST_F(ErrorReportTest, TheHandlerEndsAtTheFailureAndWhatItDidStays) {
    int done = 0;
    sim.at(10).call([&] {
        done = 1;
        throw std::runtime_error("x");
        done = 2;  // never reached
    });
    sim.at(20).call([&] { done += 10; });  // the loop goes on
    sim.runUntil(3000);
    EXPECT_EQ(done, 11);
    EXPECT_EQ(sim.boxes().size(), 1u);
}

TEST_F(ErrorReportTest, OneBoxAtATimeAndTimersTickWhileItIsOpen) {
    sim.answerBoxesAfter(1000);
    int ticks = 0;
    TTimer timer("t", sim, 10, true);
    timer.SetOnTimer([&](TComponent*) {
        ++ticks;
        throw Exception("I/O-Fehler 32");  // fails on every tick
    });
    sim.runUntil(2500);  // the third box is open from 2010 to 3010
    EXPECT_EQ(ticks, 300);
    EXPECT_EQ(sim.maxOpenBoxes(), 1);
    // A box opens at the first failure and again at the first failure after it closed.
    ASSERT_EQ(sim.boxes().size(), 3u);
    EXPECT_EQ(sim.boxes()[0].openedAt, 10);
    EXPECT_EQ(sim.boxes()[0].closedAt, 1010);
    EXPECT_EQ(sim.boxes()[1].openedAt, 1010);
    EXPECT_EQ(sim.boxes()[2].openedAt, 2010);
    EXPECT_GT(report.Dropped(), 200);
}

TEST_F(ErrorReportTest, TheBoxOpensAfterTheFailingHandlerHasReturned) {
    std::vector<std::string> log;
    sim.at(10).call([&] {
        log.emplace_back("handler");
        sim.post([&] { log.emplace_back("posted-before-failure"); });
        throw Exception("x");
    });
    sim.at(10).call([&] { log.emplace_back("next-event"); });
    sim.runUntil(3000);
    ASSERT_EQ(sim.boxes().size(), 1u);
    EXPECT_EQ(log, (std::vector<std::string>{"handler", "next-event", "posted-before-failure"}));
}

TEST_F(ErrorReportTest, ANestedFailureIsShownFromTheNestedPump) {
    sim.at(10).call([&] {
        // A long handler that pumps, as the running light does.
        const auto end = sim.tickCount() + 3000;
        while (sim.tickCount() < end) {
            sim.processPendingEvents();
            sim.waitForEvents(end);
        }
    });
    FailAt(100, "innen");
    sim.runUntil(5000);
    ASSERT_EQ(sim.boxes().size(), 1u);
    EXPECT_EQ(sim.boxes()[0].openedAt, 100);
}

TEST_F(ErrorReportTest, UnknownErrorsAreReportedToo) {
    sim.at(10).call([] { throw 42; });
    sim.runUntil(2000);
    ASSERT_EQ(sim.boxes().size(), 1u);
    EXPECT_EQ(sim.boxes()[0].text, "Unbekannter Fehler.");
}

TEST_F(ErrorReportTest, CancelModeRunsBeforeTheBox) {
    std::int64_t cancelledAt = -1;
    report.SetCancelMode([&] { cancelledAt = sim.tickCount(); });
    FailAt(10, "x");
    sim.runUntil(100);
    EXPECT_EQ(cancelledAt, 10);
}

}  // namespace pio
