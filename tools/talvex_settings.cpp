// talvex-settings [DIR]: prints what the plug-in makes of the settings file
// below DIR (default: the current directory), the folder the host runs in.
#include <iostream>
#include <string>

#include "config/settings_report.h"

int main(int argc, char** argv) {
    if (argc > 2 ||
        (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
        std::cerr
            << "usage: talvex-settings [HOST_FOLDER]\n"
               "Reports, key by key, what the plug-in reads from\n"
               "HOST_FOLDER\\Plugins\\Startup Plugins\\Talvex.ini and why a default is used.\n";
        return argc > 2 ? 2 : 0;
    }
    std::cout << settingsReport(argc == 2 ? argv[1] : ".");
    return std::cout.good() ? 0 : 1;
}
