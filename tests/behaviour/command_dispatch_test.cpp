// Switch, Reload INI and the three tolerance commands, as the host runs them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/symmetry_scene.h"

namespace {

using namespace symtest;

std::string lastMessage(const hostsim::Host& host) {
    return host.messages.empty() ? "" : host.messages.back();
}

TEST(ToleranceCommands, SwitchToleranceAlternatesBetweenAAndB) {
    PluginFixture f;
    f.host.execute(kSwitchTolerance);
    f.host.execute(kSwitchTolerance);
    f.host.execute(kSwitchTolerance);
    const std::vector<std::string> expected = {"Swap Tolerance - Current Tollerance 0.60",
                                               "Swap Tolerance - Current Tollerance 0.10",
                                               "Swap Tolerance - Current Tollerance 0.60"};
    EXPECT_EQ(f.host.messages, expected);
    EXPECT_TRUE(f.host.errors.empty());
}

TEST(ToleranceCommands, RaiseAndLowerStepTheCurrentToleranceOnly) {
    PluginFixture f;
    f.host.execute(kRaiseTolerance);
    EXPECT_EQ(lastMessage(f.host), "Raise Tolerance - New Tolerance : 0.20");
    f.host.execute(kSwitchTolerance);  // B is untouched by the raise of A
    EXPECT_EQ(lastMessage(f.host), "Swap Tolerance - Current Tollerance 0.60");
    f.host.execute(kLowerTolerance);
    EXPECT_EQ(lastMessage(f.host), "Lower Tolerance - New Tolerance : 0.50");
    f.host.execute(kSwitchTolerance);  // A kept its raise
    EXPECT_EQ(lastMessage(f.host), "Swap Tolerance - Current Tollerance 0.20");
    f.host.execute(kSwitchTolerance);
    EXPECT_EQ(lastMessage(f.host), "Swap Tolerance - Current Tollerance 0.50");
}

TEST(ToleranceCommands, LowerStopsAtOneHundredth) {
    PluginFixture f;
    f.host.execute(kLowerTolerance);  // 0.1 - 0.1 reaches the floor
    f.host.execute(kLowerTolerance);
    const std::vector<std::string> expected = {"Lower Tolerance - New Tolerance : 0.01",
                                               "Lower Tolerance - New Tolerance : 0.01"};
    EXPECT_EQ(f.host.messages, expected);
    f.host.execute(kRaiseTolerance);  // from the float 0.01: 0.01 + 0.1
    EXPECT_EQ(lastMessage(f.host), "Raise Tolerance - New Tolerance : 0.11");
}

TEST(ToleranceCommands, RaiseStopsAt1024) {
    PluginFixture f;
    // Replay the float steps to know how many raises reach the ceiling.
    float t = 0.1f;
    float below = t;
    int raises = 0;
    while (t < 1024.0f) {
        below = t;
        t = static_cast<float>(double(t) + double(0.1f));
        ++raises;
    }
    for (int i = 0; i < raises - 1; ++i) f.host.execute(kRaiseTolerance);
    char text[64];
    std::snprintf(text, sizeof text, "Raise Tolerance - New Tolerance : %.2f", double(below));
    EXPECT_EQ(lastMessage(f.host), text);
    EXPECT_LT(below, 1024.0f);
    f.host.execute(kRaiseTolerance);
    EXPECT_EQ(lastMessage(f.host), "Raise Tolerance - New Tolerance : 1024.00");
    f.host.execute(kRaiseTolerance);
    EXPECT_EQ(lastMessage(f.host), "Raise Tolerance - New Tolerance : 1024.00");
    f.host.execute(kLowerTolerance);
    EXPECT_EQ(lastMessage(f.host), "Lower Tolerance - New Tolerance : 1023.90");
}

TEST(ReloadIni, ShowsItsMessageAndNothingElse) {
    PluginFixture f;
    EXPECT_TRUE(f.host.execute(kReloadIni));
    ASSERT_EQ(f.host.calls.size(), 1u);
    EXPECT_EQ(f.host.calls[0].service, "showMessage");
    EXPECT_EQ(f.host.calls[0].argument, "Talvex INI file reloaded");
}

TEST(Switch, TurnsLiveMatchingOnAndOffSilently) {
    SymmetryScene s;
    s.createUnitPlane();
    HostObject* object = s.addEdited("mesh", {{1, 0, 0}, {-1.02f, 0, 0}, {0, 5, 5}});
    const size_t callsBefore = s.host.calls.size();
    // Off: a drag moves nothing.
    s.drag({s.v(object, 0)}, s.v(object, 2));
    EXPECT_EQ(s.v(object, 1)->x, -1.02f);
    EXPECT_TRUE(s.host.execute(kSwitch));
    EXPECT_EQ(s.host.calls.size(), callsBefore);
    s.drag({s.v(object, 0)}, s.v(object, 2));
    EXPECT_EQ(s.v(object, 1)->x, -1.0f);
    // Off again: B no longer follows A.
    s.host.execute(kSwitch);
    s.v(object, 0)->x = 2;
    s.drag({s.v(object, 0)}, s.v(object, 2));
    EXPECT_EQ(s.v(object, 1)->x, -1.0f);
    EXPECT_EQ(s.host.calls.size(), callsBefore);
}

}  // namespace
