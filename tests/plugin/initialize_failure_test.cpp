// initializePlugin when the plug-in object cannot be made, and when a host
// initialises twice. This program's single-object allocation functions are
// replaced so that they can be made to fail and so that frees can be seen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "plugin/plugin_entry.h"
#include "plugin/plugin_exports.h"
#include "symmetry/symmetry_plugin.h"

namespace {
bool gFailObjects = false;
const void* gLastFreed = nullptr;
}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) std::abort();
    return p;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return gFailObjects ? nullptr : std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept {
    gLastFreed = p;
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    gLastFreed = p;
    std::free(p);
}

namespace {

bool HOST_CALL hostsOwnExecute(std::int32_t) {
    return false;
}

TEST(InitializePlugin, WithoutMemoryInstallsNothingAndLeavesTheHostsEntries) {
    PluginEventTable events{};
    HostPluginRecord record{};
    record.execute = hostsOwnExecute;
    record.events = &events;
    PluginBase* const before = installedPlugin();

    gFailObjects = true;
    initializePlugin(&record);  // must neither throw nor write
    gFailObjects = false;

    EXPECT_EQ(record.execute, &hostsOwnExecute);
    EXPECT_EQ(events.draw, nullptr);
    EXPECT_EQ(installedPlugin(), before);
}

TEST(InitializePlugin, ASecondCallReplacesAndFreesTheFirstObject) {
    PluginEventTable events{};
    HostPluginRecord record{};
    record.events = &events;
    initializePlugin(&record);
    PluginBase* const first = installedPlugin();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(record.execute(kCommandSwitch));
    EXPECT_TRUE(static_cast<SymmetryPlugin*>(first)->active);

    initializePlugin(&record);
    PluginBase* const second = installedPlugin();
    EXPECT_NE(second, first);
    EXPECT_EQ(gLastFreed, static_cast<const void*>(first));
    EXPECT_FALSE(static_cast<SymmetryPlugin*>(second)->active);
    EXPECT_EQ(record.commandCount(), kCommandSlots);
}

}  // namespace
