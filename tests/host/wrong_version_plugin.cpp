// A library that looks like a plug-in but speaks interface version 3: the
// host must refuse it without calling initializePlugin.
#include <cstdlib>

#include "host/host_call.h"
#include "host/plugin_tables.h"

extern "C" {
std::int32_t HOST_CALL getPluginVersion() { return 3; }
void HOST_CALL initializePlugin(HostPluginRecord*) { std::abort(); }
}
