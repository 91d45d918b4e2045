// SPDX-License-Identifier: MIT
// An hour of virtual time on the whole panel: random clicks, double clicks, moves, keys and
// activation changes while the port fails and recovers at random. The panel's invariants
// are checked after every event, and memory must not grow.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "output/OutputWord.h"
#include "output/PortDevice.h"
#include "panel/TComponent.h"
#include "platform/Geometry.h"
#include "platform/Platform.h"
#include "support/HeapUse.h"
#include "support/PanelRig.h"
#include "toolbox/PowerOfTwo.h"

namespace pio {

namespace {

constexpr std::int64_t kHour = 3600 * 1000;
constexpr std::int64_t kMinute = 60 * 1000;

// Small deterministic generator, so a failure replays the same way everywhere.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<std::uint32_t>(state_ >> 16);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }

private:
    std::uint64_t state_;
};

class Soak {
public:
    explicit Soak(std::uint64_t seed) : rng_(seed) {
        auto& f = rig_.form;
        targets_ = {f.a1, f.a2, f.a3, f.a4,   f.a5, f.a6,   f.p1,     f.p2,
                    f.p3, f.p4, f.p5, f.p6,   f.l1, f.l2,   f.l3,     f.l4,
                    f.l5, f.l6, f.v5, f.pout, f.vl, f.peak, f.Label1, f.Image1};
        // Wrap the two timers' handlers to know when a probe waits and to check each refresh.
        f.tick->SetOnTimer([this](TComponent* s) {
            ++probing_;
            ++probes_;
            rig_.form.tickTimer(s);
            --probing_;
        });
        f.setter->SetOnTimer([this](TComponent* s) {
            ++refreshes_;
            try {
                rig_.form.setterTimer(s);
            } catch (...) {
                CheckLeds();
                throw;
            }
            CheckLeds();
        });
        f.vl->OnDblClick = [this](TComponent* s) {
            if (rig_.form.vl->Tag == 0) ++lightLoops_;
            rig_.form.vlDblClick(s);
        };
        rig_.sim.answerBoxesAfter(700);
        rig_.sim.setHardLimit(kHour + 10 * kMinute);
        rig_.sim.setAfterEvent([this] { CheckInvariants(); });
    }

    void Run() {
        std::size_t heapAtHalf = 0;
        // Scripted up front: a light switched on in one minute is switched off in a later one.
        for (std::int64_t minute = 0; minute < 60; ++minute) ScriptMinute(minute * kMinute);
        rig_.sim.at(kHour).close();
        for (std::int64_t minute = 0; minute < 60; ++minute) {
            rig_.sim.runUntil((minute + 1) * kMinute - 1);
            boxes_ += static_cast<long>(rig_.sim.boxes().size());
            rig_.device.clearRecord();
            rig_.sim.clearRecords();
            if (minute == 29) heapAtHalf = HeapBytesInUse();
            if (::testing::Test::HasFatalFailure() || failures_ > 20) return;
        }
        const std::size_t heapAtEnd = HeapBytesInUse();
        rig_.sim.runUntil(kHour + 10 * kMinute);
        EXPECT_TRUE(rig_.sim.loopEnded());
        EXPECT_LE(rig_.sim.tickCount(), kHour + 200);  // closing ends the program promptly
        EXPECT_LT(heapAtEnd, heapAtHalf + 64 * 1024) << "heap grew from " << heapAtHalf;
        EXPECT_GE(refreshes_, 359000);  // the refresh kept its pace for the hour
        EXPECT_LE(rig_.sim.maxOpenBoxes(), 1);
        // The run really went through the interesting states.
        EXPECT_GT(boxes_, 10);
        EXPECT_GT(probes_, 100);
        EXPECT_GT(lightLoops_, 10);
        std::printf("soak: %ld refreshes, %ld reports, %ld probes, %ld light loops\n", refreshes_,
                    boxes_, probes_, lightLoops_);
    }

private:
    void ScriptMinute(std::int64_t start) {
        SimPlatform& sim = rig_.sim;
        for (std::int64_t t = start; t < start + kMinute; t += 20 + rng_.Below(600)) {
            sim.at(t);
            const TControl* c =
                targets_[static_cast<std::size_t>(rng_.Below(int(targets_.size())))];
            const Rect& r = c->BoundsRect();
            const Point p{r.left + rng_.Below(r.width),
                          std::max(0, r.top) + rng_.Below(r.height - 1)};
            switch (rng_.Below(12)) {
                case 0:
                case 1:
                case 2: sim.click(p); break;
                case 3:
                case 4: sim.doubleClick(p); break;
                case 5:
                    sim.press(p)
                        .at(t + rng_.Below(300))
                        .release({rng_.Below(340), rng_.Below(200)});
                    break;
                case 6: sim.move(p); break;
                case 7: sim.key(); break;
                case 8: sim.activate(rng_.Below(2) == 0); break;
                case 9: sim.press(p, MouseButton::Right).release(p, MouseButton::Right); break;
                case 10: sim.leave(); break;
                default: ScriptPortChange(); break;
            }
        }
    }

