// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "panel/TComponent.h"
#include "panel/TForm.h"

class PortWriter;

// The panel: six channels with sockets, number tags and LEDs, and four switch LEDs.
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
    bool PortFailureUnreported() const { return failingCode_ != 0 && failingCode_ != reportedPortCode_; }

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
