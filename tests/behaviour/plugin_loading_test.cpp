// The plug-in as a host meets it: loaded from its library file, reached only
// through its two exports and the entries they write.
#include <gtest/gtest.h>

#include <set>

#include "support/plugin_fixture.h"

namespace {

TEST(PluginLoading, AnswersVersionFourAndWritesEveryEntry) {
    PluginFixture fixture;
    using Slot = void (*)();
    std::set<Slot> seen;
    const Slot* recordSlots = reinterpret_cast<const Slot*>(&fixture.host.record());
    const Slot* eventSlots = reinterpret_cast<const Slot*>(&fixture.host.events());
    for (int i = 0; i < 5; ++i) seen.insert(recordSlots[i]);
    for (int i = 0; i < 20; ++i) seen.insert(eventSlots[i]);
    EXPECT_EQ(seen.size(), 25u);
    EXPECT_EQ(seen.count(nullptr), 0u);
    // Loading reads no settings and talks to the host not at all.
    EXPECT_TRUE(fixture.host.calls.empty());
}

TEST(PluginLoading, ListsNineCommandSlots) {
    PluginFixture fixture;
    hostsim::Host& host = fixture.host;
    EXPECT_EQ(host.commandCount(), 9);
    const char* names[] = {
        "Talvex Drawing Fn",      "Talvex Switch",           "Talvex Create Talvex",
        "Talvex Reload INI",      "Talvex Switch Tolerance", "Talvex Smart Resym",
        "Talvex Raise Tolerance", "Talvex Lower Tolerance",  "Talvex Reposition"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(host.commandName(i), names[i]);
        EXPECT_EQ(host.commandKind(i), i == 0 ? 2 : 0) << i;
    }
    for (int outside : {9, -1, 1000, -2147483647 - 1}) {
        EXPECT_EQ(host.commandName(outside), "NaFn");
        EXPECT_EQ(host.commandKind(outside), 2);
    }
}

TEST(PluginLoading, CommandsOutsideTheTableDoNothing) {
    PluginFixture fixture;
    hostsim::Host& host = fixture.host;
    for (int index : {0, 9, -1, 1000}) EXPECT_TRUE(host.execute(index));
    EXPECT_TRUE(host.calls.empty());
}

TEST(PluginLoading, ReservedOperationsGiveTheirDefaults) {
    PluginFixture fixture;
    const PluginEventTable& e = fixture.host.events();
    EXPECT_FALSE(e.reserved5(1, 2));
    for (ThreeWordEntry entry : {e.reserved8, e.reserved9, e.reserved10, e.reserved11, e.reserved12,
                                 e.reserved13, e.reserved14})
        EXPECT_TRUE(entry(1, 2, 3));
    for (TwoWordEntry entry : {e.reserved15, e.reserved16, e.reserved19}) EXPECT_TRUE(entry(1, 2));
    for (OneWordEntry entry : {e.reserved20, e.reserved23}) EXPECT_TRUE(entry(1));
    EXPECT_TRUE(fixture.host.calls.empty());
}

}  // namespace
