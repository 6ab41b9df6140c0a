// What `resym` and `check` share: loading the plug-in and the mesh, choosing
// the meshes to work on, finding the plane (auto by default), choosing the
// tolerance (given, Talvex.ini's, or measured from the mesh) and the scaling
// it needs, handing it over through the plug-in's settings file at the
// host's first paint, and placing the plane.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "io/phase_times.h"
#include "io/progress.h"
#include "pairing/plane_setup.h"
#include "session/cli_args.h"
#include "session/host_session.h"
#include "session/plugin_tolerance.h"
#include "session/working_folder.h"

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
    // The tolerance Smart Resym matches with, in model units: the float the
    // plug-in works with (times 2^scaleExponent while it works).
    float tolerance = 0.1f;
    // Where it came from, for people: "--tolerance 0.02", "0.5% of the box
    // diagonal 3.64", "Talvex.ini", "measured from the mesh", "the plug-in's
    // built-in default" (without an OpenGL context to hand it another).
    std::string toleranceFrom;
    ToleranceOrigin toleranceOrigin = ToleranceOrigin::fallback;
    // A line to print about it (a settings value ignored), or empty.
    std::string toleranceNote;
    // The tolerance as typed after --tolerance, or empty.
    std::string toleranceTyped;
    // The scene is scaled by 2^scaleExponent around Smart Resym, because the
    // plug-in takes no tolerance outside 0.01 to 1024 (plugin_scale.h).
    int scaleExponent = 0;
    PhaseTimes phases;
};

// Loads, selects and places the plane as the options ask (`args` hold one
// input mesh). Prints progress to stderr unless quiet. False with `error`
// (exit status in `status`).
bool prepareBatch(const CommandArgs& args, std::ostream& out, BatchSetup& setup, std::string& error,
                  int& status);

// For a command whose process ends as soon as it returns: the session, with
// its million vertex records, is not taken apart piece by piece but left for
// the system, which takes a process's memory back at once. It stays reachable,
// so leak checkers see no leak; its OpenGL context is closed first, since
// the driver's own memory is out of their sight. Everything else of `setup`
// (its working folder above all) still ends as usual.
void leaveSessionToExit(BatchSetup& setup);

// The options a Smart Resym run of this setup takes: the scaling, the plane
// object and the centre-line rule's tolerance (edges are the caller's).
struct ResymOptions;
void fillResymOptions(const BatchSetup& setup, ResymOptions& options);

// Asks `options` for the centre line (centre_line.h): the median edge of the
// meshes worked on and which vertices bridge the placed plane, measured only
// when the run needs them. `setup` must outlive the run.
void fillCentreLine(const BatchSetup& setup, ResymOptions& options);

// "tolerance: 0.02 (--tolerance; the plug-in works with the float
// 0.0199999996)": the tolerance, where it came from, and the scaling.
std::string describeTolerance(const BatchSetup& setup);

// The diagonal of the box around the objects' vertices (0 for none).
double boxDiagonal(const std::vector<HostObject*>& objects);

// Marks the vertices listed in a lock file (1-based OBJ vertex numbers,
// ranges A-B, separated by blanks, commas or lines; # starts a comment).
bool applyLockFile(HostSession& session, const std::string& path, std::string& error);

}  // namespace talvexhost
