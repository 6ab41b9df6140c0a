// The 25 operations the host can reach, in slot order, with the results a
// plug-in that overrides nothing gives: one command named "Dummy Plugin".
// Reading the class is reading the host's tables, so it sits with them.
// SymmetryPlugin derives from it; the forwarding entries call these virtually.
#pragma once

#include <cstdint>

#include "host/plugin_tables.h"

class PluginBase {
public:
    virtual bool execute(std::int32_t /*commandIndex*/) noexcept { return true; }
    virtual void release(std::int32_t /*flag*/) noexcept {}
    virtual std::int32_t commandCount() noexcept { return 1; }
    virtual const char* commandName(std::int32_t /*commandIndex*/) noexcept {
        return "Dummy Plugin";
    }
    virtual std::int32_t commandKind(std::int32_t /*commandIndex*/) noexcept { return 0; }
    virtual bool reserved5(HostWord, HostWord) noexcept { return false; }
    virtual void selectionChanged(HostWord) noexcept {}
    virtual void verticesMoved(VertexList* /*moved*/, HostWord) noexcept {}
    virtual bool reserved8(HostWord, HostWord, HostWord) noexcept { return true; }
    virtual bool reserved9(HostWord, HostWord, HostWord) noexcept { return true; }
    virtual bool reserved10(HostWord, HostWord, HostWord) noexcept { return true; }
    virtual bool reserved11(HostWord, HostWord, HostWord) noexcept { return true; }
    virtual bool reserved12(HostWord, HostWord, HostWord) noexcept { return true; }
    virtual bool reserved13(HostWord, HostWord, HostWord) noexcept { return true; }
    virtual bool reserved14(HostWord, HostWord, HostWord) noexcept { return true; }
    virtual bool reserved15(HostWord, HostWord) noexcept { return true; }
    virtual bool reserved16(HostWord, HostWord) noexcept { return true; }
    virtual bool hostCommand(std::int32_t /*commandId*/, HostWord) noexcept { return true; }
    virtual void hostEvent(std::int32_t /*eventCode*/, HostWord) noexcept {}
    virtual bool reserved19(HostWord, HostWord) noexcept { return true; }
    virtual bool reserved20(HostWord) noexcept { return true; }
    virtual bool holdPairsA(HostWord) noexcept { return true; }
    virtual bool holdPairsB(HostWord) noexcept { return true; }
    virtual bool reserved23(HostWord) noexcept { return true; }
    virtual bool draw(std::int32_t /*flag*/) noexcept { return true; }

protected:
    PluginBase() = default;
    // Never deleted through this base: initializePlugin deletes the object it
    // made, as its own class, only when a second initialise replaces it.
    ~PluginBase() = default;
};
