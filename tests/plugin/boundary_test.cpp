// The forwarding entries and the entry map, observed with a plug-in object
// that records which operation each host slot reaches and with what arguments.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "plugin/plugin_entry.h"

namespace {

struct Received {
    std::string operation;
    std::vector<std::uint32_t> arguments;
};

class RecordingPlugin final : public PluginBase {
public:
    std::vector<Received> log;

    void note(const char* operation, std::vector<std::uint32_t> arguments) {
        log.push_back({operation, arguments});
    }

    bool execute(std::int32_t a) noexcept override {
        return note("execute", {std::uint32_t(a)}), false;
    }
    void release(std::int32_t a) noexcept override { note("release", {std::uint32_t(a)}); }
    std::int32_t commandCount() noexcept override { return note("commandCount", {}), 77; }
    const char* commandName(std::int32_t a) noexcept override {
        return note("commandName", {std::uint32_t(a)}), "n";
    }
    std::int32_t commandKind(std::int32_t a) noexcept override {
        return note("commandKind", {std::uint32_t(a)}), -3;
    }
    bool reserved5(HostWord a, HostWord b) noexcept override {
        return note("reserved5", {a, b}), true;
    }
    void selectionChanged(HostWord a) noexcept override { note("selectionChanged", {a}); }
    void verticesMoved(VertexList* list, HostWord b) noexcept override {
        note("verticesMoved", {std::uint32_t(list->count), b});
    }
    bool reserved8(HostWord a, HostWord b, HostWord c) noexcept override {
        return note("reserved8", {a, b, c}), false;
    }
    bool reserved9(HostWord a, HostWord b, HostWord c) noexcept override {
        return note("reserved9", {a, b, c}), false;
    }
    bool reserved10(HostWord a, HostWord b, HostWord c) noexcept override {
        return note("reserved10", {a, b, c}), false;
    }
    bool reserved11(HostWord a, HostWord b, HostWord c) noexcept override {
        return note("reserved11", {a, b, c}), false;
    }
    bool reserved12(HostWord a, HostWord b, HostWord c) noexcept override {
        return note("reserved12", {a, b, c}), false;
    }
    bool reserved13(HostWord a, HostWord b, HostWord c) noexcept override {
        return note("reserved13", {a, b, c}), false;
    }
    bool reserved14(HostWord a, HostWord b, HostWord c) noexcept override {
        return note("reserved14", {a, b, c}), false;
    }
    bool reserved15(HostWord a, HostWord b) noexcept override {
        return note("reserved15", {a, b}), false;
    }
    bool reserved16(HostWord a, HostWord b) noexcept override {
        return note("reserved16", {a, b}), false;
    }
    bool hostCommand(std::int32_t a, HostWord b) noexcept override {
        return note("hostCommand", {std::uint32_t(a), b}), false;
    }
    void hostEvent(std::int32_t a, HostWord b) noexcept override {
        note("hostEvent", {std::uint32_t(a), b});
    }
    bool reserved19(HostWord a, HostWord b) noexcept override {
        return note("reserved19", {a, b}), false;
    }
    bool reserved20(HostWord a) noexcept override { return note("reserved20", {a}), false; }
    bool holdPairsA(HostWord a) noexcept override { return note("holdPairsA", {a}), false; }
    bool holdPairsB(HostWord a) noexcept override { return note("holdPairsB", {a}), false; }
    bool reserved23(HostWord a) noexcept override { return note("reserved23", {a}), false; }
    bool draw(std::int32_t a) noexcept override { return note("draw", {std::uint32_t(a)}), false; }
};

class DefaultPlugin final : public PluginBase {};

struct Installed {
    PluginEventTable events{};
    HostPluginRecord record{};
    explicit Installed(PluginBase* plugin) {
        record.events = &events;
        installPlugin(plugin, &record);
    }
};

TEST(Boundary, EveryHostSlotReachesItsOperationWithArgumentsInOrder) {
    RecordingPlugin plugin;
    Installed host(&plugin);
    const HostPluginRecord& r = host.record;
    const PluginEventTable& e = host.events;
    VertexList moved{nullptr, 3};

    // Results come back unchanged, including the overrides' unusual ones.
    EXPECT_FALSE(r.execute(7));
    r.release(-1);
    EXPECT_EQ(r.commandCount(), 77);
    EXPECT_STREQ(r.commandName(1000), "n");
    EXPECT_EQ(r.commandKind(-5), -3);
    EXPECT_TRUE(e.reserved5(1, 2));
    e.selectionChanged(0xDEADBEEF);
    e.verticesMoved(&moved, 42);
    EXPECT_FALSE(e.reserved8(1, 2, 3));
    e.reserved9(4, 5, 6);
    e.reserved10(7, 8, 9);
    e.reserved11(10, 11, 12);
    e.reserved12(13, 14, 15);
    e.reserved13(16, 17, 18);
    e.reserved14(19, 20, 21);
    e.reserved15(22, 23);
    e.hostCommand(24, 25);
    e.reserved16(26, 27);
    e.hostEvent('D', 0x12345678);
    e.reserved19(28, 29);
    e.reserved20(30);
    e.holdPairsA(31);
    e.holdPairsB(32);
    e.reserved23(33);
    EXPECT_FALSE(e.draw(34));

    const std::vector<Received> expected = {
        {"execute", {7}},
        {"release", {0xFFFFFFFF}},
        {"commandCount", {}},
        {"commandName", {1000}},
        {"commandKind", {0xFFFFFFFB}},
        {"reserved5", {1, 2}},
        {"selectionChanged", {0xDEADBEEF}},
        {"verticesMoved", {3, 42}},
        {"reserved8", {1, 2, 3}},
        {"reserved9", {4, 5, 6}},
        {"reserved10", {7, 8, 9}},
        {"reserved11", {10, 11, 12}},
        {"reserved12", {13, 14, 15}},
        {"reserved13", {16, 17, 18}},
        {"reserved14", {19, 20, 21}},
        {"reserved15", {22, 23}},
        {"hostCommand", {24, 25}},
        {"reserved16", {26, 27}},
        {"hostEvent", {'D', 0x12345678}},
        {"reserved19", {28, 29}},
        {"reserved20", {30}},
        {"holdPairsA", {31}},
        {"holdPairsB", {32}},
        {"reserved23", {33}},
        {"draw", {34}},
    };
    ASSERT_EQ(plugin.log.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(plugin.log[i].operation, expected[i].operation) << "call " << i;
        EXPECT_EQ(plugin.log[i].arguments, expected[i].arguments) << "call " << i;
    }
}

TEST(Boundary, HostCommandAndReserved16AreSwappedInTheEventTable) {
    RecordingPlugin plugin;
    Installed host(&plugin);
    using Slot = void (*)();
    const Slot* slots = reinterpret_cast<const Slot*>(&host.events);
    // Slot 11 is operation 17, slot 12 operation 16.
    reinterpret_cast<HostCommandEntry>(slots[11])(5, 6);
    reinterpret_cast<TwoWordEntry>(slots[12])(7, 8);
    ASSERT_EQ(plugin.log.size(), 2u);
    EXPECT_EQ(plugin.log[0].operation, "hostCommand");
    EXPECT_EQ(plugin.log[1].operation, "reserved16");
}

TEST(Boundary, AllTwentyFiveEntriesAreWrittenAndDistinct) {
    RecordingPlugin plugin;
    Installed host(&plugin);
    using Slot = void (*)();
    std::set<Slot> seen;
    const Slot* recordSlots = reinterpret_cast<const Slot*>(&host.record);
    const Slot* eventSlots = reinterpret_cast<const Slot*>(&host.events);
    for (int i = 0; i < 5; ++i) seen.insert(recordSlots[i]);
    for (int i = 0; i < 20; ++i) seen.insert(eventSlots[i]);
    EXPECT_EQ(seen.size(), 25u);
    EXPECT_EQ(seen.count(nullptr), 0u);
    EXPECT_EQ(installedPlugin(), &plugin);
}

TEST(Boundary, APluginThatOverridesNothingIsTheDummyPlugin) {
    DefaultPlugin plugin;
    Installed host(&plugin);
    const HostPluginRecord& r = host.record;
    const PluginEventTable& e = host.events;
    EXPECT_EQ(r.commandCount(), 1);
    EXPECT_STREQ(r.commandName(0), "Dummy Plugin");
    EXPECT_STREQ(r.commandName(-9), "Dummy Plugin");
    EXPECT_EQ(r.commandKind(0), 0);
    EXPECT_TRUE(r.execute(3));
    EXPECT_FALSE(e.reserved5(0, 0));
    for (ThreeWordEntry entry : {e.reserved8, e.reserved9, e.reserved10, e.reserved11, e.reserved12,
                                 e.reserved13, e.reserved14})
        EXPECT_TRUE(entry(0, 0, 0));
    for (TwoWordEntry entry : {e.reserved15, e.reserved16, e.reserved19}) EXPECT_TRUE(entry(1, 2));
    for (OneWordEntry entry : {e.reserved20, e.holdPairsA, e.holdPairsB, e.reserved23})
        EXPECT_TRUE(entry(1));
    EXPECT_TRUE(e.hostCommand(2, 0));
    EXPECT_TRUE(e.draw(0));
}

}  // namespace
