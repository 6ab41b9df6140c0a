// The page `check --html` writes: one self-contained HTML file that shows
// the mesh coloured as the picture colours it, turnable in any browser, with
// the ranked table, the summary and picking. The mesh and the report travel
// inside it as base64 typed arrays beside the report's JSON; the 3D library
// is inlined with its licence notice. Nothing is loaded from elsewhere.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "report/asymmetry_report.h"

namespace talvexhost {

class MeshDocument;

struct HtmlPageRequest {
    const ReportInput* input = nullptr;
    const AsymmetryReport* report = nullptr;
    // check's --json document for the same run; its pair and unpaired lists
    // are left out, the page carries them as arrays.
    std::string reportJson;
    std::vector<std::string> caption;  // as on the picture, file name first
    std::string view;                  // front, side, top, persp, or empty to choose
    char up = 'y';
    // The polygons to draw, as indices into input->vertices: each one's
    // vertex count, then its vertices.
    std::vector<int> polygons;
};

struct HtmlPage {
    std::string text;
    std::size_t faces = 0;       // polygons asked to draw
    std::size_t facesDrawn = 0;  // fewer when the drawing was thinned to fit
};

// The most bytes a page of `vertices` vertices may take: 1.2 MB and 40 bytes
// a vertex. Past it the drawing (never the table) is thinned.
std::size_t htmlPageLimit(std::size_t vertices);

// The page for `request`. Faces are dropped evenly from the drawing, with a
// note on the page, when all of them would not fit the limit.
HtmlPage htmlPage(const HtmlPageRequest& request);

// The document's faces (three or more corners) whose corners are all among
// `vertices`, in the form HtmlPageRequest::polygons takes.
std::vector<int> reportPolygons(const MeshDocument& document,
                                const std::vector<ReportVertex>& vertices);

// Varint and base64 coding as the page decodes them; for tests.
void appendVarint(std::string& out, std::uint64_t value);
std::string base64(const std::string& bytes);

}  // namespace talvexhost
