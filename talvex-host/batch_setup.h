// What `resym` and `check` share: loading the plug-in and the mesh, choosing
// the meshes to work on, applying --tolerance through the plug-in's settings
// file, the host's first paint, and placing the plane.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "cli_args.h"
#include "commands.h"
#include "host_session.h"
#include "phase_times.h"
#include "plane_setup.h"
#include "progress.h"
#include "working_folder.h"

namespace talvexhost {

// Work on meshes above this many vertices is worth a progress line: Smart
// Resym compares every vertex with every other of its object.
constexpr int kLongWorkVertices = 5000;

struct BatchSetup {
    // Declared before the session so the session (and its GL context) goes first.
    WorkingFolder folder;
    std::unique_ptr<HostSession> session;
    std::vector<HostObject*> targets;
    PlaneSpec spec;
    HostPlane plane;
    std::string input;  // absolute path of the mesh
    bool quiet = false;
    bool viewport = false;  // an OpenGL viewport could be made
    int viewWidth = 800;    // the viewport's size, set before prepareBatch
    int viewHeight = 600;
    // How --tolerance was given: empty without it, else "--tolerance" or
    // "P% of the box diagonal D" (the value then written is in `toleranceText`).
    std::string toleranceFrom;
    std::string toleranceText;
    PhaseTimes phases;
};

// Loads, selects and places the plane as the options ask (`args` hold one
// input mesh). Prints progress to stderr unless quiet. False with `error`
// (exit status in `status`).
bool prepareBatch(const CommandArgs& args, std::ostream& out, BatchSetup& setup, std::string& error,
                  int& status);

// The diagonal of the box around the objects' vertices (0 for none).
double boxDiagonal(const std::vector<HostObject*>& objects);

// Marks the vertices listed in a lock file (1-based OBJ vertex numbers,
// ranges A-B, separated by blanks, commas or lines; # starts a comment).
bool applyLockFile(HostSession& session, const std::string& path, std::string& error);

}  // namespace talvexhost
