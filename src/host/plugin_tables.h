// The record the host hands to initializePlugin and the two tables of entries
// the plug-in writes into it. Every argument crosses as a 32-bit value.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_call.h"
#include "host/host_records.h"
#include "host/host_services.h"

using HostWord = std::uint32_t;  // an argument the operation ignores

using ExecuteEntry = bool(HOST_CALL*)(std::int32_t commandIndex);
using ReleaseEntry = void(HOST_CALL*)(std::int32_t flag);
using CommandCountEntry = std::int32_t(HOST_CALL*)();
using CommandNameEntry = const char*(HOST_CALL*)(std::int32_t commandIndex);
using CommandKindEntry = std::int32_t(HOST_CALL*)(std::int32_t commandIndex);
using OneWordEntry = bool(HOST_CALL*)(HostWord);
using TwoWordEntry = bool(HOST_CALL*)(HostWord, HostWord);
using ThreeWordEntry = bool(HOST_CALL*)(HostWord, HostWord, HostWord);
using SelectionChangedEntry = void(HOST_CALL*)(HostWord);
using VerticesMovedEntry = void(HOST_CALL*)(VertexList* moved, HostWord);
using HostCommandEntry = bool(HOST_CALL*)(std::int32_t commandId, HostWord);
using HostEventEntry = void(HOST_CALL*)(std::int32_t eventCode, HostWord);
using DrawEntry = bool(HOST_CALL*)(std::int32_t flag);

// Slots 11 and 12 hold operations 17 and 16: the host's table has them swapped.
struct PluginEventTable {
    TwoWordEntry reserved5;
    SelectionChangedEntry selectionChanged;
    VerticesMovedEntry verticesMoved;
    ThreeWordEntry reserved8;
    ThreeWordEntry reserved9;
    ThreeWordEntry reserved10;
    ThreeWordEntry reserved11;
    ThreeWordEntry reserved12;
    ThreeWordEntry reserved13;
    ThreeWordEntry reserved14;
    TwoWordEntry reserved15;
    HostCommandEntry hostCommand;
    TwoWordEntry reserved16;
    HostEventEntry hostEvent;
    TwoWordEntry reserved19;
    OneWordEntry reserved20;
    OneWordEntry holdPairsA;
    OneWordEntry holdPairsB;
    OneWordEntry reserved23;
    DrawEntry draw;
};

struct HostPluginRecord {
    ExecuteEntry execute;
    ReleaseEntry release;
    CommandCountEntry commandCount;
    CommandNameEntry commandName;
    CommandKindEntry commandKind;
    PluginEventTable* events;
    HostScene* scene;
    HostServices* services;
    void* hostPrivate;
};

using GetPluginVersionExport = std::int32_t(HOST_CALL*)();
using InitializePluginExport = void(HOST_CALL*)(HostPluginRecord* record);

constexpr std::int32_t kPluginInterfaceVersion = 4;

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(PluginEventTable) == 0x50, "20 event slots");
static_assert(offsetof(PluginEventTable, hostCommand) == 11 * 4, "slot 11");
static_assert(offsetof(PluginEventTable, reserved16) == 12 * 4, "slot 12");
static_assert(offsetof(PluginEventTable, draw) == 0x4C, "slot 19");
static_assert(offsetof(HostPluginRecord, events) == 0x14 &&
                  offsetof(HostPluginRecord, scene) == 0x18 &&
                  offsetof(HostPluginRecord, services) == 0x1C &&
                  offsetof(HostPluginRecord, hostPrivate) == 0x20,
              "plug-in record");
#endif
