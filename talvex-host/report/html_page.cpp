#include "report/html_page.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>

#include "io/mesh_document.h"
#include "render/deviation_colours.h"
#include "report/html_assets.h"

namespace talvexhost {

namespace {

using Json = nlohmann::ordered_json;

// Up to this many flagged vertices, the picture's markers show through the
// mesh; the page follows the same rule.
constexpr std::size_t kMostMarkersThroughMesh = 400;
// Ambiguous starters the page lists; the count is always the whole.
constexpr std::size_t kAmbiguousListed = 100;
// Room kept below the limit for what the estimate of the rest leaves out.
constexpr std::size_t kSlackBytes = 4096;

std::string asset(const unsigned char* bytes, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(bytes), size);
}

std::uint64_t zigzag(std::int64_t value) {
    return value < 0 ? (std::uint64_t(-(value + 1)) << 1) | 1u : std::uint64_t(value) << 1;
}

// Indices as the change from the previous one, zigzag varints: the page's
// index lists, a byte or two per index where neighbours are near.
class DeltaWriter {
public:
    void add(int index) {
        appendVarint(bytes_, zigzag(std::int64_t(index) - previous_));
        previous_ = index;
    }
    void addCount(int count) { appendVarint(bytes_, std::uint64_t(count)); }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
    std::int64_t previous_ = 0;
};

std::string deltaList(const std::vector<int>& indices) {
    DeltaWriter writer;
    for (int v : indices) writer.add(v);
    return writer.bytes();
}

// Little-endian, as every browser's typed arrays are.
template <typename T>
void appendLittleEndian(std::string& out, T value) {
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    // The host builds for little-endian machines only (x86 natively and in
    // the Windows build), so the bytes are already in the page's order.
    out.append(reinterpret_cast<const char*>(raw), sizeof(T));
}

// Every `stride`-th polygon, as the page's face stream: each polygon's
// corner count, then its corners as changes from the corner before.
std::string faceStream(const std::vector<int>& polygons, std::size_t stride, std::size_t& drawn) {
    DeltaWriter writer;
    drawn = 0;
    std::size_t face = 0;
    for (std::size_t at = 0; at < polygons.size(); ++face) {
        const int count = polygons[at];
        if (face % stride == 0) {
            writer.addCount(count);
            for (int k = 0; k < count; ++k) writer.add(polygons[at + 1 + k]);
            ++drawn;
        }
        at += std::size_t(count) + 1;
    }
    return writer.bytes();
}

std::size_t polygonCount(const std::vector<int>& polygons) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < polygons.size(); at += std::size_t(polygons[at]) + 1) ++count;
    return count;
}

Json rgb(const Rgb& c) {
    return Json::array({c.r, c.g, c.b});
}

// The report's JSON without its per-vertex lists, which travel as arrays.
Json reportWithoutLists(const std::string& reportJson) {
    Json report = Json::parse(reportJson);
    report.erase("pairs");
    report.erase("unpaired");
    Json& starters = report["ambiguous"]["starters"];
    if (starters.size() > kAmbiguousListed)
        starters.erase(starters.begin() + std::ptrdiff_t(kAmbiguousListed), starters.end());
    return report;
}

