// SPDX-License-Identifier: MIT
// The credit line for the port in use: its text, and that it fits the label as drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "app/CreditLine.h"
#include "app/PanelSession.h"
#include "panel/TForm1.h"
#include "platform/Canvas.h"
#include "support/FakePortDevice.h"
#include "support/OffscreenCanvas.h"
#include "support/PanelRig.h"
#include "support/PixelImage.h"
#include "support/SimPlatform.h"

namespace pio {

namespace {

class CreditLineText : public ::testing::TestWithParam<std::tuple<const char*, const char*>> {};

TEST_P(CreditLineText, NamesThePort) {
    EXPECT_EQ(CreditLine(std::get<0>(GetParam())), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Names, CreditLineText,
    ::testing::Values(std::make_tuple("LPT1", "PIO Out · 6 Kanäle an LPT1"),
                      std::make_tuple("LPT2", "PIO Out · 6 Kanäle an LPT2"),
                      std::make_tuple("LPT9", "PIO Out · 6 Kanäle an LPT9"),
                      std::make_tuple("/dev/usb/lp0", "PIO Out · 6 Kanäle an /dev/usb/lp0"),
                      // 16 narrow characters fit; with one more the start gives way to "…".
                      std::make_tuple("/dev/port-fifo-a", "PIO Out · 6 Kanäle an /dev/port-fifo-a"),
                      std::make_tuple("/dev/port-fifo-ab",
                                      "PIO Out · 6 Kanäle an …dev/port-fifo-ab"),
                      std::make_tuple("/dev/serial/by-path/pci-0000:03:00.0-parport",
                                      "PIO Out · 6 Kanäle an …:03:00.0-parport"),
                      // Wide characters take more room: 9 capitals W fit.
                      std::make_tuple("/dev/WWWWWWWWWWW", "PIO Out · 6 Kanäle an …WWWWWWWWW"),
                      std::make_tuple("/dev/mmmmmm", "PIO Out · 6 Kanäle an /dev/mmmmmm"),
                      std::make_tuple("/dev/mmmmmmm", "PIO Out · 6 Kanäle an …dev/mmmmmmm"),
                      // Characters, not bytes: "ä" (two bytes) is never split.
                      std::make_tuple("/home/jürgen/äääää", "PIO Out · 6 Kanäle an …ürgen/äääää"),
                      std::make_tuple("/ää", "PIO Out · 6 Kanäle an /ää"),
                      std::make_tuple("", "PIO Out · 6 Kanäle an ")),
    [](const auto& test) { return "case" + std::to_string(test.index); });

TEST(CreditLine, DevicesTheProgramNamesItselfAreNeverCut) {
    EXPECT_EQ(DeviceCreditLine("USB-Relais ABCDE"), "PIO Out · 6 Kanäle an USB-Relais ABCDE");
    EXPECT_EQ(DeviceCreditLine("gpiochip0"), "PIO Out · 6 Kanäle an gpiochip0");
    // The same names as a port path would be cut, by the cautious widths.
    EXPECT_EQ(CreditLine("USB-Relais ABCDE").find("…"),
              std::string("PIO Out · 6 Kanäle an ").size());
}

TEST(CreditLine, TheFirstPortGivesThePanelsOwnLine) {
    EXPECT_EQ(CreditLine("LPT1"), TForm1::kCredit);
}

// Start-up hands the line to the panel, which shows it in its credit label; a session given
// none shows the panel's own.
TEST(CreditLine, ThePanelShowsTheLineItIsGiven) {
    SimPlatform sim;
    FakePortDevice device;
    PanelSession named(sim, device, "pio-out", CreditLine("LPT2"));
    EXPECT_EQ(named.Form().Label1->Caption(), "PIO Out · 6 Kanäle an LPT2");
    PanelRig usual;
    EXPECT_EQ(usual.form.Label1->Caption(), TForm1::kCredit);
}

// How wide the line is drawn in the label's font: the columns between the first and the
// last painted pixel on a canvas wider than any credit line.
int DrawnWidth(const std::string& text) {
    constexpr int kWidth = 800;
    OffscreenCanvas canvas(kWidth, 24);
    canvas.fillRect({0, 0, kWidth, 24}, 0xFFFFFF);
    canvas.drawText({0, 2, kWidth, 20}, text, FontSpec{"Times New Roman", 15, true, true}, 0x000000,
                    TextAlign::Center);
    const PixelImage img = canvas.image();
    int left = kWidth, right = -1;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.pixel(x, y) != 0xFFFFFFu) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return right < left ? 0 : right - left + 1;
}

// Every character, repeated far beyond the label: the shortened line still fits.
TEST(CreditLine, LongNamesFitTheLabel) {
    PanelRig rig;  // the label as the panel lays it out
    const int labelWidth = rig.form.Label1->BoundsRect().width;
    std::vector<std::string> characters = {"ä", "€", "—", "Ω"};
    for (char c = ' '; c <= '~'; ++c) characters.emplace_back(1, c);
    for (const std::string& c : characters) {
        std::string path = "/";
        for (int i = 0; i < 40; ++i) path += c;
        const std::string line = CreditLine(path);
        EXPECT_NE(line.find("…"), std::string::npos) << line;
        EXPECT_LE(DrawnWidth(line), labelWidth) << line;
    }
}

// The panel's own line, and the longest port names that are shown in full, fit as well.
TEST(CreditLine, ShortNamesFitTheLabel) {
    PanelRig rig;
    const int labelWidth = rig.form.Label1->BoundsRect().width;
    for (const char* name : {"LPT1", "/dev/port-fifo-a", "/dev/mmmmmm", "/ää"}) {
        const std::string line = CreditLine(name);
        EXPECT_EQ(line.find("…"), std::string::npos) << line;
        EXPECT_LE(DrawnWidth(line), labelWidth) << line;
    }
}

}  // namespace

}  // namespace pio
