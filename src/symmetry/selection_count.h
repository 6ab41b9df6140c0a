// How many things the user has selected, as the overlay's draw asks the host:
// the search marks are drawn only while something is selected.
#pragma once

#include <cstdint>

#include "host/host_records.h"
#include "host/host_services.h"

// getSelectionMode asked three separate times: answer 2 sets the count to the
// selected vertices, 1 and 0 add the count of their selection list, anything
// else adds nothing.
std::int64_t selectionCount(const HostScene& scene, const HostServices& services) noexcept;
