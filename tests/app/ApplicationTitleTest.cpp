// SPDX-License-Identifier: MIT
#include "app/ApplicationTitle.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace pio {

class ApplicationTitleTest : public ::testing::TestWithParam<std::tuple<const char*, const char*>> {
};

TEST_P(ApplicationTitleTest, FromTheProgramPath) {
    EXPECT_EQ(ApplicationTitle(std::get<0>(GetParam())), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Paths, ApplicationTitleTest,
                         ::testing::Values(std::make_tuple("/usr/bin/pio-out", "pio-out"),
                                           std::make_tuple("/opt/x/MY.PANEL.EXE", "My"),
                                           std::make_tuple("PANEL.EXE", "Panel"),
                                           std::make_tuple("C:\\Tools\\PANEL.EXE", "Panel"),
                                           std::make_tuple("/a.b/c/PioOut", "Pioout"),
                                           std::make_tuple("/usr/bin/.hidden", ""),
                                           std::make_tuple("/usr/bin/xY", "xy")),
                         [](const auto& test) { return "case" + std::to_string(test.index); });

}  // namespace pio