Json pageData(const HtmlPageRequest& request) {
    const ReportInput& input = *request.input;
    const AsymmetryReport& report = *request.report;
    Json data;
    data["report"] = reportWithoutLists(request.reportJson);
    data["caption"] = request.caption;
    data["view"] = request.view;
    data["up"] = std::string(1, request.up);
    data["plane"] = {
        {"normal", {input.plane.normal[0], input.plane.normal[1], input.plane.normal[2]}},
        {"pivot", {input.plane.pivot[0], input.plane.pivot[1], input.plane.pivot[2]}}};
    // The picture's colours: the ramp's stops, the flagged vertices' and the
    // viewport's plane and edges.
    Json ramp = Json::array();
    for (int i = 0; i <= 3; ++i) ramp.push_back(rgb(rampColour(i / 3.0)));
    data["colours"] = {{"symmetric", rgb(kSymmetricColour)}, {"unpaired", rgb(kUnpairedColour)},
                       {"nearPlane", rgb(kNearPlaneColour)}, {"ramp", ramp},
                       {"plane", {1.0f, 0.62f, 0.15f}},      {"planeAlpha", 0.18f},
                       {"planeEdge", {0.85f, 0.45f, 0.05f}}, {"edges", {0.16f, 0.20f, 0.28f}}};
    // As the picture: deviations at or below the threshold are not ramped.
    const double top = rampTop(std::max(report.maxDeviation, input.minDeviation * 10.0));
    data["rampTop"] = top;
    data["legend"] = {{"mid", shortNumber(top * 0.5)},
                      {"high", shortNumber(top)},
                      {"minDeviation", shortNumber(input.minDeviation)}};
    data["markersThroughMesh"] = kMostMarkersThroughMesh;
    data["edgeLength"] = report.advice.edgeLength;
    data["diagonal"] = input.diagonal;
    data["credits"] =
        "Drawn with three.js r111 from Debian's libjs-three (Expat/MIT licence, "
        "(c) 2010-2017 three.js authors); its copyright notice is kept in this page's source.";
    return data;
}

// The arrays beside the faces: positions, vertex numbers, ranked pairs and
// their deviations, and the unpaired lists.
Json vertexArrays(const ReportInput& input, const AsymmetryReport& report) {
    std::string positions;
    positions.reserve(input.vertices.size() * 12);
    std::vector<int> numbers;
    numbers.reserve(input.vertices.size());
    for (const ReportVertex& v : input.vertices) {
        for (double c : v.position) appendLittleEndian(positions, float(c));
        numbers.push_back(v.number);
    }
    // Deviating pairs by rank, then the rest in the plug-in's order, so the
    // page can name any vertex's partner.
    DeltaWriter pairs;
    std::string deviations;
    std::vector<bool> ranked(input.vertices.size(), false);
    for (const PairDeviation& p : report.deviating) {
        pairs.add(p.starter);
        pairs.add(p.partner);
        appendLittleEndian(deviations, p.deviation);
        ranked[std::size_t(p.starter)] = true;
    }
    for (const auto& [starter, partner] : input.pairs) {
        if (ranked[std::size_t(starter)]) continue;
        pairs.add(starter);
        pairs.add(partner);
    }
    return {{"positions", base64(positions)},
            {"numbers", base64(deltaList(numbers))},
            {"pairs", base64(pairs.bytes())},
            {"deviations", base64(deviations)},
            {"offPlane", base64(deltaList(report.offPlane))},
            {"nearPlane", base64(deltaList(report.nearPlane))},
            {"onPlane", base64(deltaList(report.onPlane))}};
}

// Makes JSON safe inside a <script> element: "<" appears only in strings,
// where \u003c means the same, so no "</script" or "<!--" can occur.
std::string scriptSafe(const std::string& json) {
    std::string out;
    out.reserve(json.size());
    for (char c : json) {
        if (c == '<')
            out += "\\u003c";
        else
            out += c;
    }
    return out;
}

void replaceOnce(std::string& text, const std::string& marker, const std::string& with) {
    const std::size_t at = text.find(marker);
    if (at != std::string::npos) text.replace(at, marker.size(), with);
}