    void ScriptPortChange() {
        static constexpr std::array<int, 4> kCodes = {2, 5, 1117, 21};
        const int code = kCodes[static_cast<std::size_t>(rng_.Below(4))];
        const int what = rng_.Below(6);
        rig_.sim.call([this, code, what] {
            auto always = FakePortDevice::Times::Always;
            switch (what) {
                case 0: rig_.device.failOpen(code, always); break;
                case 1: rig_.device.failWrite(code, always); break;
                case 2: rig_.device.failClose(code, always); break;
                case 3: rig_.device.failHold(kPortHeldByAnotherPanel, always); break;
                default: rig_.device.heal(); break;
            }
        });
    }

    void CheckLeds() {
        const auto& f = rig_.form;
        const TImage* leds[] = {f.p1, f.p2, f.p3, f.p4, f.p5, f.p6};
        for (int i = 0; i < 6; ++i) {
            const bool bit = (outword & PowerOfTwo(i)) != 0;
            Expect(leds[i]->Tag == (bit ? 1 : 0), "LED tag follows the word");
            Expect(rig_.Lit(leds[i]) == (bit && f.v5->Tag == 1), "LED picture follows the word");
        }
    }

    void CheckInvariants() {
        const auto& f = rig_.form;
        Expect(outword >= 0 && outword <= 127, "outword within 0..127");
        for (const auto& c : f.Components())
            Expect(c->Tag == (c.get() == f.Image1 ? 16 : 0) || (c.get() != f.Image1 && c->Tag == 1),
                   "every Tag 0 or 1, Image1 16");
        if (probing_ == 0)
            Expect(f.tick->Enabled() == (f.peak->Tag == 1), "tick runs exactly while peak is on");
        Expect(rig_.sim.openBoxes() <= 1, "at most one report open");
        Expect(!rig_.device.isOpen(), "no port handle outlives a cycle");
        // A failing port is never left unreported: a box is open (or about to open), or
        // one opens at the first tick after the open one was closed.
        const std::int64_t now = rig_.sim.tickCount();
        if (f.pout->Tag != 0 && f.PortFailureUnreported() && !rig_.report.Busy()) {
            if (unreportedSince_ < 0) unreportedSince_ = now;
            Expect(now - unreportedSince_ <= 10, "a port failure without a box for over a tick");
        } else {
            unreportedSince_ = -1;
        }
    }

    void Expect(bool ok, const char* what) {
        if (ok) return;
        ++failures_;
        ADD_FAILURE() << what << " at " << rig_.sim.tickCount() << " ms, outword " << outword;
    }

    PanelRig rig_;
    Rng rng_;
    std::vector<const TControl*> targets_;
    int probing_ = 0;
    long refreshes_ = 0;
    long boxes_ = 0;
    long probes_ = 0;
    long lightLoops_ = 0;
    int failures_ = 0;
    std::int64_t unreportedSince_ = -1;
};

}  // namespace

TEST(TForm1Soak, AnHourOfRandomUseKeepsEveryInvariant) {
    Soak soak(0x9E3779B97F4A7C15ull);
    soak.Run();
}

}  // namespace pio
