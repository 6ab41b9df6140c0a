// What the benchmark programs share with the substitute host: the vertices of
// an OBJ file, the host's own bookkeeping kept out of the heap figures, the
// plane laid through the origin and a mesh put back between runs.
#pragma once

#include <string>
#include <vector>

#include "hostsim/sim_host.h"
#include "symmetry/plane_frame.h"

namespace bench {

// The `v` lines of an OBJ file; empty when it cannot be read.
std::vector<hostsim::Point> readObjPoints(const std::string& path);

// The host's undo copy and message list are not the plug-in's memory: its
// registerEditedVertices and showMessage run with the heap count off. The
// time registerEditedVertices takes is added to `hostSeconds` when given.
void keepHostServicesUncounted(hostsim::Host& host, double* hostSeconds = nullptr);

// Has the plug-in create its plane ("Talvex Create Talvex") and lays it
// across `axis` ('x', 'y' or 'z') through the origin, as a user would.
HostObject* createAxisPlane(hostsim::Host& host, char axis);

// Puts `mesh`'s vertices back at `original` and forgets the host's undo steps.
void restorePoints(hostsim::Host& host, HostObject& mesh,
                   const std::vector<hostsim::Point>& original);

// The plain scan's time for Smart Resym on `mesh`, predicted from 64 starters
// spread over it: each costs one pass over the object.
double resymScanSeconds(const PlaneFrame& frame, const HostObject& mesh, float tolerance);

}  // namespace bench
