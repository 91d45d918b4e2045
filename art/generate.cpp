// Writes ArtData.cpp (the pictures as data) into the folder given as the only argument.
#include <cstdio>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Picture.h"

namespace {

Picture flat(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    Picture p{w, h, {}};
    for (int i = 0; i < w * h; ++i) p.rgb.insert(p.rgb.end(), {r, g, b});
    return p;
}

void emit(std::ofstream& out, const std::string& name, const Picture& p) {
    out << "static const unsigned char " << name << "_rgb[] = {";
    for (std::size_t i = 0; i < p.rgb.size(); ++i) out << (i % 24 ? "" : "\n") << int(p.rgb[i]) << ',';
    out << "};\nstatic Picture " << name << "_pic() { return Picture{" << p.width << ", "
        << p.height << ", std::vector<std::uint8_t>(" << name << "_rgb, " << name
        << "_rgb + sizeof " << name << "_rgb)}; }\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pio-artgen OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::ofstream out(dir + "/ArtData.cpp");
    out << "#include \"Artwork.h\"\nnamespace artwork {\n";
    emit(out, "background", flat(340, 201, 0x3b, 0x3b, 0x40));
    emit(out, "socket", flat(30, 31, 0xb6, 0x53, 0x24));
    const std::uint8_t leds[6][3] = {{0x3d, 0x6a, 0}, {0x9c, 0xfa, 0x18}, {0x67, 0x34, 0},
                                     {0xf8, 0xde, 0x1a}, {0x70, 0, 0}, {0xff, 0x26, 0x26}};
    for (int i = 0; i < 6; ++i) emit(out, "led" + std::to_string(i), flat(11, 11, leds[i][0], leds[i][1], leds[i][2]));
    out << "Picture background() { return background_pic(); }\n"
           "Picture socket() { return socket_pic(); }\n"
           "Picture led(Led which) {\n  switch (which) {\n"
           "  case Led::GreenOff: return led0_pic();\n  case Led::GreenOn: return led1_pic();\n"
           "  case Led::YellowOff: return led2_pic();\n  case Led::YellowOn: return led3_pic();\n"
           "  case Led::RedOff: return led4_pic();\n  default: return led5_pic();\n  }\n}\n"
           "Icon icon() { return Icon{32, 32, std::vector<std::uint32_t>(32 * 32, 0xff000000u)}; }\n"
           "}  // namespace artwork\n";
    for (int s : {32, 48, 64}) std::ofstream(dir + "/pio-out-" + std::to_string(s) + ".png");
    return out ? 0 : 1;
}
