// SPDX-License-Identifier: MIT
// Builds the panel's components in their creation order; later ones lie above earlier ones.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "art/Artwork.h"
#include "panel/TComponent.h"
#include "panel/TForm1.h"
#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "platform/Picture.h"
#include "platform/Platform.h"

namespace pio {

namespace {

constexpr std::uint32_t kSilver = 0xC0C0C0;

FontSpec TagFont() { return {"MS Sans Serif", 11, true, false}; }

}  // namespace

void TForm1::CreateComponents() {
    using artwork::Led;
    Platform& pf = platform_;
    auto image = [&](const char* name, Point at, Picture picture) {
        return Add<TImage>(name, pf, at, std::move(picture));
    };
    auto tag = [&](const char* name, int left, int top, const char* caption) {
        auto* label = Add<TLabel>(name, pf, Rect{left, top, 8, 13}, caption);
        label->Font = TagFont();
        return label;
    };
    auto hinted = [](TImage* img, const char* hint) {
        img->Hint = hint;
        img->ShowHint = true;
        return img;
    };

    Image1 = image("Image1", {0, -1}, artwork::BackgroundPicture());
    Image1->Tag = 16;
    Label1 = Add<TLabel>("Label1", pf, Rect{13, 176, 315, 18}, credit_);
    Label1->Font = {"Times New Roman", 15, true, true};
    Label1->FontColor = kSilver;
    Label1->Transparent = true;
    Label1->Alignment = TextAlign::Center;
    p1 = image("p1", {50, 80}, artwork::LedPicture(Led::RedOff));
    v5 = hinted(image("v5", {296, 80}, artwork::LedPicture(Led::GreenOff)), "EIN / AUS");
    pout = hinted(image("pout", {296, 36}, artwork::LedPicture(Led::YellowOff)),
                  "externe PIO-Unit aktivieren");
    TImage** sockets[] = {&a1, &a2, &a3, &a4, &a5, &a6};
    for (int i = 0; i < 6; ++i) {
        const std::string name = "a" + std::to_string(i + 1);
        *sockets[i] = image(name.c_str(), {40 + 40 * i, 24}, artwork::SocketPicture());
        (*sockets[i])->Hint = "Port " + std::to_string(i + 1);  // set, but never shown
    }
    p2 = image("p2", {91, 80}, artwork::LedPicture(Led::RedOff));
    p3 = image("p3", {130, 80}, artwork::LedPicture(Led::RedOff));
    p4 = image("p4", {170, 80}, artwork::LedPicture(Led::RedOff));
    p5 = image("p5", {210, 80}, artwork::LedPicture(Led::RedOff));
    p6 = image("p6", {250, 80}, artwork::LedPicture(Led::RedOff));
    const Led states[] = {Led::GreenOff, Led::GreenOn, Led::YellowOff,
                          Led::YellowOn, Led::RedOff,  Led::RedOn};
    const char* stateNames[] = {"goff", "gon", "ooff", "oon", "roff", "ron"};
    TImage** stateFields[] = {&goff, &gon, &ooff, &oon, &roff, &ron};
    for (int i = 0; i < 6; ++i) {
        *stateFields[i] =
            image(stateNames[i], {32 + 8 * i, 112 + 8 * i}, artwork::LedPicture(states[i]));
        (*stateFields[i])->Visible = false;
    }
    l1 = tag("l1", 51, 60, "1");
    l2 = tag("l2", 92, 60, "2");
    l3 = tag("l3", 131, 60, "3");
    l4 = tag("l4", 171, 60, "4");
    l5 = tag("l5", 211, 60, "5");
    l6 = tag("l6", 251, 60, "6");
    peak = hinted(image("peak", {296, 128}, artwork::LedPicture(Led::GreenOff)), "Loadview");
    Label2 = tag("Label2", 299, 144, "0");
    Label2->Alignment = TextAlign::Right;
    Label2->Visible = false;
    vl = hinted(image("vl", {296, 113}, artwork::LedPicture(Led::YellowOff)), "Rider");
    setter = Add<TTimer>("setter", pf, 10, true);
    tick = Add<TTimer>("tick", pf, 500, false);

    // Handler wiring.
    auto bind = [this](void (TForm1::*handler)(TComponent*)) {
        return [this, handler](TComponent* sender) { (this->*handler)(sender); };
    };
    for (TControl* c : std::initializer_list<TControl*>{a1, a2, a3, a4, a5, a6, p1, p2, p3, p4, p5,
                                                        p6, l1, l2, l3, l4, l5, l6, Label2})
        c->OnClick = bind(&TForm1::pClick);
    v5->OnDblClick = bind(&TForm1::v5DblClick);
    pout->OnDblClick = bind(&TForm1::poutDblClick);
    vl->OnDblClick = bind(&TForm1::vlDblClick);
    peak->OnDblClick = bind(&TForm1::peakDblClick);
    setter->SetOnTimer(bind(&TForm1::setterTimer));
    tick->SetOnTimer(bind(&TForm1::tickTimer));
}

}  // namespace pio
