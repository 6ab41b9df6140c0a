// A recording stand-in for OpenGL: while a GlRecorder lives, every GL call the
// overlay makes (but the glyph compile, which still reaches real GL) is written to its log as one
// line of text (name, then the arguments: enumerants in hex, numbers with enough digits to be
// exact), in place of being drawn. The host's getSelectionMode can log into it too, so the order of
// GL and host calls is checked as one sequence.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_services.h"

namespace overlaytest {

class GlRecorder {
public:
    GlRecorder();   // substitutes itself for real GL
    ~GlRecorder();  // puts real GL back
    GlRecorder(const GlRecorder&) = delete;
    GlRecorder& operator=(const GlRecorder&) = delete;

    std::vector<std::string> calls;
    bool lightingEnabled = false;       // what glIsEnabled(GL_LIGHTING) answers
    std::uint32_t nextLists = 1000;     // what glGenLists answers; advances by the range
    int selectionMode = 2;              // what getSelectionMode answers...
    std::vector<int> selectionAnswers;  // ...unless these are left: answered first to last

    // A host services table whose getSelectionMode logs here.
    HostServices services{};
};

// The log's spelling of a float, an enumerant and a whole call, for writing
// expected sequences.
std::string number(double value);
std::string hex(unsigned value);
std::string vertex(float x, float y, float z);
std::string color(float red, float green, float blue);

}  // namespace overlaytest
