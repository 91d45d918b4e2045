// SPDX-License-Identifier: MIT
#include "panel/TForm1.h"

#include <cstdint>
#include <string>
#include <utility>

#include "output/EInOutError.h"
#include "output/OutputWord.h"
#include "output/PortWriter.h"
#include "panel/TComponent.h"
#include "panel/TForm.h"
#include "toolbox/Delay.h"
#include "toolbox/FindByName.h"
#include "toolbox/PowerOfTwo.h"

namespace pio {

namespace {

// 0 becomes 1, anything else 0.
void Toggle(TComponent* c) { c->Tag = c->Tag == 0 ? 1 : 0; }

}  // namespace

TForm1::TForm1(Platform& platform, PortWriter& port, std::string credit)
    : TForm("Form1", platform), port_(port), credit_(std::move(credit)) {
    Caption = "PIO Out";
    Color = 0xFFFFFF;
    Bounds = {321, 112, 340, 200};
    CreateComponents();
}

void TForm1::FormCreate(TComponent*) { ResetOutput(); }

void TForm1::pClick(TComponent* sender) {
    if (!dynamic_cast<TImage*>(sender) && !dynamic_cast<TLabel*>(sender)) return;
    const std::string& name = sender->Name();
    // The channel is the digit that is the second character of the name.
    if (name.size() < 2 || name[1] < '0' || name[1] > '9') return;
    ToggleChannel(name[1] - '0');
}

void TForm1::v5DblClick(TComponent*) {
    Toggle(v5);
    WirePicture(v5, v5->Tag == 1 ? gon : goff);
}

void TForm1::poutDblClick(TComponent*) {
    Toggle(pout);
    WirePicture(pout, pout->Tag == 1 ? oon : ooff);
    if (pout->Tag != 1) {
        // A new episode starts with the next switch-on, and another panel may have the port.
        reportedPortCode_ = 0;
        failingCode_ = 0;
        port_.release();
    }
}

void TForm1::setterTimer(TComponent*) {
    TImage* const leds[] = {p1, p2, p3, p4, p5, p6};
    for (int i = 1; i <= 6; ++i) {
        const int bit = PowerOfTwo(i - 1);
        leds[i - 1]->Tag = (outword & bit) == bit ? 1 : 0;
    }
    for (int i = 1; i <= 6; ++i) {
        auto* led = dynamic_cast<TImage*>(FindByName("p" + std::to_string(i), *this));
        if (!led) continue;
        WirePicture(led, led->Tag == 1 && v5->Tag == 1 ? ron : roff);
    }
    if (pout->Tag != 0) WritePort();
}

void TForm1::WritePort() {
    try {
        port_.write(outword);
        reportedPortCode_ = 0;
        failingCode_ = 0;
    } catch (const EInOutError& e) {
        // Every tick still tries the whole cycle; only the report is held back, so the
        // user sees one box per failure and the port follows the word again by itself.
        // Until its box has really been shown (one may be open already), the failure goes
        // on to the error report on every tick.
        failingCode_ = e.code();
        if (e.code() == reportedPortCode_) return;
        throw;
    }
}

void TForm1::PortFailureShown(int code) {
    // A report shown after the episode has ended (the port came back before the box
    // opened) must not hold back the next failure with the same code.
    if (code == failingCode_) reportedPortCode_ = code;
}

void TForm1::vlDblClick(TComponent*) {
    Toggle(vl);
    WirePicture(vl, vl->Tag == 1 ? oon : ooff);
    outword = 1;
    // Input at machine speed would nest lights without bound until the stack ran out. Past
    // the bound the switch, the word and the step still change here, and the lights that
    // already wait below carry on: each of them tests the switch after its wait.
    if (lightNesting_ >= kMaxLightNesting) {
        RiderStep();
        return;
    }
    struct Nesting {
        int& depth;
        explicit Nesting(int& d) : depth(++d) {}
        ~Nesting() { --depth; }
    } nesting(lightNesting_);
    // A second double click, handled inside one of the waits, ends the loop; so does a
    // request to end the program, which would otherwise wait for the light to be stopped.
    do {
        RiderStep();
        Delay(platform_, 100);
    } while (vl->Tag == 1 && !platform_.terminated());
}

void TForm1::peakDblClick(TComponent*) {
    Toggle(peak);
    WirePicture(peak, peak->Tag == 1 ? gon : goff);
    outword = 0;
    tick->SetEnabled(peak->Tag == 1);
}

void TForm1::tickTimer(TComponent*) {
    tick->SetEnabled(false);  // no probe starts inside this one
    const auto t0 = platform_.tickCount();
    Delay(platform_, 50);
    const auto d = static_cast<std::int32_t>(platform_.tickCount() - t0);
    // Switched off during the wait: the view stays off, with no bar and no further probe.
    if (peak->Tag != 1) return;
    if (d < minTime) minTime = d;
    outword = LoadBars(d - minTime);
    Label2->SetCaption(std::to_string(d - minTime));
    tick->SetEnabled(true);
}

}  // namespace pio
