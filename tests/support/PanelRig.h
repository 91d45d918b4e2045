#pragma once

#include <memory>

#include "app/ErrorReport.h"
#include "output/OutputWord.h"
#include "output/PortWriter.h"
#include "panel/TForm1.h"
#include "support/FakePortDevice.h"
#include "support/SimPlatform.h"

// The whole panel on the simulated platform: a fake port, the error report installed and
// the creation handler run, as start-up does it.
struct PanelRig {
    SimPlatform sim;
    FakePortDevice device;
    PortWriter writer{device};
    ErrorReport report{sim, "pio-out"};
    TForm1 form{sim, writer};

    PanelRig() {
        outword = 77;  // whatever an earlier test left: the creation handler resets it
        riderUp = false;
        minTime = 1;
        report.Install();
        report.SetCancelMode([this] { form.CancelMode(); });
        sim.setWindowSink(&form);
        sim.dispatch([this] { form.FormCreate(&form); });
    }
    ~PanelRig() { sim.setWindowSink(nullptr); }

    // Middle of a control, where a user would point.
    static Point Centre(const TControl* c) {
        const Rect& r = c->BoundsRect();
        return {r.left + r.width / 2, r.top + r.height / 2};
    }
    bool Lit(const TImage* led) const { return led->GetPicture() == form.ron->GetPicture(); }
    bool Dark(const TImage* led) const { return led->GetPicture() == form.roff->GetPicture(); }
};
