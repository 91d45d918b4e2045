// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace pio {

// What every window kind of the program does with its class and its window procedure, in one
// place: the class is registered once per process, and a window finds its C++ object again
// through GWLP_USERDATA, which CreateWindowExW's last argument fills at WM_NCCREATE.
class WindowClass final {
public:
    // Registers `wc` unless a class of its name is already there (a second window of the kind
    // reuses it). Throws Win32Error "RegisterClassExW (<what>)" when registering fails.
    static void Register(const WNDCLASSEXW& wc, const char* what);

    // For a window procedure: at WM_NCCREATE stores the creation parameter as the window's
    // object; returns that object (null before WM_NCCREATE and after it was cleared).
    static void* Object(HWND hwnd, UINT msg, LPARAM lp);

    // The window procedure of a kind W (a friend of this class) whose object handles every
    // message in W::OnMessage once CreateWindowExW has returned its handle; before that, and
    // once the object has let go (GWLP_USERDATA cleared), Windows' default.
    template <class W>
    static LRESULT CALLBACK Route(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = static_cast<W*>(Object(hwnd, msg, lp));
        if (!self || !self->hwnd_) return DefWindowProcW(hwnd, msg, wp, lp);
        return self->OnMessage(msg, wp, lp);
    }
};

}  // namespace pio
