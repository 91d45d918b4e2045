// SPDX-License-Identifier: MIT
#include "panel/TComponent.h"

#include <memory>
#include <string>
#include <utility>

#include "platform/Geometry.h"
#include "platform/Picture.h"
#include "platform/Platform.h"

namespace pio {

TComponent::TComponent(std::string name, TComponent* owner)
    : name_(std::move(name)), owner_(owner) {}

TComponent::~TComponent() = default;

TControl::TControl(std::string name, Platform& platform, Rect bounds)
    : TComponent(std::move(name)), platform_(platform), bounds_(bounds) {}

void TControl::Invalidate() const {
    if (Visible) platform_.invalidate(bounds_);
}

TImage::TImage(std::string name, Platform& platform, Point at, Picture picture)
    : TControl(std::move(name), platform, {at.x, at.y, picture.width, picture.height}),
      picture_(std::make_shared<const Picture>(std::move(picture))) {}

void TImage::SetPicture(std::shared_ptr<const Picture> picture) {
    // The refresh hands every LED its picture 100 times a second. Giving a control the very
    // picture it already shows cannot change a pixel, so that repaint is skipped: it was
    // most of the idle panel's CPU time (paint, backing store, X server).
    const bool same = picture == picture_;
    picture_ = std::move(picture);
    if (same) return;
    const Rect& b = BoundsRect();
    SetBounds({b.left, b.top, picture_->width, picture_->height});
    Invalidate();
}

void TImage::Paint(Canvas& canvas) const {
    const Rect& b = BoundsRect();
    canvas.drawPicture({b.left, b.top}, *picture_);
}

TLabel::TLabel(std::string name, Platform& platform, Rect bounds, std::string caption)
    : TControl(std::move(name), platform, bounds), caption_(std::move(caption)) {}

void TLabel::SetCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    Invalidate();
}

void TLabel::Paint(Canvas& canvas) const {
    if (!Transparent) canvas.fillRect(BoundsRect(), Color);
    canvas.drawText(BoundsRect(), caption_, Font, FontColor, Alignment);
}

TTimer::TTimer(std::string name, Platform& platform, int intervalMs, bool enabled)
    : TComponent(std::move(name)), platform_(platform), interval_(intervalMs), enabled_(enabled) {}

TTimer::~TTimer() {
    if (id_ != 0) platform_.stopTimer(id_);
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Update();
}

void TTimer::SetInterval(int intervalMs) {
    if (intervalMs == interval_) return;
    interval_ = intervalMs;
    Update();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
    onTimer_ = std::move(handler);
    Update();
}

// Stops the platform timer and, if the timer is to run, starts it anew: the next tick
// comes one full interval from now.
void TTimer::Update() {
    if (id_ != 0) {
        platform_.stopTimer(id_);
        id_ = 0;
    }
    if (enabled_ && interval_ > 0 && onTimer_) {
        id_ = platform_.startTimer(interval_, [this] {
            if (onTimer_) onTimer_(this);
        });
    }
}

}  // namespace pio
