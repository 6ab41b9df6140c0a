// The library's two exports, the only symbols it gives the host. The host
// finds them by name; tests that link the plug-in statically call them
// directly. Defined in plugin_entry.cpp.
#pragma once

#include <cstdint>

#include "host/plugin_tables.h"

extern "C" {

// The interface version the plug-in speaks: kPluginInterfaceVersion.
std::int32_t HOST_CALL getPluginVersion();

// Makes the plug-in object and writes its entries into `record`'s five slots
// and its event table. When the object cannot be made, writes nothing.
void HOST_CALL initializePlugin(HostPluginRecord* record);

}  // extern "C"
