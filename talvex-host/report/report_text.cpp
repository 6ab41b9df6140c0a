#include <algorithm>

#include "io/number_text.h"
#include "render/deviation_colours.h"
#include "report/report_output.h"

namespace talvexhost {

namespace {

// Without --verbose, lists stop after this many entries.
constexpr std::size_t kShortList = 10;

std::string numbers(const ReportInput& input, const std::vector<int>& vertices, bool verbose) {
    std::vector<std::string> labels;
    const std::size_t shown = verbose ? vertices.size() : std::min(vertices.size(), 2 * kShortList);
    for (std::size_t i = 0; i < shown; ++i)
        labels.push_back(std::to_string(input.vertices[vertices[i]].number));
    std::string text = compactList(labels);
    if (shown < vertices.size())
        text += " and " + std::to_string(vertices.size() - shown) + " more";
    return text;
}

std::string vertexWithPosition(const ReportInput& input, int v) {
    return std::to_string(input.vertices[v].number) + " (" + positionText(input.vertices[v], ", ") +
           ")";
}

void writeSummary(std::ostream& out, const ReportContext& context, const AsymmetryReport& report) {
    const ResymOutcome& outcome = *context.outcome;
    const char axis = static_cast<char>('x' + context.axis);
    out << "plane: " << context.placedPlane << "\n"
        << "tolerance: "
        << (context.toleranceText.empty()
                ? formatFixed(context.tolerance, 6) + " (" + context.toleranceFrom + ")"
                : context.toleranceText)
        << "\n"
        << "vertices: " << report.vertices << "\n"
        << "pairs found: " << report.pairs << "\n"
        << "vertices Smart Resym would move: " << outcome.movedVertices << " ("
        << outcome.movedNoticeably << " by more than 0.0001)\n"
        << "on the plane: " << outcome.onPlane << "\n";
    for (int side = 0; side < 2; ++side) {
        out << "unpaired on the " << (side == 0 ? '-' : '+') << axis
            << " side: " << outcome.unpaired[side].size();
        if (!outcome.unpaired[side].empty() && !context.quiet) {
            std::vector<std::string> labels = outcome.unpaired[side];
            const std::size_t total = labels.size();
            if (!context.verbose && total > 2 * kShortList) labels.resize(2 * kShortList);
            out << " (" << compactList(labels);
            if (labels.size() < total) out << " and " << total - labels.size() << " more";
            out << ")";
        }
        out << "\n";
    }
    if (report.pairs > 0) {
        out << "largest deviation: " << formatFixed(report.maxDeviation, 6) << " (vertices "
            << outcome.largestPair << ")\n"
            << "mean deviation: " << formatFixed(report.meanDeviation, 6) << "\n"
            << "RMS deviation: " << formatFixed(report.rmsDeviation, 6) << "\n";
    }
    out << "symmetry score: " << formatFixed(report.score, 4) << "\n";
    const int needing = verticesNeedingPartner(outcome);
    out << "partners found: " << needing - unpairedOffPlane(outcome) << " of " << needing
        << " vertices off the plane, the centre line aside ("
        << formatFixed(100.0 * pairedShare(outcome), 1) << "%): resym "
        << (pairedShare(outcome) < kLeastPairedShare ? "would refuse this mesh (below "
                                                     : "would write it (it refuses below ")
        << formatFixed(100.0 * kLeastPairedShare, 0) << "%)\n";
    if (report.partnersInOtherObjects > 0)
        out << splitObjectsNote(report.partnersInOtherObjects, context.objects) << "\n";
}

void writePairs(std::ostream& out, const ReportContext& context, const ReportInput& input,
                const AsymmetryReport& report) {
    std::size_t listed = report.deviating.size();
    if (context.top >= 0) listed = std::min(listed, std::size_t(context.top));
    out << "pairs deviating by more than " << shortNumber(input.minDeviation) << ": "
        << report.deviating.size() << (report.deviating.empty() ? "" : ", largest first") << "\n";
    const std::size_t shown = context.verbose ? listed : std::min(listed, kShortList);
    for (std::size_t i = 0; i < shown; ++i) {
        const PairDeviation& p = report.deviating[i];
        out << "  " << formatFixed(p.deviation, 6) << "  " << vertexWithPosition(input, p.starter)
            << " and " << vertexWithPosition(input, p.partner) << "\n";
    }
    if (shown < report.deviating.size())
        out << "  ... " << report.deviating.size() - shown
            << " more (--verbose, --top N, --json or --csv)\n";
}

void writeUnpaired(std::ostream& out, const ReportContext& context, const ReportInput& input,
                   const AsymmetryReport& report) {
    out << "unpaired near the plane (the centre line resym puts onto it): "
        << report.nearPlane.size();
    if (!report.nearPlane.empty())
        out << " (" << numbers(input, report.nearPlane, context.verbose) << ")";
    out << "\nunpaired off the plane: " << report.offPlane.size();
    if (!report.offPlane.empty())
        out << " (" << numbers(input, report.offPlane, context.verbose) << ")";
    out << "\n";
}

void writeAmbiguity(std::ostream& out, const ReportContext& context, const ReportInput& input,
                    const AsymmetryReport& report) {
    out << "ambiguous pairs: " << report.ambiguous.size();
    if (report.ambiguous.empty()) {
        out << "\n";
        return;
    }
    out << " (the starter had two or more candidates within the tolerance; the pair may be "
           "wrong)\n";
    const std::size_t shown =
        context.verbose ? report.ambiguous.size() : std::min(report.ambiguous.size(), kShortList);
    for (std::size_t i = 0; i < shown; ++i) {
        const AmbiguousStarter& a = report.ambiguous[i];
        out << "  " << input.vertices[a.starter].number << " took "
            << input.vertices[a.partner].number << " of " << a.candidateCount << " candidates:";
        for (std::size_t c = 0; c < a.nearest.size(); ++c)
            out << (c == 0 ? " " : ", ") << input.vertices[a.nearest[c].vertex].number << " at "
                << shortNumber(a.nearest[c].distance);
        out << "\n";
    }
    if (shown < report.ambiguous.size())
        out << "  ... " << report.ambiguous.size() - shown << " more (--verbose)\n";
}

void writeAdvice(std::ostream& out, const ReportInput& input, const AsymmetryReport& report) {
    const ToleranceAdvice& advice = report.advice;
    if (advice.suggested > 0.0) {
        out << "suggested tolerance: " << roundedDown(advice.suggested);
        if (input.diagonal > 0.0)
            out << " (" << shortNumber(advice.suggested / input.diagonal * 100.0)
                << "% of the box diagonal)";
        out << ": " << advice.reason << "\n";
    } else {
        out << "suggested tolerance: none (" << advice.reason << ")\n";
    }
}

}  // namespace

void writeReportText(std::ostream& out, const ReportContext& context, const ReportInput& input,
                     const AsymmetryReport& report) {
    writeSummary(out, context, report);
    if (context.quiet) return;
    writePairs(out, context, input, report);
    writeUnpaired(out, context, input, report);
    writeAmbiguity(out, context, input, report);
    writeAdvice(out, input, report);
}

}  // namespace talvexhost
