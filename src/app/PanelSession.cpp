// SPDX-License-Identifier: MIT
#include "app/PanelSession.h"

#include <exception>
#include <string>
#include <utility>

#include "output/EInOutError.h"
#include "panel/PanelPlacement.h"
#include "platform/Geometry.h"
#include "platform/Platform.h"

namespace pio {

PanelSession::PanelSession(Platform& platform, PortDevice& device, std::string title,
                           std::string credit)
    : platform_(platform),
      writer_(device),
      report_(platform, std::move(title)),
      form_(platform, writer_, std::move(credit)) {
    report_.Install();
    report_.SetCancelMode([this] { form_.CancelMode(); });
    report_.OnBeforeBox([this](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const EInOutError& e) {
            form_.PortFailureShown(e.code());
        } catch (...) {  // NOLINT(bugprone-empty-catch): the form minds port failures only
        }
    });
}

PanelSession::~PanelSession() { platform_.setWindowSink(nullptr); }

Rect PanelSession::WindowBounds() const {
    Rect bounds = form_.Bounds;
    const Point at = PanelPlacement(bounds, platform_.screenRect());
    bounds.left = at.x;
    bounds.top = at.y;
    return bounds;
}

void PanelSession::Start() {
    platform_.setWindowSink(&form_);
    platform_.dispatch([this] { form_.FormCreate(&form_); });
}

}  // namespace pio
