#include "geometry/geom_base.h"

namespace {

constexpr std::uint32_t kOwnFlagBits = 0xFu;

}  // namespace

GeomBase::GeomBase() noexcept {
    flags &= ~kOwnFlagBits;
}
