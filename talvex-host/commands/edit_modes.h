// The options resym and check share for editing one side and for pairing:
// --master SIDE and --pairing position|topology|auto.
#pragma once

#include <string>

#include "pairing/plane_side.h"
#include "session/cli_args.h"
#include "session/topology_run.h"

namespace talvexhost {

struct EditModes {
    bool hasMaster = false;
    PlaneSide master;
    PairingMode pairing = PairingMode::kPosition;
};

// False with `error` (a usage error) when either option's value is not one
// of its words.
bool readEditModes(const ParsedArgs& args, EditModes& modes, std::string& error);

}  // namespace talvexhost
