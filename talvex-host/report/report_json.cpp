#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "io/json_names.h"
#include "report/json_numbers.h"
#include "report/report_output.h"

namespace talvexhost {

namespace {

using Json = nlohmann::ordered_json;

// A float coordinate as the double its shortest text reads as, so the JSON
// shows 0.1 rather than the float's full binary expansion.
double plain(double widenedFloat) {
    return plainFloat(float(widenedFloat));
}

// The report's long lists (a pair or a vertex per entry, millions on a
// large mesh) are written as text as they are walked: a tree of them would
// take about a kilobyte an entry. The text is byte for byte what
// nlohmann's dump(2) gives for the whole tree, numbers by its own
// conversion; the short parts still go through its trees.
class JsonText {
public:
    explicit JsonText(const JsonSink& sink) : sink_(sink) { text_.reserve(kFlushAt + 4096); }

    void put(const std::string& text) { add(text.data(), text.size()); }
    template <std::size_t N>
    void put(const char (&text)[N]) {
        add(text, N - 1);
    }
    void put(const char* text) { add(text, std::char_traits<char>::length(text)); }
    void indent(int spaces) { text_.append(std::size_t(spaces), ' '); }

    void integer(long long value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        text_.append(digits, std::size_t(end - digits));
    }

    void number(double value) {
        char digits[kJsonNumberMax];
        text_.append(digits, jsonDoubleText(value, digits));
    }

    // A float coordinate as plain() gives it.
    void plainNumber(double widenedFloat) {
        char digits[kJsonNumberMax];
        text_.append(digits, plainFloatText(float(widenedFloat), digits));
    }

    // A small tree as dump(2) gives it when it stands `depth` spaces in.
    void tree(const Json& value, int depth) {
        const std::string text = value.dump(2);
        for (const char c : text) {
            text_ += c;
            if (c == '\n') indent(depth);
        }
    }

    // Hands on what is gathered once it is large; false once the sink failed.
    bool flush(bool force = false) {
        if (ok_ && (force || text_.size() >= kFlushAt)) ok_ = sink_(text_.data(), text_.size());
        if (force || text_.size() >= kFlushAt) text_.clear();
        return ok_;
    }

private:
    static constexpr std::size_t kFlushAt = std::size_t(1) << 20;
    void add(const char* text, std::size_t size) { text_.append(text, size); }

