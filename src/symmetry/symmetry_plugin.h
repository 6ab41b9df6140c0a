// The one plug-in object: everything the plug-in remembers between host calls,
// and the twelve operations it overrides. Each group of operations lives in its
// own source file: commands, live matching, Smart Resym, host notifications
// and the overlay hooks; the command table and the frame tracking live in
// symmetry_plugin.cpp, the plane geometry they use in plane_frame.h.
#pragma once

#include <cstdint>

#include "config/profile_reader.h"
#include "config/settings.h"
#include "geometry/vector3.h"
#include "host/host_records.h"
#include "host/host_services.h"
#include "host/plugin_base.h"
#include "symmetry/plane_frame.h"
#include "symmetry/pointer_list.h"

// Command indices of the command table.
enum CommandIndex : std::int32_t {
    kCommandDrawingFn = 0,
    kCommandSwitch = 1,
    kCommandCreate = 2,
    kCommandReloadIni = 3,
    kCommandSwitchTolerance = 4,
    kCommandSmartResym = 5,
    kCommandRaiseTolerance = 6,
    kCommandLowerTolerance = 7,
    kCommandReposition = 8,
    kCommandSlots = 9,
};

class SymmetryPlugin final : public PluginBase {
public:
    SymmetryPlugin(HostScene* scene, HostServices* services) noexcept;
    // Runs only when a host initialises the plug-in a second time and the
    // first object is replaced; frees the storage of the pair lists.
    ~SymmetryPlugin();

    // Operations the host reaches through the forwarding entries.
    bool execute(std::int32_t commandIndex) noexcept override;
    void release(std::int32_t flag) noexcept override;
    std::int32_t commandCount() noexcept override;
    const char* commandName(std::int32_t commandIndex) noexcept override;
    std::int32_t commandKind(std::int32_t commandIndex) noexcept override;
    void selectionChanged(HostWord) noexcept override;
    void verticesMoved(VertexList* moved, HostWord) noexcept override;
    bool hostCommand(std::int32_t commandId, HostWord) noexcept override;
    void hostEvent(std::int32_t eventCode, HostWord) noexcept override;
    bool holdPairsA(HostWord) noexcept override;
    bool holdPairsB(HostWord) noexcept override;
    bool draw(std::int32_t flag) noexcept override;

    // Forgets the plane and all tracking; keeps list storage, tolerances,
    // settings and the GL binding.
    void resetTracking() noexcept;

    // Reads the plane object's frame into planeNormal and planePivot; a plane
    // whose pivot or normal moved by more than 0.01 in a coordinate since the
    // last update drops the held pairs and the search marks.
    // Nothing without a plane object, or when it has fewer than three vertices.
    void updatePlaneFrame() noexcept;

    // Commands (plane_commands.cpp, smart_resym.cpp; the small ones in command_dispatch.cpp).
    void createPlane() noexcept;
    void repositionPlane() noexcept;
    void smartResym() noexcept;

    // Live matching (mirror_match.cpp); returns the entry count of `pairs`.
    int matchMirrorPairs(VertexList* moved) noexcept;

    // Overlay hooks (plugin_overlay.cpp).
    void bindContext() noexcept;
    void loadSettings() noexcept;

    HostScene* scene;
    HostServices* services;
    ProfileReader profile;
    void* deviceContext;
    std::uint32_t fontListBase;
    char textBuffer[1044];
    bool active;
    bool pairsMoved;
    bool suspended;
    Settings settings;
    HostObject* planeObject;
    Vector3 planeNormal;
    Vector3 previousNormal;
    Vector3 planePivot;
    Vector3 previousPivot;
    float tolerance;
    float toleranceModifier;
    Vector3 partnerTarget;
    Vector3* matchTarget;
    Vector3 searchPoint;
    Vector3* searchPointRef;
    Vector3 mirrorPoint;
    Vector3* mirrorPointRef;
    bool pairsFound;
    int repositionAxis;
    PointerList pairs;        // source, partner, source, partner, ...
    PointerList pairObjects;  // the object of each partner
    float tolerances[2];      // working tolerances A and B
    int toleranceIndex;
    // Partner searches go through a spatial index that answers exactly as the
    // plain scans do; false makes them scan, as the reference for tests.
    bool useSpatialIndex = true;

private:
    void showMessage(const char* text) const noexcept;
    void showError(const char* text) const noexcept;
    void showTolerance(const char* format) noexcept;

    // planeNormal and planePivot as a frame value: what every mirror image of
    // the plug-in is taken across.
    PlaneFrame storedFrame() const noexcept;
    // True when `object` is an item of the scene's all-objects list; compares
    // pointers only, so an object the host has let go is never dereferenced.
    bool inScene(const HostObject* object) const noexcept;
    // Moves each held partner onto its source's mirror image (stored frame),
    // skipping partners whose object left the scene and non-finite images.
    // Sets pairsMoved for every partner written.
    void mirrorHeldPairs() noexcept;
};
