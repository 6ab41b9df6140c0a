#include "report/check_picture.h"

#include <algorithm>
#include <cmath>

#include "render/bitmap_font.h"
#include "render/deviation_colours.h"
#include "session/host_session.h"

namespace talvexhost {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Up to this many flagged vertices, markers show through the mesh; beyond it
// they would hide the model, so only those facing the viewer are drawn.
constexpr std::size_t kMostMarkersThroughMesh = 400;
// The camera stands this much farther off than for a full frame, leaving room
// for the caption above and the legend below.
constexpr double kMargin = 1.3;

struct Direction {
    double v[3];
};

double degrees(double radians) {
    return radians * 180.0 / kPi;
}

// Azimuth and elevation of the viewport's camera for an eye direction.
void aimAlong(Direction d, char up, RenderOptions& options) {
    const double length = std::sqrt(d.v[0] * d.v[0] + d.v[1] * d.v[1] + d.v[2] * d.v[2]);
    for (double& c : d.v) c /= length;
    const double upComponent = up == 'z' ? d.v[2] : d.v[1];
    // Straight down the up axis leaves the camera without a sideways axis.
    options.elevationDegrees =
        std::clamp(degrees(std::asin(std::clamp(upComponent, -1.0, 1.0))), -89.5, 89.5);
    options.azimuthDegrees =
        up == 'z' ? degrees(std::atan2(d.v[0], -d.v[1])) : degrees(std::atan2(d.v[0], d.v[2]));
}

Direction axisDirection(int axis, double sign) {
    Direction d{{0.0, 0.0, 0.0}};
    d.v[axis] = sign;
    return d;
}

// Which side of the plane the flagged vertices favour: +1, -1, or 0 when
// they lie on both.
int flaggedSide(const PictureRequest& request) {
    int above = 0;
    int below = 0;
    auto count = [&](int v) { (request.input->vertices[v].distance > 0.0 ? above : below) += 1; };
    for (const PairDeviation& p : request.report->deviating) {
        count(p.starter);
        count(p.partner);
    }
    for (int v : request.report->nearPlane) count(v);
    for (int v : request.report->offPlane) count(v);
    if (above > 0 && below == 0) return 1;
    if (below > 0 && above == 0) return -1;
    return 0;
}

// Looks along the plane's normal when everything flagged is on one side (the
// side that shows it), else obliquely at the plane so both halves show.
std::string chooseView(const PictureRequest& request, RenderOptions& options) {
    const int side = flaggedSide(request);
    const int axis = request.planeAxis;
    const int upAxis = request.up == 'z' ? 2 : 1;
    if (side != 0) {
        aimAlong(axisDirection(axis, side), request.up, options);
        return "along the plane's normal";
    }
    const int frontAxis = request.up == 'z' ? 1 : 2;
    const double frontSign = request.up == 'z' ? -1.0 : 1.0;
    Direction d{{0.0, 0.0, 0.0}};
    if (axis == upAxis) {
        d.v[frontAxis] = frontSign;
        d.v[upAxis] = 0.7;
    } else {
        const int across = axis == frontAxis ? 0 : frontAxis;
        d.v[across] = across == frontAxis ? frontSign : 1.0;
        d.v[axis] = std::tan(35.0 * kPi / 180.0);
        d.v[upAxis] = 0.35;
    }
    aimAlong(d, request.up, options);
    return "oblique";
}

void applyView(const std::string& view, const PictureRequest& request, RenderOptions& options,
               std::string& chosen) {
    chosen = view;
    if (view == "front") {
        aimAlong(request.up == 'z' ? axisDirection(1, -1.0) : axisDirection(2, 1.0), request.up,
                 options);
    } else if (view == "side") {
        aimAlong(axisDirection(0, 1.0), request.up, options);
    } else if (view == "top") {
        aimAlong(axisDirection(request.up == 'z' ? 2 : 1, 1.0), request.up, options);
    } else if (view == "persp") {
        options.azimuthDegrees = 30.0;
        options.elevationDegrees = 20.0;
    } else {
        chosen = chooseView(request, options);
    }
}

// Pixels between neighbouring vertices when the model fills the picture.
double edgePixels(const PictureRequest& request, int height) {
    const double diagonal = request.input->diagonal;
    if (!(diagonal > 0.0)) return 8.0;
    return request.report->advice.edgeLength / diagonal * double(height) / kMargin;
}

void colourVertices(const PictureRequest& request, double top, RenderOptions& options) {
    const AsymmetryReport& report = *request.report;
    std::vector<std::pair<int, Rgb>> flagged;
    flagged.reserve(2 * report.deviating.size() + report.offPlane.size() + report.nearPlane.size());
    for (const PairDeviation& p : report.deviating) {
        const Rgb c = deviationColour(p.deviation, request.input->minDeviation, top);
        flagged.push_back({p.starter, c});
        flagged.push_back({p.partner, c});
    }
    for (int v : report.offPlane) flagged.push_back({v, kUnpairedColour});
    for (int v : report.nearPlane) flagged.push_back({v, kNearPlaneColour});
    // Few flagged vertices show through the mesh; many are left to the
    // faces' colours where markers would only roughen the surface.
    const bool throughMesh = flagged.size() <= kMostMarkersThroughMesh;
    const bool markers = throughMesh || options.markerSize >= 4.0f;
    if (throughMesh) options.markerSize = std::max(options.markerSize, 5.0f);
    if (flagged.empty()) return;
    // Where each mesh's vertices start among the report's.
    std::vector<int> first(request.objects.size(), 0);
    std::vector<std::vector<Rgb>*> colours(request.objects.size(), nullptr);
    for (std::size_t t = 0, start = 0; t < request.objects.size(); ++t) {
        first[t] = int(start);
        const HostObject* object = request.objects[t];
        colours[t] = &options.objectColours[object];
        colours[t]->assign(std::size_t(object->vertexCount), kSymmetricColour);
        start += std::size_t(object->vertexCount);
    }
    for (const auto& [v, colour] : flagged) {
        const int t = request.input->vertices[v].object;
        (*colours[t])[std::size_t(v - first[t])] = colour;
        if (markers) options.markers.push_back({(*request.hostVertices)[v], colour, throughMesh});
    }
}

void addLegend(const PictureRequest& request, double top, int width, int height, int scale,
               RenderOptions& options) {
    const Rgb ink{0.10f, 0.12f, 0.16f};
    const Rgb paper{1.0f, 1.0f, 1.0f};
    const int line = (kGlyphHeight + 3) * scale;
    const int bar = 200 * scale;
    const int panelWidth = bar + 24 * scale;
    const int panelHeight = line * 5 + 16 * scale;
    const int x0 = 8 * scale;
    const int y0 = height - panelHeight - 8 * scale;
    if (panelWidth + x0 > width || y0 < 0) return;
    options.rects.push_back({x0, y0, panelWidth, panelHeight, paper});
    const int x = x0 + 12 * scale;
    int y = y0 + 6 * scale;
    options.texts.push_back({x, y, "deviation from mirror position", ink, scale});
    y += line;
    for (int i = 0; i < bar; i += scale)
        options.rects.push_back(
            {x + i, y, scale, 10 * scale, rampColour(double(i) / double(bar - scale))});
    y += 12 * scale;
    const std::string low = "0";
    const std::string mid = shortNumber(top * 0.5);
    const std::string high = shortNumber(top);
    options.texts.push_back({x, y, low, ink, scale});
    options.texts.push_back({x + bar / 2 - textWidth(mid, scale) / 2, y, mid, ink, scale});
    options.texts.push_back({x + bar - textWidth(high, scale), y, high, ink, scale});
    y += line;
    const struct {
        Rgb colour;
        std::string text;
    } swatches[] = {
        {kUnpairedColour, "unpaired"},
        {kNearPlaneColour, "unpaired, near the plane"},
        {kSymmetricColour, "within " + shortNumber(request.input->minDeviation) + " of mirror"}};
    for (const auto& s : swatches) {
        options.rects.push_back({x, y + 2 * scale, 10 * scale, 10 * scale, s.colour});
        options.texts.push_back({x + 16 * scale, y, s.text, ink, scale});
        y += line - 2 * scale;
    }
}

void addCaption(const std::vector<std::string>& lines, int width, int scale,
                RenderOptions& options) {
    const int line = (kGlyphHeight + 3) * scale;
    int widest = 0;
    for (const std::string& text : lines) widest = std::max(widest, textWidth(text, scale));
    options.rects.push_back({0, 0, std::min(width, widest + 16 * scale),
                             line * int(lines.size()) + 8 * scale, Rgb{1.0f, 1.0f, 1.0f}});
    int y = 4 * scale;
    for (const std::string& text : lines) {
        options.texts.push_back({8 * scale, y, text, Rgb{0.10f, 0.12f, 0.16f}, scale});
        y += line;
    }
}

}  // namespace

