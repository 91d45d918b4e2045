// SPDX-License-Identifier: MIT
// Every message a port cycle on Linux can show is explained in the README's table and in the
// manual page: each errno the device can meet, and the codes the device makes itself.
#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "output/EInOutError.h"
#include "output/IoErrorCode.h"
#include "output/PortDevice.h"
#include "output/PortNode.h"

namespace pio {

namespace {

std::string Read(const char* path) {
    std::ifstream in(path);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// The manual page's text with the groff escapes for umlauts and hyphens undone.
std::string ManualText() {
    std::string text = Read(PIO_MAN_PAGE);
    const std::pair<const char*, const char*> escapes[] = {
        {"\\(:o", "ö"}, {"\\(:a", "ä"}, {"\\(:u", "ü"}, {"\\-", "-"}};
    for (const auto& [from, to] : escapes) {
        for (std::size_t at; (at = text.find(from)) != std::string::npos;)
            text.replace(at, std::string(from).size(), to);
    }
    return text;
}

std::set<std::string> LinuxCycleMessages() {
    std::set<std::string> messages;
    // Every errno value Linux has: whatever a call returns maps to one of these codes.
    for (int err = 1; err < 134; ++err) messages.insert(IoErrorMessage(IoErrorCodeFromErrno(err)));
    // The codes the device and the writer make themselves.
    for (int code : {kNotAPort, kPortHeldByAnotherPanel, 101})
        messages.insert(IoErrorMessage(code));
    return messages;
}

TEST(MessageDocs, EveryLinuxCycleMessageIsExplained) {
    // The Linux table only: the Windows one has rows of the same names.
    const std::string whole = Read(PIO_README);
    const std::size_t from = whole.find("When a port cycle fails, pio-out shows one of these");
    const std::size_t to = whole.find("**Two panels, one port.**", from);
    ASSERT_NE(to, std::string::npos) << "the README's Linux message table is not where it was";
    const std::string readme = whole.substr(from, to - from);
    const std::string manual = ManualText();
    ASSERT_FALSE(readme.empty());
    ASSERT_FALSE(manual.empty());
    for (const std::string& message : LinuxCycleMessages()) {
        EXPECT_NE(readme.find("| " + message + " |"), std::string::npos)
            << "the README's table lacks a row for " << message;
        EXPECT_NE(manual.find(".B " + message + "\n"), std::string::npos)
            << "the manual page lacks an entry for " << message;
    }
}

}  // namespace

}  // namespace pio
