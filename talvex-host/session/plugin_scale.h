// Scaling the scene by a power of two around one plug-in command, so that a
// tolerance outside the plug-in's range (0.01 to 1024) can still be worked
// with: the host multiplies every coordinate the command reads by 2^k, hands
// the plug-in the tolerance times 2^k, and divides again afterwards.
// Multiplying a float by 2^k only changes its exponent, so every product,
// quotient, sum, square root and comparison of the plug-in's arithmetic scales
// with it exactly, and the answer is the one an unscaled run would give, bit
// for bit, as long as no coordinate overflows or becomes subnormal (checked
// first). What does not scale are the plug-in's absolute constants: its
// "off the plane" gate for starters and its "moved" count (0.0001) are
// 0.0001 / 2^k in model units while scaled. The host's own counts are made
// after scaling back, in model units. Called by resym_run.cpp.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "config/setting_keys.h"
#include "host/host_records.h"
#include "hostsim/sim_host.h"

namespace talvexhost {

// The plug-in's range for TOLERANCE_A, from its settings table: a text that
// reads as above the float 0.01 and up to 1024. The text "0.01" is above it
// (0.01 > 0.0099999998) and is stored as the float 0.01f, so the floats it
// can work with run from the lower bound's float to the upper, both included.
inline constexpr const SettingRange& kPluginToleranceRange =
    kSettingKeys[settingKeyIndex("TOLERANCE_A")].range;
constexpr float kPluginLeastToleranceFloat = static_cast<float>(kPluginToleranceRange.lower);
constexpr float kPluginMostTolerance = static_cast<float>(kPluginToleranceRange.upper);

// "0.01 to 1024": that range for people, as the host's messages give it.
std::string pluginToleranceRangeText();

// True when the plug-in can work with `tolerance` as it is.
bool pluginTakes(float tolerance) noexcept;

// The exponent k nearest 0 with `tolerance` * 2^k inside the plug-in's range;
// 0 when it is inside already. `tolerance` must be positive and finite.
int scaleExponentFor(float tolerance) noexcept;

// True when every vertex of `objects` multiplied by 2^k, then by 2^-k, comes
// back bit for bit (no overflow, no subnormal on the way).
bool scalesExactly(const std::vector<HostObject*>& objects, int k) noexcept;

// Multiplies every vertex of `objects` and their positions by 2^k. A vertex
// that several objects share is scaled once.
void scaleObjects(const std::vector<HostObject*>& objects, int k);

// Multiplies the positions the undo record keeps, from step `firstStep` on.
void scaleUndoSteps(hostsim::Host& host, std::size_t firstStep, int k) noexcept;

}  // namespace talvexhost
