// SPDX-License-Identifier: MIT
#include "support/OffscreenCanvas.h"

#include <windows.h>

#include "platform/win32/GdiCanvas.h"

namespace pio {

// A 32-bit top-down DIB section selected into a memory DC: GDI draws into memory the test
// can read directly, with no window and no display. Scale 1: one panel pixel, one pixel.
struct OffscreenCanvas::Surface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    std::uint32_t* bits = nullptr;  // 0x00RRGGBB, rows top to bottom
    int width = 0;
    int height = 0;
    std::unique_ptr<GdiCanvas> canvas;
};

OffscreenCanvas::OffscreenCanvas(int width, int height) : surface_(std::make_unique<Surface>()) {
    Surface& s = *surface_;
    s.width = width;
    s.height = height;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    s.dc = CreateCompatibleDC(nullptr);
    s.bitmap = CreateDIBSection(s.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    s.bits = static_cast<std::uint32_t*>(bits);
    s.previous = SelectObject(s.dc, s.bitmap);
    for (int i = 0; i < width * height; ++i) s.bits[i] = 0xFF00FFu;  // unpainted: magenta
    s.canvas = std::make_unique<GdiCanvas>(s.dc, 1);
}

OffscreenCanvas::~OffscreenCanvas() {
    Surface& s = *surface_;
    s.canvas.reset();  // gives back its fonts and clip before the DC goes
    SelectObject(s.dc, s.previous);
    DeleteObject(s.bitmap);
    DeleteDC(s.dc);
}

Canvas& OffscreenCanvas::target() { return *surface_->canvas; }

PixelImage OffscreenCanvas::image() {
    GdiFlush();  // GDI may batch calls; the bits are only current after a flush
    const Surface& s = *surface_;
    PixelImage copy{s.width, s.height, {}};
    copy.rgb.assign(s.bits, s.bits + s.width * s.height);
    for (std::uint32_t& p : copy.rgb) p &= 0xFFFFFFu;
    return copy;
}

}  // namespace pio
