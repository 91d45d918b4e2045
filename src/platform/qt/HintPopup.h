// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace pio {

// A topmost tooltip-style box with a 1-pixel frame that never takes the focus.
class HintPopup final : public QWidget {
public:
    HintPopup();
    // The text plus 6 px in width and 2 px in height.
    QSize SizeFor(const QString& text) const;
    // Shows the box at a screen place, as a box that belongs to the owner's window.
    void ShowAt(const QString& text, QPoint topLeft, QWidget* owner);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

}  // namespace pio
