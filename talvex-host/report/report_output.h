// The forms the asymmetry report takes: short text for people (full lists
// with verbose), JSON for pipelines, and CSV of the ranked pairs. All print
// numbers through locale-free conversions, so both builds write the same bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "report/asymmetry_report.h"
#include "session/resym_run.h"

namespace talvexhost {

// What the report says about the run besides the analysis.
struct ReportContext {
    std::string file;         // the input, as given
    std::string plane;        // "x = 0", "x = centroid"
    std::string placedPlane;  // the plane as placed, for people: spec, where it stands, score
    int axis = 0;
    double planeAt = 0.0;  // the plane's coordinate on its axis
    double tolerance = 0.1;
    // "--tolerance", "0.5% of the box diagonal D", "Talvex.ini", "measured from the mesh"
    std::string toleranceFrom;
    std::string toleranceText;  // the tolerance line for people (describeTolerance)
    std::string object;         // --object, or empty
    bool asOneObject = false;
    int objects = 1;  // meshes the plug-in worked on
    int top = -1;     // --top, -1 for all
    bool verbose = false;
    bool quiet = false;
    const ResymOutcome* outcome = nullptr;
    // check --all-pairs: every pair taken (1-based file vertex numbers) and
    // how they were paired ("position", "topology", "auto"); JSON gets them
    // under "allPairs" and the CSV lists them instead of the deviating pairs.
    const std::vector<std::pair<int, int>>* allPairs = nullptr;
    // check --master: the side ("+x") and its sign as ResymOptions::masterSign
    // (0 without); the JSON then says what resym --master would do.
    std::string masterSide;
    int masterSign = 0;
    std::string pairing = "position";
};

void writeReportText(std::ostream& out, const ReportContext& context, const ReportInput& input,
                     const AsymmetryReport& report);

// Takes the text in pieces as it is made; false to stop.
using JsonSink = std::function<bool(const char* data, std::size_t size)>;

// The JSON document (schema "talvex-check/1", described in the README),
// handed to `sink` in pieces of about a megabyte: a million-vertex report
// is some hundreds of megabytes. False when the sink failed.
bool writeReportJson(const ReportContext& context, const ReportInput& input,
                     const AsymmetryReport& report, const JsonSink& sink);

// The same document whole.
std::string reportJson(const ReportContext& context, const ReportInput& input,
                       const AsymmetryReport& report);

// One header line, then a line per deviating pair, largest first.
std::string reportCsv(const ReportContext& context, const ReportInput& input,
                      const AsymmetryReport& report);

// "x y z" of a vertex, each the shortest text of its float.
std::string positionText(const ReportVertex& vertex, const char* separator);

}  // namespace talvexhost
