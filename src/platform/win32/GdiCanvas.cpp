// SPDX-License-Identifier: MIT
#include "platform/win32/GdiCanvas.h"

#include "platform/win32/WideText.h"

namespace pio {

namespace {

COLORREF ToColorRef(std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace

GdiCanvas::GdiCanvas(HDC dc, int scale) : dc_(dc), scale_(scale < 1 ? 1 : scale) {
    SetStretchBltMode(dc_, COLORONCOLOR);
    SetBkMode(dc_, TRANSPARENT);
}

GdiCanvas::~GdiCanvas() {
    SelectClipRgn(dc_, nullptr);
    SelectObject(dc_, GetStockObject(SYSTEM_FONT));  // never delete a selected font
    for (const auto& f : fonts_) DeleteObject(f.second);
}

RECT GdiCanvas::Physical(const Rect& r) const {
    return RECT{r.left * scale_, r.top * scale_, r.right() * scale_, r.bottom() * scale_};
}

void GdiCanvas::setClip(const Rect& clip) {
    clip_ = clip;
    const RECT p = Physical(clip);
    HRGN region = CreateRectRgn(p.left, p.top, p.right, p.bottom);
    SelectClipRgn(dc_, region);  // the DC keeps its own copy
    DeleteObject(region);
}

void GdiCanvas::drawPicture(Point at, const Picture& picture) {
    // Only the part inside the clip is converted: a paint usually covers one LED, and the
    // background behind it is the size of the whole panel.
    const Rect whole{at.x, at.y, picture.width, picture.height};
    const Rect part = clip_.empty() ? whole : whole.Intersected(clip_);
    if (part.empty() || picture.rgb.size() < static_cast<std::size_t>(picture.width) *
                                                 static_cast<std::size_t>(picture.height) * 3)
        return;
    const int sx = part.left - at.x;
    const int sy = part.top - at.y;
    const int stride = (part.width * 3 + 3) & ~3;  // DIB rows are DWORD aligned
    bits_.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(part.height), 0);
    for (int y = 0; y < part.height; ++y) {
        const std::uint8_t* src = &picture.rgb[((sy + y) * picture.width + sx) * 3];
        std::uint8_t* dst = &bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride)];
        for (int x = 0; x < part.width; ++x, src += 3, dst += 3) {
            dst[0] = src[2];  // the picture is R, G, B; a DIB is B, G, R
            dst[1] = src[1];
            dst[2] = src[0];
        }
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = part.width;
    info.bmiHeader.biHeight = -part.height;  // top-down, like the picture
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(dc_, part.left * scale_, part.top * scale_, part.width * scale_,
                  part.height * scale_, 0, 0, part.width, part.height, bits_.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
}

void GdiCanvas::fillRect(const Rect& r, std::uint32_t rgb) {
    if (r.empty()) return;
    const RECT p = Physical(r);
    HBRUSH brush = CreateSolidBrush(ToColorRef(rgb));
    FillRect(dc_, &p, brush);
    DeleteObject(brush);
}

HFONT GdiCanvas::FontFor(const FontSpec& wanted) {
    const auto key = std::make_tuple(wanted.family, wanted.pixelSize, wanted.bold, wanted.italic);
    const auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    // A negative height asks for the character height in pixels, as a pixel size means.
    HFONT font = CreateFontW(-wanted.pixelSize * scale_, 0, 0, 0, wanted.bold ? FW_BOLD : FW_NORMAL,
                             wanted.italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             WideText::FromUtf8(wanted.family).c_str());
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fonts_[key] = font;
    return font;
}

void GdiCanvas::drawText(const Rect& box, const std::string& utf8, const FontSpec& font,
                         std::uint32_t rgb, TextAlign align) {
    const std::wstring text = WideText::FromUtf8(utf8);
    RECT p = Physical(box);
    SelectObject(dc_, FontFor(font));
    SetTextColor(dc_, ToColorRef(rgb));
    UINT format =
        DT_TOP | DT_SINGLELINE | DT_NOPREFIX;  // clipped to the box, as on the other platform
    format |= align == TextAlign::Center  ? DT_CENTER
              : align == TextAlign::Right ? DT_RIGHT
                                          : DT_LEFT;
    DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &p, format);
}

}  // namespace pio
