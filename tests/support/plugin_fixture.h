// A substitute host with the plug-in under test loaded into it. Each fixture
// constructs the plug-in anew, as a fresh host process would.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "hostsim/sim_host.h"

#ifndef TALVEX_PLUGIN_FILE
#error "TALVEX_PLUGIN_FILE names the plug-in library the tests load"
#endif

struct PluginFixture {
    hostsim::Host host;
    PluginFixture() {
        std::string error;
        const bool loaded = host.loadPlugin(TALVEX_PLUGIN_FILE, error);
        EXPECT_TRUE(loaded) << error;
        if (!loaded) throw std::runtime_error(error);
    }
};
