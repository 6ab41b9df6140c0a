// The host's table of services: the only way the plug-in calls back into the
// host. Unused slots are kept so that every used entry sits at its offset.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_call.h"
#include "host/host_records.h"

struct HostServices {
    void(HOST_CALL* beginEdit)();  // opens one undo step
    void(HOST_CALL* endEdit)();
    void* hostPrivate08[5];
    // The list holds every vertex about to move; valid only during the call.
    void(HOST_CALL* registerEditedVertices)(HostPointerList* vertices);
    void* hostPrivate20[8];
    // Texts may be temporary buffers, valid only during the call.
    void(HOST_CALL* showMessage)(const char* text);
    void(HOST_CALL* showError)(const char* text);
    // On return from command 107 the new plane primitive is item 0 of the
    // selected-objects list.
    void(HOST_CALL* runCommand)(std::int32_t commandId);
    void* hostPrivate4C[2];
    void(HOST_CALL* refresh)();
    void* hostPrivate58[7];
    std::int32_t(HOST_CALL* getSelectionMode)();  // 2 vertices, 1 and 0 the host's other modes
    void* hostPrivate78[2];
    // Fills all four; the fourth holds the manipulator's point.
    void(HOST_CALL* getManipulator)(Vector3* first, Vector3* second, Vector3* third,
                                    Vector3* point);
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(HostServices, endEdit) == 0x04, "endEdit");
static_assert(offsetof(HostServices, registerEditedVertices) == 0x1C, "registerEditedVertices");
static_assert(offsetof(HostServices, showMessage) == 0x40, "showMessage");
static_assert(offsetof(HostServices, showError) == 0x44, "showError");
static_assert(offsetof(HostServices, runCommand) == 0x48, "runCommand");
static_assert(offsetof(HostServices, refresh) == 0x54, "refresh");
static_assert(offsetof(HostServices, getSelectionMode) == 0x74, "getSelectionMode");
static_assert(offsetof(HostServices, getManipulator) == 0x80, "getManipulator");
#endif
