// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "platform/Picture.h"

namespace pio {

class Platform;
class TComponent;

using TNotifyEvent = std::function<void(TComponent* sender)>;

// Base of everything the window owns. Owned components live in creation order.
class TComponent {
public:
    explicit TComponent(std::string name, TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return name_; }
    TComponent* Owner() const { return owner_; }
    const std::vector<std::unique_ptr<TComponent>>& Components() const { return components_; }

    // The program's on/off flag (1 on, 0 off); any integer may be stored.
    int Tag = 0;

    // Creates a component owned by this one, appended in creation order.
    template <typename T, typename... Args>
    T* Add(Args&&... args) {
        auto c = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = c.get();
        raw->owner_ = this;
        components_.push_back(std::move(c));
        return raw;
    }

private:
    std::string name_;
    TComponent* owner_;
    std::vector<std::unique_ptr<TComponent>> components_;
};

// Something drawn in the panel at a rectangle that can take the pointer.
class TControl : public TComponent {
public:
    TControl(std::string name, Platform& platform, Rect bounds);

    const Rect& BoundsRect() const { return bounds_; }
    bool Visible = true;
    bool Enabled = true;
    std::string Hint;  // text before the first "|" is what a hint shows
    bool ShowHint = false;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;

    virtual void Paint(Canvas& canvas) const = 0;
    // Schedules the control's rectangle for repainting.
    void Invalidate() const;

protected:
    void SetBounds(const Rect& r) { bounds_ = r; }
    Platform& platform_;

private:
    Rect bounds_;
};

// A picture at its natural size, drawn opaque. Pictures are shared, never copied, when one
// component takes another's.
class TImage final : public TControl {
public:
    TImage(std::string name, Platform& platform, Point at, Picture picture);

    const std::shared_ptr<const Picture>& GetPicture() const { return picture_; }
    // Shares `picture` and schedules a repaint, unless it is the picture shown already.
    void SetPicture(std::shared_ptr<const Picture> picture);
    void Paint(Canvas& canvas) const override;

private:
    std::shared_ptr<const Picture> picture_;
};

// One line of text in a box; opaque labels fill the box with `Color` first.
class TLabel final : public TControl {
public:
    TLabel(std::string name, Platform& platform, Rect bounds, std::string caption);

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    FontSpec Font;
    std::uint32_t FontColor = 0x000000;
    std::uint32_t Color = 0xFFFFFF;
    bool Transparent = false;
    TextAlign Alignment = TextAlign::Left;
    void Paint(Canvas& canvas) const override;

private:
    std::string caption_;
};

// A periodic timer. Changing Enabled or Interval to a different value restarts the
// interval; setting the value it already has changes nothing.
class TTimer final : public TComponent {
public:
    TTimer(std::string name, Platform& platform, int intervalMs, bool enabled);
    ~TTimer() override;

    bool Enabled() const { return enabled_; }
    int Interval() const { return interval_; }
    void SetEnabled(bool enabled);
    void SetInterval(int intervalMs);
    void SetOnTimer(TNotifyEvent handler);

private:
    void Update();
    Platform& platform_;
    int interval_;
    bool enabled_;
    TNotifyEvent onTimer_;
    int id_ = 0;
};

}  // namespace pio