std::string pageText(const Json& data) {
    std::string page = asset(kHtmlPageTemplate, kHtmlPageTemplateSize);
    // The library goes in as Debian ships it, behind its copyright notice.
    const std::string three = "/*\n" + asset(kThreeLicence, kThreeLicenceSize) + "*/\n" +
                              asset(kThreeLibrary, kThreeLibrarySize) + "\n" +
                              asset(kThreeOrbitControls, kThreeOrbitControlsSize);
    replaceOnce(page, "/*@style@*/", asset(kHtmlPageStyle, kHtmlPageStyleSize));
    // Names that are not UTF-8 show with U+FFFD, as the JSON's readable key.
    replaceOnce(page, "/*@data@*/",
                scriptSafe(data.dump(-1, ' ', false, Json::error_handler_t::replace)));
    replaceOnce(page, "/*@three@*/", three);
    replaceOnce(page, "/*@page@*/", asset(kHtmlPageScript, kHtmlPageScriptSize));
    return page;
}

}  // namespace

void appendVarint(std::string& out, std::uint64_t value) {
    while (value >= 128) {
        out += char((value & 127) | 128);
        value >>= 7;
    }
    out += char(value);
}

std::string base64(const std::string& bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t n = std::uint32_t(std::uint8_t(bytes[i])) << 16 |
                                std::uint32_t(std::uint8_t(bytes[i + 1])) << 8 |
                                std::uint8_t(bytes[i + 2]);
        out += kDigits[n >> 18];
        out += kDigits[(n >> 12) & 63];
        out += kDigits[(n >> 6) & 63];
        out += kDigits[n & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const std::uint32_t n = std::uint32_t(std::uint8_t(bytes[i])) << 16 |
                                (two ? std::uint32_t(std::uint8_t(bytes[i + 1])) << 8 : 0u);
        out += kDigits[n >> 18];
        out += kDigits[(n >> 12) & 63];
        out += two ? kDigits[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::size_t htmlPageLimit(std::size_t vertices) {
    return 1200000 + 40 * vertices;
}

HtmlPage htmlPage(const HtmlPageRequest& request) {
    Json data = pageData(request);
    data["arrays"] = vertexArrays(*request.input, *request.report);
    HtmlPage page;
    page.faces = polygonCount(request.polygons);
    // Everything but the faces, measured once with none; the faces get what
    // is left of the limit, thinned evenly until they fit.
    data["drawing"] = {{"faces", page.faces}, {"facesDrawn", page.faces}};
    data["arrays"]["faces"] = "";
    const std::size_t rest = pageText(data).size() + kSlackBytes;
    const std::size_t limit = htmlPageLimit(request.input->vertices.size());
    const std::size_t room = limit > rest ? limit - rest : 0;
    std::string faces;
    for (std::size_t stride = 1;; ++stride) {
        faces = base64(faceStream(request.polygons, stride, page.facesDrawn));
        if (faces.size() <= room || page.facesDrawn == 0) break;
        // Jump close to the stride that fits rather than try each in turn.
        const std::size_t guess = faces.size() * stride / std::max<std::size_t>(room, 1);
        if (guess > stride + 1) stride = guess - 1;
    }
    if (faces.size() > room) {
        faces.clear();
        page.facesDrawn = 0;
    }
    data["drawing"]["facesDrawn"] = page.facesDrawn;
    data["arrays"]["faces"] = faces;
    page.text = pageText(data);
    return page;
}

std::vector<int> reportPolygons(const MeshDocument& document,
                                const std::vector<ReportVertex>& vertices) {
    std::vector<int> indexOf(std::size_t(document.vertexCount()), -1);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const int number = vertices[i].number;
        if (number >= 1 && number <= document.vertexCount())
            indexOf[std::size_t(number - 1)] = int(i);
    }
    std::vector<int> polygons;
    for (const MeshElement& element : document.elements()) {
        if (element.kind != MeshElement::kFace || element.vertices.size() < 3) continue;
        const bool inside = std::all_of(element.vertices.begin(), element.vertices.end(),
                                        [&](int v) { return indexOf[std::size_t(v)] >= 0; });
        if (!inside) continue;
        polygons.push_back(int(element.vertices.size()));
        for (int v : element.vertices) polygons.push_back(indexOf[std::size_t(v)]);
    }
    return polygons;
}

}  // namespace talvexhost
