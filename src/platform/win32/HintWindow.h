// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>

#include "platform/Geometry.h"

namespace pio {

// The hint popup: a small topmost box in the system's tooltip colours with a one-pixel frame.
// It never takes the focus or the pointer (clicks and moves fall through to the panel), so
// the panel stays active and keeps its pointer state while a hint shows.
class HintWindow final {
public:
    HintWindow(HINSTANCE instance, HWND owner);
    ~HintWindow();
    HintWindow(const HintWindow&) = delete;
    HintWindow& operator=(const HintWindow&) = delete;

    // In physical pixels at the given scale: the text plus 6 wide and 2 high, scaled.
    SIZE SizeFor(const std::wstring& text, int scale);
    void ShowAt(const std::wstring& text, POINT topLeft, int scale);
    void Hide();

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Paint();
    HFONT FontFor(int scale);

    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    int fontScale_ = 0;
    std::wstring text_;
    int scale_ = 1;
};

}  // namespace pio
