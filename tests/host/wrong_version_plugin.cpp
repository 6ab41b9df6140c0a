// Libraries that look like plug-ins but are not usable: built once answering
// interface version 3, and once (TALVEX_FIXTURE_NO_INITIALIZE) without the
// initializePlugin export. The host must refuse both without initialising.
#include <cstdlib>

#include "host/host_call.h"
#include "host/plugin_tables.h"

extern "C" {
std::int32_t HOST_CALL getPluginVersion() {
    return 3;
}
#ifndef TALVEX_FIXTURE_NO_INITIALIZE
void HOST_CALL initializePlugin(HostPluginRecord*) {
    std::abort();
}
#endif
}
