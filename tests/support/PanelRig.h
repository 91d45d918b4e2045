// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "app/PanelSession.h"
#include "output/OutputWord.h"
#include "support/FakePortDevice.h"
#include "support/SimPlatform.h"

namespace pio {

// The whole panel on the simulated platform: a fake port, the error report installed and
// the creation handler run, as start-up does it.
struct PanelRig {
    SimPlatform sim;
    FakePortDevice device;
    PanelSession session{sim, device, "pio-out"};
    TForm1& form = session.Form();
    ErrorReport& report = session.Report();

    // `port`: shared with another rig's device, for two panels on one port.
    explicit PanelRig(std::shared_ptr<FakePortDevice::Port> port = nullptr)
        : device(port ? std::move(port) : std::make_shared<FakePortDevice::Port>()) {
        outword = 77;  // whatever an earlier test left: the creation handler resets it
        riderUp = false;
        minTime = 1;
        session.Start();
    }

    // Middle of a control, where a user would point.
    static Point Centre(const TControl* c) {
        const Rect& r = c->BoundsRect();
        return {r.left + r.width / 2, r.top + r.height / 2};
    }
    bool Lit(const TImage* led) const { return led->GetPicture() == form.ron->GetPicture(); }
    bool Dark(const TImage* led) const { return led->GetPicture() == form.roff->GetPicture(); }
};

}  // namespace pio
