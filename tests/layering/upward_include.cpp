// Compiled as part of the geometry layer by the test
// layering_refuses_upward_include, which expects the build to fail: geometry
// sits below symmetry, so a symmetry header must not be found from here.
#include "symmetry/plane_frame.h"
