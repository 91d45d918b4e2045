// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "panel/TComponent.h"
#include "panel/TForm.h"

namespace pio {

class PortWriter;

// The panel: six channels with sockets, number tags and LEDs, and four switch LEDs.
//
// The components keep their short names: the handlers find them by name (`pClick` reads
// the channel from the second character, the refresh looks up "p1".."p6") and the tests
// and the e2e scripts point at them. What they are, with the column they sit in:
//
//   a1..a6    the six sockets, top row (a click switches the channel)
//   l1..l6    the number tags "1".."6" under the sockets (a click switches the channel)
//   p1..p6    the channel LEDs, red, under the tags (a click switches the channel)
//   pout      switch, top of the right column, yellow: port output on or off
//   v5        switch, right column level with the LEDs, green: the display, LEDs lit or dark
//   vl        switch, right column, yellow, hint "Rider": the running light
//   peak      switch, bottom of the right column, green, hint "Loadview": the load view
//   Label2    hidden, below `peak`: the load view's last lateness in ms
//   goff gon  hidden pictures: green LED off and on (the state of `v5` and `peak`)
//   ooff oon  hidden pictures: yellow LED off and on (the state of `pout` and `vl`)
//   roff ron  hidden pictures: red LED off and on (the channel LEDs)
//   Image1    the panel's background picture
//   Label1    the credit line at the bottom, naming the port
//   setter    timer, 10 ms: LEDs from the output word, and the port cycle
//   tick      timer, 500 ms while the load view is on: one load probe
//
// A switch is on when its `Tag` is 1; the LEDs take their picture from one of the hidden
// pictures. Handlers are named after their component and event (`poutDblClick`), a shared
// one after the names' common first letter (`pClick`).
class TForm1 final : public TForm {
public:
    // The credit line of a panel on the first port.
    static constexpr const char* kCredit = "PIO Out \xC2\xB7 6 Kan\xC3\xA4le an LPT1";

    // `credit`: the text of the credit line `Label1`, which names the port in use.
    TForm1(Platform& platform, PortWriter& port, std::string credit = kCredit);

    // Components, in creation order.
    TImage* Image1;
    TLabel* Label1;
    TImage* p1;
    TImage* v5;
    TImage* pout;
    TImage *a1, *a2, *a3, *a4, *a5, *a6;
    TImage *p2, *p3, *p4, *p5, *p6;
    TImage *goff, *gon, *ooff, *oon, *roff, *ron;
    TLabel *l1, *l2, *l3, *l4, *l5, *l6;
    TImage* peak;
    TLabel* Label2;
    TImage* vl;
    TTimer* setter;
    TTimer* tick;

    // Handlers.
    void FormCreate(TComponent* sender);
    void pClick(TComponent* sender);
    void v5DblClick(TComponent* sender);
    void poutDblClick(TComponent* sender);
    void setterTimer(TComponent* sender);
    void vlDblClick(TComponent* sender);
    void peakDblClick(TComponent* sender);
    void tickTimer(TComponent* sender);

    // The error report is about to show the port failure with this code: from now on this
    // failure counts as reported, and it is not reported again in this episode.
    void PortFailureShown(int code);
    // The code of the failure the last cycle ended with (0: it worked, or no cycle ran since
    // port output was switched on) and whether the user has been shown it yet.
    int PortFailure() const { return failingCode_; }
    bool PortFailureUnreported() const {
        return failingCode_ != 0 && failingCode_ != reportedPortCode_;
    }

    // How deeply running lights may nest: each double click on `vl` that comes while an
    // earlier light still waits runs inside it, a level or two at human speed.
    static constexpr int kMaxLightNesting = 32;
    int LightNesting() const { return lightNesting_; }

private:
    void CreateComponents();
    void WirePicture(TImage* image, const TImage* state) { image->SetPicture(state->GetPicture()); }
    void WritePort();

    PortWriter& port_;
    std::string credit_;
    // Code of the port failure the user has been shown in this episode (0: none). The same
    // failure is not reported again until a cycle succeeds or port output is switched off.
    int reportedPortCode_ = 0;
    int failingCode_ = 0;
    int lightNesting_ = 0;
};

}  // namespace pio
