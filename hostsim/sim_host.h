// A complete substitute host: a scene, a services table whose every entry
// records its call, and the plug-in loaded from its library file and reached
// only through its two exports and the entries they write. One Host is live
// at a time, since the host's services are plain C functions without context.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/plugin_tables.h"
#include "hostsim/sim_scene.h"

namespace hostsim {

// One call of a host service, with its arguments as text.
struct ServiceCall {
    std::string service;
    std::string argument;
};

// Positions of the vertices one edit step changed, for undo: two flat
// arrays, vertex i of the step was at positions[i].
struct EditStep {
    std::vector<HostVertex*> vertices;
    std::vector<Point> positions;
};

// The list of the last registerEditedVertices call, in the plug-in's order.
// Inside an edit step it is read from the step's record, whose `vertices`
// end with the same pointers, rather than held twice: a million pairs would
// keep 8 MB more while the plug-in's own list is still alive. Undoing that
// step hands its record over to the list; clearing undoSteps directly drops
// the list with them (it is then empty).
class RegisteredList {
public:
    std::size_t size() const noexcept { return source() != nullptr ? count_ : 0; }
    bool empty() const noexcept { return size() == 0; }
    HostVertex* const* begin() const noexcept;
    HostVertex* const* end() const noexcept { return begin() + size(); }
    HostVertex* operator[](std::size_t i) const noexcept { return begin()[i]; }
    // Empties the list and frees what it held on its own.
    void release() noexcept;

private:
    friend class Host;
    friend struct ServiceEntries;
    // Where the list lies: own_, or the record of step step_; null when that
    // step is gone.
    const std::vector<HostVertex*>* source() const noexcept;

    const std::vector<EditStep>* steps_ = nullptr;  // null while the list is own_
    std::size_t step_ = 0;
    std::size_t offset_ = 0;
    std::size_t count_ = 0;
    std::vector<HostVertex*> own_;
};

class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Loads the library, checks getPluginVersion answers 4 and calls
    // initializePlugin. False with a readable reason in `error` otherwise.
    bool loadPlugin(const std::string& path, std::string& error);
    // The same for a plug-in already in this process (linked statically, as
    // the fuzzers do): checks that `version` answers 4, then calls
    // `initialize` with the host's record. Null exports are refused.
    bool attachPlugin(GetPluginVersionExport version, InitializePluginExport initialize,
                      std::string& error);

    // The plug-in's entries, as the host calls them.
    bool execute(int commandIndex) { return record_.execute(commandIndex); }
    void release(int flag) { record_.release(flag); }
    int commandCount() { return record_.commandCount(); }
    std::string commandName(int index) { return record_.commandName(index); }
    int commandKind(int index) { return record_.commandKind(index); }
    void selectionChanged() { events_.selectionChanged(0); }
    void verticesMoved(VertexList* moved) { events_.verticesMoved(moved, 0); }
    bool hostCommand(int id) { return events_.hostCommand(id, 0); }
    void hostEvent(int code) { events_.hostEvent(code, 0); }
    bool holdPairsA() { return events_.holdPairsA(0); }
    bool holdPairsB() { return events_.holdPairsB(0); }
    bool draw(int flag) { return events_.draw(flag); }
    const HostPluginRecord& record() const { return record_; }
    const PluginEventTable& events() const { return events_; }

    // Runs command `name` by its table name; false when no slot has that name.
    bool executeByName(const std::string& name);

    // Drag: reports `sources` then the search point entry to verticesMoved.
    void reportMoved(const std::vector<HostVertex*>& sources, HostVertex* searchPoint);

    // Raises, once, what a host service threw while the plug-in called it
    // (running out of memory, say): the services swallow it, since nothing
    // may escape into the plug-in, and the scene's edit record may then be
    // short. Callers of the plug-in's entries call this after them.
    void rethrowServiceFailure();

    // Undoes the last edit step; false when there is none.
    bool undo();

    Scene scene;
    HostServices services;
    std::vector<ServiceCall> calls;  // every service call, in order
    std::vector<std::string> messages;
    std::vector<std::string> errors;
    std::vector<EditStep> undoSteps;
    RegisteredList lastRegistered;
    int selectionMode = 2;
    Point manipulator{0.0f, 0.0f, 0.0f};
    int editDepth = 0;
    // PrimitiveParams as the last command 107 found them.
    PrimitiveParams primitiveAtBuild{};
    // When set, command 107 runs this instead of building the plane primitive
    // (a host that builds something else, or nothing).
    std::function<void(Scene& scene)> buildPlane;
    // Called on every showMessage/showError, for printing as the host shows them.
    std::function<void(const std::string& text, bool isError)> onMessage;

private:
    friend struct ServiceEntries;
    HostPluginRecord record_;
    PluginEventTable events_;
    std::exception_ptr serviceFailure_;
    std::vector<HostVertex*> movedItems_;
    VertexList moved_;
};

// The live host, for the service entries.
Host* currentHost();

}  // namespace hostsim