bool isKnownView(const std::string& view) {
    return view == "front" || view == "side" || view == "top" || view == "persp";
}

bool drawCheckPicture(HostSession& session, const PictureRequest& request, const std::string& path,
                      std::string& chosenView, std::string& error) {
    Viewport& viewport = *session.viewport();
    const int width = viewport.width();
    const int height = viewport.height();
    const int scale = height >= 1200 ? 2 : 1;
    RenderOptions options;
    options.up = request.up;
    applyView(request.view, request, options, chosenView);
    const double spacing = edgePixels(request, height);
    options.wireframe = spacing >= 10.0;
    options.markerSize = static_cast<float>(std::clamp(std::round(spacing * 0.6), 2.0, 9.0));
    options.planeAlpha = 0.18f;
    options.margin = kMargin;
    // Deviations at or below the threshold are drawn as symmetric; a ramp
    // for them alone would only show rounding noise.
    const double top =
        rampTop(std::max(request.report->maxDeviation, request.input->minDeviation * 10.0));
    colourVertices(request, top, options);
    std::vector<std::string> caption = request.caption;
    caption.push_back("view: " + chosenView);
    addCaption(caption, width, scale, options);
    addLegend(request, top, width, height, scale, options);
    viewport.render(session, options);
    return viewport.savePng(path, error);
}

}  // namespace talvexhost