    const JsonSink& sink_;
    std::string text_;
    bool ok_ = true;
};

void prefetch(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    static_cast<void>(address);
#endif
}

// A vertex entry whose braces stand six spaces in, as both the pairs' and
// the unpaired lists' entries do: its text between the numbers is fixed.
void putVertex(JsonText& out, const ReportInput& input, int v) {
    const ReportVertex& vertex = input.vertices[v];
    out.put("{\n        \"vertex\": ");
    out.integer(vertex.number);
    out.put(",\n        \"position\": [\n          ");
    out.plainNumber(vertex.position[0]);
    out.put(",\n          ");
    out.plainNumber(vertex.position[1]);
    out.put(",\n          ");
    out.plainNumber(vertex.position[2]);
    out.put("\n        ],\n        \"distance\": ");
    out.number(vertex.distance);
    out.put("\n      }");
}

// An array whose key stands `depth` spaces in: `entry(i)` writes the i-th
// element, whose first line stands `depth + 2` in.
template <typename Entry>
bool putArray(JsonText& out, std::size_t count, int depth, Entry entry) {
    if (count == 0) {
        out.put("[]");
        return true;
    }
    out.put("[\n");
    for (std::size_t i = 0; i < count; ++i) {
        out.indent(depth + 2);
        entry(i);
        out.put(i + 1 < count ? ",\n" : "\n");
        if (!out.flush()) return false;
    }
    out.indent(depth);
    out.put("]");
    return true;
}

bool putPairs(JsonText& out, const ReportContext& context, const ReportInput& input,
              const AsymmetryReport& report) {
    std::size_t count = report.deviating.size();
    if (context.top >= 0) count = std::min(count, std::size_t(context.top));
    return putArray(out, count, 2, [&](std::size_t i) {
        // The pairs come by deviation, their vertices from all over the
        // mesh: ask for those a few entries on early, so they are at hand.
        constexpr std::size_t kAhead = 8;
        if (i + kAhead < count) {
            const PairDeviation& later = report.deviating[i + kAhead];
            prefetch(&input.vertices[later.starter]);
            prefetch(&input.vertices[later.partner]);
        }
        const PairDeviation& p = report.deviating[i];
        out.put("{\n      \"rank\": ");
        out.integer(static_cast<long long>(i + 1));
        out.put(",\n      \"deviation\": ");
        out.number(p.deviation);
        out.put(",\n      \"starter\": ");
        putVertex(out, input, p.starter);
        out.put(",\n      \"partner\": ");
        putVertex(out, input, p.partner);
        out.put("\n    }");
    });
}

bool putUnpaired(JsonText& out, const ReportInput& input, const AsymmetryReport& report) {
    const std::pair<const char*, const std::vector<int>*> lists[] = {
        {"onPlane", &report.onPlane},
        {"nearPlane", &report.nearPlane},
        {"offPlane", &report.offPlane}};
    out.put("{\n");
    for (const auto& [key, list] : lists) {
        out.put("    \"");
        out.put(key);
        out.put("\": ");
        const std::vector<int>& vertices = *list;
        if (!putArray(out, vertices.size(), 4,
                      [&](std::size_t i) { putVertex(out, input, vertices[i]); }))
            return false;
        out.put(list == &report.offPlane ? "\n" : ",\n");
    }
    out.put("  }");
    return true;
}

bool putAllPairs(JsonText& out, const ReportContext& context) {
    const std::vector<std::pair<int, int>>& pairs = *context.allPairs;
    out.put("{\n    \"pairing\": ");
    out.tree(Json(context.pairing), 4);
    out.put(",\n    \"pairs\": ");
    if (!putArray(out, pairs.size(), 4, [&](std::size_t i) {
            out.put("[\n        ");
            out.integer(pairs[i].first);
            out.put(",\n        ");
            out.integer(pairs[i].second);
            out.put("\n      ]");
        }))
        return false;
    out.put("\n  }");
    return true;
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

bool writeReportJson(const ReportContext& context, const ReportInput& input,
                     const AsymmetryReport& report, const JsonSink& sink) {
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
    // The members after the lists, but for allPairs.
    Json tail;
    tail["ambiguous"] = ambiguityJson(input, report);
    tail["advice"] = adviceJson(input, report);
    if (context.masterSign != 0) {
        const int master = context.masterSign > 0 ? 1 : 0;
        tail["master"] = {{"side", context.masterSide},
                          {"keptVertices", outcome.masterMarked},
                          {"wouldMove", outcome.movedBySide[1 - master]},
                          {"wouldMoveOnMasterSide", outcome.movedBySide[master]},
                          {"leftUnpaired", outcome.unpaired[1 - master].size()}};
    }

    JsonText out(sink);
    std::string head = json.dump(2);
    head.erase(head.size() - 2);  // "\n}"
    out.put(head);
    out.put(",\n  \"pairs\": ");
    if (!putPairs(out, context, input, report)) return false;
    out.put(",\n  \"unpaired\": ");
    if (!putUnpaired(out, input, report)) return false;
    std::string rest = tail.dump(2);
    rest.erase(rest.size() - 2);  // "\n}"
    out.put(",\n");
    out.put(rest.substr(2));  // "{\n"
    if (context.allPairs != nullptr) {
        out.put(",\n  \"allPairs\": ");
        if (!putAllPairs(out, context)) return false;
    }
    out.put("\n}\n");
    return out.flush(true);
}

std::string reportJson(const ReportContext& context, const ReportInput& input,
                       const AsymmetryReport& report) {
    std::string text;
    writeReportJson(context, input, report, [&text](const char* data, std::size_t size) {
        text.append(data, size);
        return true;
    });
    return text;
}

}  // namespace talvexhost
