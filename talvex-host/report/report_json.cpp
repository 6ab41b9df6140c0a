#include <nlohmann/json.hpp>

#include "io/json_names.h"
#include "io/number_text.h"
#include "report/report_output.h"

namespace talvexhost {

namespace {

using Json = nlohmann::ordered_json;

// A float coordinate as the double its shortest text reads as, so the JSON
// shows 0.1 rather than the float's full binary expansion.
double plain(double widenedFloat) {
    double value = 0.0;
    parseDouble(formatFloat(float(widenedFloat)), value);
    return value;
}

Json vertexJson(const ReportInput& input, int v) {
    const ReportVertex& vertex = input.vertices[v];
    return Json{{"vertex", vertex.number},
                {"position",
                 {plain(vertex.position[0]), plain(vertex.position[1]), plain(vertex.position[2])}},
                {"distance", vertex.distance}};
}

Json pairsJson(const ReportContext& context, const ReportInput& input,
               const AsymmetryReport& report) {
    Json pairs = Json::array();
    for (std::size_t i = 0; i < report.deviating.size(); ++i) {
        if (context.top >= 0 && i >= std::size_t(context.top)) break;
        const PairDeviation& p = report.deviating[i];
        pairs.push_back({{"rank", i + 1},
                         {"deviation", p.deviation},
                         {"starter", vertexJson(input, p.starter)},
                         {"partner", vertexJson(input, p.partner)}});
    }
    return pairs;
}

Json listJson(const ReportInput& input, const std::vector<int>& vertices) {
    Json list = Json::array();
    for (int v : vertices) list.push_back(vertexJson(input, v));
    return list;
}

Json ambiguityJson(const ReportInput& input, const AsymmetryReport& report) {
    Json starters = Json::array();
    for (const AmbiguousStarter& a : report.ambiguous) {
        Json candidates = Json::array();
        for (const Candidate& c : a.nearest)
            candidates.push_back(
                {{"vertex", input.vertices[c.vertex].number}, {"distance", c.distance}});
        starters.push_back({{"starter", input.vertices[a.starter].number},
                            {"partner", input.vertices[a.partner].number},
                            {"candidates", a.candidateCount},
                            {"nearest", candidates}});
    }
    return {{"count", report.ambiguous.size()}, {"starters", starters}};
}

Json adviceJson(const ReportInput& input, const AsymmetryReport& report) {
    const ToleranceAdvice& advice = report.advice;
    return {{"edgeLength", advice.edgeLength},
            {"nearestCandidate95", advice.nearest95},
            {"farFromPartner", advice.farFromPartner},
            {"suggested", advice.suggested},
            {"suggestedPercent",
             input.diagonal > 0.0 ? advice.suggested / input.diagonal * 100.0 : 0.0},
            {"belowPluginRange", advice.belowPluginRange},
            {"reason", advice.reason}};
}

}  // namespace

std::string reportJson(const ReportContext& context, const ReportInput& input,
                       const AsymmetryReport& report) {
    const ResymOutcome& outcome = *context.outcome;
    Json json;
    json["schema"] = "talvex-check/1";
    putName(json, "file", context.file);
    if (context.object.empty())
        json["object"] = Json();
    else
        putName(json, "object", context.object);
    json["asOneObject"] = context.asOneObject;
    json["objects"] = context.objects;
    json["plane"] = {{"axis", std::string(1, char('x' + context.axis))},
                     {"spec", context.plane},
                     {"at", plain(context.planeAt)}};
    json["tolerance"] = {{"value", plain(context.tolerance)},
                         {"from", context.toleranceFrom},
                         {"diagonal", input.diagonal}};
    json["minDeviation"] = input.minDeviation;
    json["summary"] = {{"vertices", report.vertices},
                       {"pairs", report.pairs},
                       {"deviatingPairs", report.deviating.size()},
                       {"onPlane", report.onPlane.size()},
                       {"nearPlane", report.nearPlane.size()},
                       {"offPlane", report.offPlane.size()},
                       {"unpaired", report.nearPlane.size() + report.offPlane.size()},
                       {"wouldMove", outcome.movedVertices},
                       {"maxDeviation", report.maxDeviation},
                       {"meanDeviation", report.meanDeviation},
                       {"rmsDeviation", report.rmsDeviation},
                       {"score", report.score},
                       {"ambiguous", report.ambiguous.size()},
                       {"partnersInOtherObjects", report.partnersInOtherObjects}};
    json["pairs"] = pairsJson(context, input, report);
    json["unpaired"] = {{"onPlane", listJson(input, report.onPlane)},
                        {"nearPlane", listJson(input, report.nearPlane)},
                        {"offPlane", listJson(input, report.offPlane)}};
    json["ambiguous"] = ambiguityJson(input, report);
    json["advice"] = adviceJson(input, report);
    if (context.masterSign != 0) {
        const int master = context.masterSign > 0 ? 1 : 0;
        json["master"] = {{"side", context.masterSide},
                          {"keptVertices", outcome.masterMarked},
                          {"wouldMove", outcome.movedBySide[1 - master]},
                          {"wouldMoveOnMasterSide", outcome.movedBySide[master]},
                          {"leftUnpaired", outcome.unpaired[1 - master].size()}};
    }
    if (context.allPairs != nullptr) {
        Json pairs = Json::array();
        for (const auto& [a, b] : *context.allPairs) pairs.push_back({a, b});
        json["allPairs"] = {{"pairing", context.pairing}, {"pairs", pairs}};
    }
    return json.dump(2) + "\n";
}

}  // namespace talvexhost
