// The library's two exports and the 25 forwarding entries. Each entry reads the
// global instance, makes one virtual call and returns its result unchanged.
// Which symbols leave the library is decided by Talvex.def (Windows) and
// talvex.map (elsewhere), so nothing here is marked for export.

#include "plugin/plugin_entry.h"

#include <new>

#include "plugin/plugin_exports.h"
#include "symmetry/symmetry_plugin.h"

namespace {

PluginBase* gInstance = nullptr;
SymmetryPlugin* gOwnedPlugin = nullptr;  // the object initializePlugin made

}  // namespace

extern "C" {

static bool HOST_CALL forwardExecute(std::int32_t a) {
    return gInstance->execute(a);
}
static void HOST_CALL forwardRelease(std::int32_t a) {
    gInstance->release(a);
}
static std::int32_t HOST_CALL forwardCommandCount() {
    return gInstance->commandCount();
}
static const char* HOST_CALL forwardCommandName(std::int32_t a) {
    return gInstance->commandName(a);
}
static std::int32_t HOST_CALL forwardCommandKind(std::int32_t a) {
    return gInstance->commandKind(a);
}
static bool HOST_CALL forwardReserved5(HostWord a, HostWord b) {
    return gInstance->reserved5(a, b);
}
static void HOST_CALL forwardSelectionChanged(HostWord a) {
    gInstance->selectionChanged(a);
}
static void HOST_CALL forwardVerticesMoved(VertexList* a, HostWord b) {
    gInstance->verticesMoved(a, b);
}
static bool HOST_CALL forwardReserved8(HostWord a, HostWord b, HostWord c) {
    return gInstance->reserved8(a, b, c);
}
static bool HOST_CALL forwardReserved9(HostWord a, HostWord b, HostWord c) {
    return gInstance->reserved9(a, b, c);
}
static bool HOST_CALL forwardReserved10(HostWord a, HostWord b, HostWord c) {
    return gInstance->reserved10(a, b, c);
}
static bool HOST_CALL forwardReserved11(HostWord a, HostWord b, HostWord c) {
    return gInstance->reserved11(a, b, c);
}
static bool HOST_CALL forwardReserved12(HostWord a, HostWord b, HostWord c) {
    return gInstance->reserved12(a, b, c);
}
static bool HOST_CALL forwardReserved13(HostWord a, HostWord b, HostWord c) {
    return gInstance->reserved13(a, b, c);
}
static bool HOST_CALL forwardReserved14(HostWord a, HostWord b, HostWord c) {
    return gInstance->reserved14(a, b, c);
}
static bool HOST_CALL forwardReserved15(HostWord a, HostWord b) {
    return gInstance->reserved15(a, b);
}
static bool HOST_CALL forwardReserved16(HostWord a, HostWord b) {
    return gInstance->reserved16(a, b);
}
static bool HOST_CALL forwardHostCommand(std::int32_t a, HostWord b) {
    return gInstance->hostCommand(a, b);
}
static void HOST_CALL forwardHostEvent(std::int32_t a, HostWord b) {
    gInstance->hostEvent(a, b);
}
static bool HOST_CALL forwardReserved19(HostWord a, HostWord b) {
    return gInstance->reserved19(a, b);
}
static bool HOST_CALL forwardReserved20(HostWord a) {
    return gInstance->reserved20(a);
}
static bool HOST_CALL forwardHoldPairsA(HostWord a) {
    return gInstance->holdPairsA(a);
}
static bool HOST_CALL forwardHoldPairsB(HostWord a) {
    return gInstance->holdPairsB(a);
}
static bool HOST_CALL forwardReserved23(HostWord a) {
    return gInstance->reserved23(a);
}
static bool HOST_CALL forwardDraw(std::int32_t a) {
    return gInstance->draw(a);
}

std::int32_t HOST_CALL getPluginVersion() {
    return kPluginInterfaceVersion;
}

void HOST_CALL initializePlugin(HostPluginRecord* record) {
    // nothrow: a failed allocation must not unwind into the host's frames. The
    // host then keeps its own entries, and no plug-in is installed.
    auto* plugin = new (std::nothrow) SymmetryPlugin(record->scene, record->services);
    if (plugin == nullptr) return;
    // A host that initialises again gets a fresh plug-in; the tables now point
    // at the new one, so nothing can reach the old object any more.
    delete gOwnedPlugin;
    gOwnedPlugin = plugin;
    installPlugin(plugin, record);
}

}  // extern "C"

void installPlugin(PluginBase* plugin, HostPluginRecord* record) noexcept {
    gInstance = plugin;

    record->execute = forwardExecute;
    record->release = forwardRelease;
    record->commandCount = forwardCommandCount;
    record->commandName = forwardCommandName;
    record->commandKind = forwardCommandKind;

    PluginEventTable* events = record->events;
    events->reserved5 = forwardReserved5;
    events->selectionChanged = forwardSelectionChanged;
    events->verticesMoved = forwardVerticesMoved;
    events->reserved8 = forwardReserved8;
    events->reserved9 = forwardReserved9;
    events->reserved10 = forwardReserved10;
    events->reserved11 = forwardReserved11;
    events->reserved12 = forwardReserved12;
    events->reserved13 = forwardReserved13;
    events->reserved14 = forwardReserved14;
    events->reserved15 = forwardReserved15;
    events->hostCommand = forwardHostCommand;
    events->reserved16 = forwardReserved16;
    events->hostEvent = forwardHostEvent;
    events->reserved19 = forwardReserved19;
    events->reserved20 = forwardReserved20;
    events->holdPairsA = forwardHoldPairsA;
    events->holdPairsB = forwardHoldPairsB;
    events->reserved23 = forwardReserved23;
    events->draw = forwardDraw;
}

PluginBase* installedPlugin() noexcept {
    return gInstance;
}
