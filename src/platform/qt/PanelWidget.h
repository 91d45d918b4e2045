// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace pio {

class WindowOwner;

// The panel's one top-level window: borderless, fixed in place and size. It turns Qt's
// input and paint events into handlers of the panel.
class PanelWidget final : public QWidget {
public:
    explicit PanelWidget(WindowOwner& owner);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Press(QMouseEvent* event, bool doubleClick);
    WindowOwner& owner_;
};

}  // namespace pio
