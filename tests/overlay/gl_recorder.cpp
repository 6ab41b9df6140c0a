#include "overlay/gl_recorder.h"

#include <cstdio>
#include <cstring>

#include "overlay/gl_calls.h"

namespace overlaytest {
namespace {

GlRecorder* gRecorder = nullptr;

void log(const std::string& line) {
    if (gRecorder != nullptr) gRecorder->calls.push_back(line);
}

std::string numbers(std::initializer_list<double> values) {
    std::string text;
    for (double value : values) text += " " + number(value);
    return text;
}

overlay::GlCalls gRecording = {
    [](unsigned cap) -> unsigned char {
        log("isEnabled " + hex(cap));
        return cap == overlay::kGlLighting && gRecorder != nullptr && gRecorder->lightingEnabled
                   ? 1
                   : 0;
    },
    [](unsigned cap) { log("enable " + hex(cap)); },
    [](unsigned cap) { log("disable " + hex(cap)); },
    [](float red, float green, float blue) { log(color(red, green, blue)); },
    [](float width) { log("lineWidth" + numbers({width})); },
    [](int factor, std::uint16_t pattern) {
        log("lineStipple " + std::to_string(factor) + " " + hex(pattern));
    },
    [](float size) { log("pointSize" + numbers({size})); },
    [](unsigned mode) { log("begin " + hex(mode)); },
    [](float x, float y, float z) { log(vertex(x, y, z)); },
    []() { log("end"); },
    [](unsigned mode) { log("matrixMode " + hex(mode)); },
    []() { log("pushMatrix"); },
    []() { log("popMatrix"); },
    []() { log("loadIdentity"); },
    [](double left, double right, double bottom, double top, double zNear, double zFar) {
        log("ortho" + numbers({left, right, bottom, top, zNear, zFar}));
    },
    [](float x, float y) {
        log("rasterPos2f" + numbers({x, y}));
    },
    [](unsigned mask) { log("pushAttrib " + hex(mask)); },
    []() { log("popAttrib"); },
    [](unsigned base) { log("listBase " + std::to_string(base)); },
    [](int count, unsigned type, const void* lists) {
        // The bytes are logged as text: the HUD lines are plain ASCII.
        log("callLists " + std::to_string(count) + " " + hex(type) + " " +
            std::string(static_cast<const char*>(lists), static_cast<size_t>(count)));
    },
    [](int range) -> unsigned {
        log("genLists " + std::to_string(range));
        if (gRecorder == nullptr) return 0;
        const std::uint32_t base = gRecorder->nextLists;
        gRecorder->nextLists += static_cast<std::uint32_t>(range);
        return base;
    },
    [](unsigned list, int range) {
        log("deleteLists " + std::to_string(list) + " " + std::to_string(range));
    },
    {},  // the glyph compile: set to the table being replaced
};

std::int32_t HOST_CALL recordSelectionMode() {
    log("getSelectionMode");
    if (gRecorder == nullptr) return 0;
    std::vector<int>& answers = gRecorder->selectionAnswers;
    if (answers.empty()) return gRecorder->selectionMode;
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
}

}  // namespace

GlRecorder::GlRecorder() {
    gRecorder = this;
    services.getSelectionMode = recordSelectionMode;
    // Glyphs still compile into the current context, unrecorded.
    gRecording.glyphLists = overlay::glCalls().glyphLists;
    overlay::useGlCalls(&gRecording);
}

GlRecorder::~GlRecorder() {
    overlay::useGlCalls(nullptr);
    gRecorder = nullptr;
}

std::string number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string vertex(float x, float y, float z) {
    return "vertex3f" + numbers({x, y, z});
}

std::string color(float red, float green, float blue) {
    return "color3f" + numbers({red, green, blue});
}

}  // namespace overlaytest
