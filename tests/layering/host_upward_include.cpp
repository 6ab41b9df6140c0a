// Compiled as part of the host's io room by the test
// layering_refuses_host_upward_include, which expects the build to fail: the
// files and formats sit below the session, so its header must not be found.
#include "session/host_session.h"
