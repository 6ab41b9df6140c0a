#include "bench_host.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "support/command_indices.h"
#include "support/counting_allocator.h"
#include "symmetry/pair_scan.h"

namespace bench {
namespace {

using symtest::kCreate;
volatile long gSink = 0;  // keeps the sampled scans from being optimised away

void(HOST_CALL* gHostRegister)(HostPointerList*) = nullptr;
void(HOST_CALL* gHostMessage)(const char*) = nullptr;
double* gHostSeconds = nullptr;

void HOST_CALL uncountedRegister(HostPointerList* list) {
    support::countHeap(false);
    const auto start = std::chrono::steady_clock::now();
    gHostRegister(list);
    if (gHostSeconds != nullptr)
        *gHostSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    support::countHeap(true);
}

void HOST_CALL uncountedMessage(const char* text) {
    support::countHeap(false);
    gHostMessage(text);
    support::countHeap(true);
}

}  // namespace

std::vector<hostsim::Point> readObjPoints(const std::string& path) {
    std::vector<hostsim::Point> points;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 2 || line[0] != 'v' || line[1] != ' ') continue;
        hostsim::Point p{};
        if (std::sscanf(line.c_str() + 2, "%f %f %f", &p.x, &p.y, &p.z) == 3) points.push_back(p);
    }
    return points;
}

void keepHostServicesUncounted(hostsim::Host& host, double* hostSeconds) {
    gHostRegister = host.services.registerEditedVertices;
    gHostMessage = host.services.showMessage;
    gHostSeconds = hostSeconds;
    host.services.registerEditedVertices = uncountedRegister;
    host.services.showMessage = uncountedMessage;
}

HostObject* createAxisPlane(hostsim::Host& host, char axis) {
    host.scene.selectObjects({});
    host.execute(kCreate);
    HostObject* plane = host.scene.objects().back();
    hostsim::Point corners[] = {{0, -1, -1}, {0, -1, 1}, {0, 1, -1}, {0, 1, 1}};
    for (hostsim::Point& c : corners) {
        if (axis == 'y') c = hostsim::Point{c.y, c.x, c.z};
        if (axis == 'z') c = hostsim::Point{c.y, c.z, c.x};
    }
    for (int i = 0; i < 4; ++i) {
        HostVertex& v = hostsim::vertexOf(plane, i);
        v.x = corners[i].x;
        v.y = corners[i].y;
        v.z = corners[i].z;
    }
    plane->position = Vector3(0, 0, 0);
    return plane;
}

void restorePoints(hostsim::Host& host, HostObject& mesh,
                   const std::vector<hostsim::Point>& original) {
    for (int i = 0; i < mesh.vertexCount; ++i) {
        HostVertex& v = *mesh.vertices[i];
        v.x = original[std::size_t(i)].x;
        v.y = original[std::size_t(i)].y;
        v.z = original[std::size_t(i)].z;
    }
    host.undoSteps.clear();
}

double resymScanSeconds(const PlaneFrame& frame, const HostObject& mesh, float tolerance) {
    long starters = 0;
    std::vector<const HostVertex*> sample;
    const int stride = std::max(1, mesh.vertexCount / 64);
    for (int i = 0; i < mesh.vertexCount; ++i) {
        double exact = 0.0;
        probeVertex(frame, *mesh.vertices[i], exact);
        if (!(exact > double(0.0001f))) continue;
        ++starters;
        if (i % stride == 0) sample.push_back(mesh.vertices[i]);
    }
    const auto start = std::chrono::steady_clock::now();
    long found = 0;
    for (const HostVertex* v : sample) {
        double exact = 0.0;
        found +=
            findNearestPartner(frame, mesh, probeVertex(frame, *v, exact), tolerance) != nullptr;
    }
    gSink = found;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return seconds / double(std::max<std::size_t>(1, sample.size())) * double(starters);
}

}  // namespace bench
