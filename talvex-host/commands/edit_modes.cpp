#include "commands/edit_modes.h"

namespace talvexhost {

bool readEditModes(const ParsedArgs& args, EditModes& modes, std::string& error) {
    modes.hasMaster = args.has("--master");
    if (modes.hasMaster && !parsePlaneSide(args.value("--master"), "--master", modes.master, error))
        return false;
    return !args.has("--pairing") ||
           parsePairingMode(args.value("--pairing"), modes.pairing, error);
}

}  // namespace talvexhost
