#include "demo/demo_model.h"

#include <cmath>
#include <vector>

#include "io/number_text.h"
#include "io/obj/obj_document.h"

namespace talvexhost {

namespace {

constexpr int kRings = 10;     // latitude bands from pole to pole
constexpr int kSegments = 16;  // around the up axis; segment j mirrors segment 16 - j
constexpr double kPi = 3.14159265358979323846;

struct P {
    double x, y, z;
};

// Vertex of ring i (1 .. kRings - 1), segment j.
int ringVertex(int i, int j) {
    return 1 + (i - 1) * kSegments + (j % kSegments);
}

}  // namespace

std::string demoModelObj() {
    std::vector<P> v;
    v.push_back({0.0, 1.0, 0.0});
    for (int i = 1; i < kRings; ++i) {
        const double phi = kPi * i / kRings;
        for (int j = 0; j < kSegments; ++j) {
            const double theta = 2.0 * kPi * j / kSegments;
            P p{std::sin(phi) * std::sin(theta) * 0.9, std::cos(phi),
                std::sin(phi) * std::cos(theta) * 0.85};
            const bool side = j == 4 || j == 12;  // straight left or right
            if (i == 2 && side) {
                p.y += 0.62;  // ear tips
                p.x *= 1.15;
            }
            if (i == 1 && side) p.y += 0.12;
            if (i == 4 && (j == 1 || j == 15)) p.z -= 0.12;  // eye sockets
            if (i == 5 && j == 0) p.z += 0.16;               // muzzle
            if (i == 6 && j == 0) p.z += 0.22;
            if (i == 6 && (j == 1 || j == 15)) p.z += 0.1;
            if (i >= 8) p.x *= 0.85;  // a narrower chin
            v.push_back(p);
        }
    }
    v.push_back({0.0, -1.0, 0.0});

    // The +x half is a little off: what a modeller's hand leaves behind.
    for (int i = 1; i < kRings; ++i) {
        for (int j = 1; j < kSegments / 2; ++j) {
            P& p = v[ringVertex(i, j)];
            p.x += 0.015 * ((i * 7 + j * 3) % 5 - 2);
            p.y += 0.01 * ((i * 3 + j * 5) % 5 - 2);
        }
    }
    v[ringVertex(2, 4)].y += 0.05;

    // Six decimals, as modellers' files usually have; sin(pi) stays no crumb.
    for (P& p : v) {
        p.x = std::round(p.x * 1e6) / 1e6 + 0.0;
        p.y = std::round(p.y * 1e6) / 1e6 + 0.0;
        p.z = std::round(p.z * 1e6) / 1e6 + 0.0;
    }

    std::string obj =
        "# Talvex demo model: a cat head, slightly asymmetric on its +x half\no Head\n";
    for (const P& p : v) {
        obj += "v " + formatFloat(static_cast<float>(p.x)) + " " +
               formatFloat(static_cast<float>(p.y)) + " " + formatFloat(static_cast<float>(p.z)) +
               "\n";
    }
    const int bottom = static_cast<int>(v.size()) - 1;
    for (int j = 0; j < kSegments; ++j) {
        obj += "f 1 " + std::to_string(ringVertex(1, j + 1) + 1) + " " +
               std::to_string(ringVertex(1, j) + 1) + "\n";
    }
    for (int i = 1; i + 1 < kRings; ++i) {
        for (int j = 0; j < kSegments; ++j) {
            obj += "f " + std::to_string(ringVertex(i, j) + 1) + " " +
                   std::to_string(ringVertex(i, j + 1) + 1) + " " +
                   std::to_string(ringVertex(i + 1, j + 1) + 1) + " " +
                   std::to_string(ringVertex(i + 1, j) + 1) + "\n";
        }
    }
    for (int j = 0; j < kSegments; ++j) {
        obj += "f " + std::to_string(ringVertex(kRings - 1, j) + 1) + " " +
               std::to_string(ringVertex(kRings - 1, j + 1) + 1) + " " +
               std::to_string(bottom + 1) + "\n";
    }
    return obj;
}

std::unique_ptr<MeshDocument> demoModelDocument(std::string& error) {
    auto document = std::make_unique<ObjDocument>();
    if (!document->parse(demoModelObj(), "demo model", error)) return nullptr;
    return document;
}

}  // namespace talvexhost
