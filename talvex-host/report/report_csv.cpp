#include <cstddef>

#include "io/number_text.h"
#include "report/report_output.h"

namespace talvexhost {

std::string positionText(const ReportVertex& vertex, const char* separator) {
    return formatFloat(float(vertex.position[0])) + separator +
           formatFloat(float(vertex.position[1])) + separator +
           formatFloat(float(vertex.position[2]));
}

std::string reportCsv(const ReportContext& context, const ReportInput& input,
                      const AsymmetryReport& report) {
    if (context.allPairs != nullptr) {
        std::string all = "vertex_a,vertex_b\n";
        for (const auto& [a, b] : *context.allPairs)
            all += std::to_string(a) + "," + std::to_string(b) + "\n";
        return all;
    }
    std::string csv = "rank,vertex_a,vertex_b,deviation,ax,ay,az,bx,by,bz\n";
    for (std::size_t i = 0; i < report.deviating.size(); ++i) {
        if (context.top >= 0 && i >= std::size_t(context.top)) break;
        const PairDeviation& p = report.deviating[i];
        csv += std::to_string(i + 1) + "," + std::to_string(input.vertices[p.starter].number) +
               "," + std::to_string(input.vertices[p.partner].number) + "," +
               formatFixed(p.deviation, 9) + "," + positionText(input.vertices[p.starter], ",") +
               "," + positionText(input.vertices[p.partner], ",") + "\n";
    }
    return csv;
}

}  // namespace talvexhost
