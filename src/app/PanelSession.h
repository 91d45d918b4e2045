// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "app/ErrorReport.h"
#include "output/PortWriter.h"
#include "panel/TForm1.h"
#include "platform/Geometry.h"

namespace pio {

class Platform;
class PortDevice;

// A running panel, wired the same way on every platform: the panel form, the port writer
// over the platform's port device, and the error report with what it must tell the form.
class PanelSession final {
public:
    // `credit`: the panel's credit line, which names the port `device` is.
    PanelSession(Platform& platform, PortDevice& device, std::string title,
                 std::string credit = TForm1::kCredit);
    ~PanelSession();
    PanelSession(const PanelSession&) = delete;
    PanelSession& operator=(const PanelSession&) = delete;

    TForm1& Form() { return form_; }
    ErrorReport& Report() { return report_; }

    // Where the panel's window goes on the screen, in the panel's size: its own place, unless
    // that would leave part of it off a small screen.
    Rect WindowBounds() const;

    // Hands the platform's window input to the form and runs the creation handler; an error
    // there is reported like any handler's and the panel still opens.
    void Start();

private:
    Platform& platform_;
    PortWriter writer_;
    ErrorReport report_;
    TForm1 form_;
};

}  // namespace pio
