#include "hostsim/sim_host.h"

#include <cstdio>
#include <cstring>

#include "hostsim/library.h"

namespace hostsim {

namespace {

Host* gHost = nullptr;

constexpr int kBuildPlanePrimitive = 107;

std::string hexPointer(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", p);
    return text;
}

}  // namespace

Host* currentHost() {
    return gHost;
}

struct ServiceEntries {
    // Runs a service's work inside the plug-in's call: nothing may escape
    // back into the plug-in, so a failure (running out of memory) is kept
    // for the host to raise once the plug-in has returned.
    template <typename Work>
    static void guarded(Work work) noexcept {
        try {
            work();
        } catch (...) {
            if (!gHost->serviceFailure_) gHost->serviceFailure_ = std::current_exception();
        }
    }
    static void record(const char* service, std::string argument = {}) {
        gHost->calls.push_back({service, std::move(argument)});
    }
    static void HOST_CALL beginEdit() {
        guarded([&] {
            record("beginEdit");
            ++gHost->editDepth;
            gHost->undoSteps.emplace_back();
        });
    }
    static void HOST_CALL endEdit() {
        guarded([&] {
            record("endEdit");
            --gHost->editDepth;
        });
    }
    static void HOST_CALL registerEditedVertices(HostPointerList* list) {
        guarded([&] {
            record("registerEditedVertices", std::to_string(list->count));
            const std::size_t count = list->count > 0 ? static_cast<std::size_t>(list->count) : 0;
            auto** items = reinterpret_cast<HostVertex**>(list->items);
            RegisteredList& registered = gHost->lastRegistered;
            registered.release();
            if (gHost->undoSteps.empty()) {
                registered.own_.assign(items, items + count);
                registered.count_ = count;
                return;
            }
            // The user waits for this copy as for the command itself: the
            // pointers go across in one block, and the old positions are read
            // with the vertices a few steps ahead already asked for.
            EditStep& step = gHost->undoSteps.back();
            const std::size_t first = step.vertices.size();
            step.vertices.insert(step.vertices.end(), items, items + count);
            const std::size_t base = step.positions.size();
            step.positions.resize(base + count);
            Point* positions = step.positions.data() + base;
            constexpr std::size_t kAhead = 8;
            for (std::size_t i = 0; i < count; ++i) {
                if (i + kAhead < count) __builtin_prefetch(items[i + kAhead]);
                const HostVertex& v = *items[i];
                positions[i] = Point{v.x, v.y, v.z};
            }
            registered.steps_ = &gHost->undoSteps;
            registered.step_ = gHost->undoSteps.size() - 1;
            registered.offset_ = first;
            registered.count_ = count;
        });
    }
    static void HOST_CALL showMessage(const char* text) {
        guarded([&] {
            record("showMessage", text);
            gHost->messages.push_back(text);
            if (gHost->onMessage) gHost->onMessage(text, false);
        });
    }
    static void HOST_CALL showError(const char* text) {
        guarded([&] {
            record("showError", text);
            gHost->errors.push_back(text);
            if (gHost->onMessage) gHost->onMessage(text, true);
        });
    }
    static void HOST_CALL runCommand(std::int32_t id) {
        guarded([&] {
            record("runCommand", std::to_string(id));
            if (id != kBuildPlanePrimitive) return;
            gHost->primitiveAtBuild = gHost->scene.primitive;
            if (gHost->buildPlane)
                gHost->buildPlane(gHost->scene);
            else
                gHost->scene.buildPlanePrimitive();
        });
    }
    static void HOST_CALL refresh() {
        guarded([&] { record("refresh"); });
    }
    static std::int32_t HOST_CALL getSelectionMode() {
        guarded([] { record("getSelectionMode"); });
        return gHost->selectionMode;
    }
    static void HOST_CALL getManipulator(Vector3* first, Vector3* second, Vector3* third,
                                         Vector3* point) {
        guarded([&] { record("getManipulator", hexPointer(point)); });
        for (Vector3* v : {first, second, third}) *v = Vector3(0.0f, 0.0f, 0.0f);
        point->x = gHost->manipulator.x;
        point->y = gHost->manipulator.y;
        point->z = gHost->manipulator.z;
    }
};

Host::Host() : services{}, record_{}, events_{}, moved_{nullptr, 0} {
    gHost = this;
    services.beginEdit = ServiceEntries::beginEdit;
    services.endEdit = ServiceEntries::endEdit;
    services.registerEditedVertices = ServiceEntries::registerEditedVertices;
    services.showMessage = ServiceEntries::showMessage;
    services.showError = ServiceEntries::showError;
    services.runCommand = ServiceEntries::runCommand;
    services.refresh = ServiceEntries::refresh;
    services.getSelectionMode = ServiceEntries::getSelectionMode;
    services.getManipulator = ServiceEntries::getManipulator;
    record_.events = &events_;
    record_.scene = &scene.record;
    record_.services = &services;
}

Host::~Host() {
    if (gHost == this) gHost = nullptr;
}

bool Host::loadPlugin(const std::string& path, std::string& error) {
    void* library = openLibrary(path, error);
    if (library == nullptr) {
        error = "cannot load plug-in " + path + ": " + error;
        return false;
    }
    auto version =
        reinterpret_cast<GetPluginVersionExport>(findSymbol(library, "getPluginVersion"));
    auto initialize =
        reinterpret_cast<InitializePluginExport>(findSymbol(library, "initializePlugin"));
    if (!attachPlugin(version, initialize, error)) {
        error = path + error;
        return false;
    }
    return true;
}

bool Host::attachPlugin(GetPluginVersionExport version, InitializePluginExport initialize,
                        std::string& error) {
    if (version == nullptr || initialize == nullptr) {
        error = std::string(" is not a plug-in: it does not export ") +
                (version == nullptr ? "getPluginVersion" : "initializePlugin");
        return false;
    }
    const int answer = version();
    if (answer != kPluginInterfaceVersion) {
        error = " implements plug-in interface version " + std::to_string(answer) +
                ", this host needs " + std::to_string(kPluginInterfaceVersion);
        return false;
    }
    initialize(&record_);
    return true;
}

bool Host::executeByName(const std::string& name) {
    const int count = commandCount();
    for (int i = 0; i < count; ++i) {
        if (commandName(i) == name) {
            execute(i);
            return true;
        }
    }
    return false;
}

void Host::reportMoved(const std::vector<HostVertex*>& sources, HostVertex* searchPoint) {
    movedItems_ = sources;
    movedItems_.push_back(searchPoint);
    moved_.items = movedItems_.data();
    moved_.count = static_cast<std::int32_t>(movedItems_.size());
    verticesMoved(&moved_);
}

void Host::rethrowServiceFailure() {
    if (!serviceFailure_) return;
    std::exception_ptr failure = serviceFailure_;
    serviceFailure_ = nullptr;
    std::rethrow_exception(failure);
}

bool Host::undo() {
    if (undoSteps.empty()) return false;
    EditStep& step = undoSteps.back();
    for (std::size_t i = step.vertices.size(); i > 0; --i) {
        HostVertex* v = step.vertices[i - 1];
        v->x = step.positions[i - 1].x;
        v->y = step.positions[i - 1].y;
        v->z = step.positions[i - 1].z;
    }
    RegisteredList& registered = lastRegistered;
    if (registered.steps_ == &undoSteps && registered.step_ + 1 == undoSteps.size() &&
        registered.source() != nullptr) {
        // The step's record goes, the list it holds stays.
        registered.own_ = std::move(step.vertices);
        registered.steps_ = nullptr;
    }
    undoSteps.pop_back();
    return true;
}

const std::vector<HostVertex*>* RegisteredList::source() const noexcept {
    if (steps_ == nullptr) return &own_;
    if (step_ >= steps_->size()) return nullptr;
    const std::vector<HostVertex*>& record = (*steps_)[step_].vertices;
    return offset_ + count_ <= record.size() ? &record : nullptr;
}

HostVertex* const* RegisteredList::begin() const noexcept {
    const std::vector<HostVertex*>* from = source();
    return from != nullptr ? from->data() + offset_ : own_.data();
}

void RegisteredList::release() noexcept {
    std::vector<HostVertex*>().swap(own_);
    steps_ = nullptr;
    step_ = 0;
    offset_ = 0;
    count_ = 0;
}

}  // namespace hostsim
