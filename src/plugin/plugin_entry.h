// Installing a plug-in object behind the host's tables. initializePlugin does
// this with the SymmetryPlugin; boundary tests do it with a recording plug-in.
#pragma once

#include "host/plugin_base.h"
#include "host/plugin_tables.h"

// Makes `plugin` the global instance and writes the 25 forwarding entries into
// the record's five slots and its event table's twenty. Checks nothing.
void installPlugin(PluginBase* plugin, HostPluginRecord* record) noexcept;

// The global instance, null until the first install.
PluginBase* installedPlugin() noexcept;
