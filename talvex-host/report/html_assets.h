// The files the check page is made of, built into the host (by
// cmake/embed_assets.cmake) so that it writes pages wherever it runs: the
// page's template, style and script from report/html/, and three.js, its
// orbit controls and its copyright notice from Debian's libjs-three.
// Each array ends in a zero byte its size does not count.
#pragma once

#include <cstddef>

namespace talvexhost {

extern const unsigned char kHtmlPageTemplate[];
extern const std::size_t kHtmlPageTemplateSize;
extern const unsigned char kHtmlPageStyle[];
extern const std::size_t kHtmlPageStyleSize;
extern const unsigned char kHtmlPageScript[];
extern const std::size_t kHtmlPageScriptSize;
extern const unsigned char kThreeLibrary[];
extern const std::size_t kThreeLibrarySize;
extern const unsigned char kThreeOrbitControls[];
extern const std::size_t kThreeOrbitControlsSize;
extern const unsigned char kThreeLicence[];
extern const std::size_t kThreeLicenceSize;

}  // namespace talvexhost
