// Feeds arbitrary bytes to talvex-host's OBJ reader, whole and cut into small
// pieces read in parallel, which must agree. Either the reader refuses
// with a clear error ("NAME:LINE: what" or "NAME: what"), or it gives a mesh
// that holds together: finite positions, every element's references inside
// the vertex list, every vertex in exactly one object, the file's bytes given
// back unchanged, and a moved vertex written so that reading the result again
// gives the same mesh with exactly that position (or, keeping the file's
// digits, the nearest at its decimals or its old text).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "io/obj/obj_document.h"

namespace {

using talvexhost::ObjDocument;
using talvexhost::ObjElement;
using talvexhost::ObjPosition;

const char kName[] = "fuzz.obj";

[[noreturn]] void fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.c_str());
    std::abort();
}

bool sameBits(const ObjPosition& a, const ObjPosition& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void checkMesh(const ObjDocument& doc) {
    const int n = doc.vertexCount();
    for (int v = 0; v < n; ++v) {
        const ObjPosition& p = doc.position(v);
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            fail("non-finite position");
        if (doc.lineOf(v) < 1) fail("vertex without a line");
    }
    for (const ObjElement& e : doc.elements()) {
        const std::size_t least = e.kind == ObjElement::kFace   ? 3
                                  : e.kind == ObjElement::kLine ? 2
                                                                : 1;
        if (e.vertices.size() < least) fail("element with too few vertices");
        for (int v : e.vertices) {
            if (v < 0 || v >= n) fail("element refers outside the vertex list");
        }
    }
    std::vector<int> owner(static_cast<std::size_t>(n), 0);
    for (const auto& object : doc.objects()) {
        if (object.vertices.empty()) fail("object without vertices", object.name);
        for (std::size_t i = 0; i < object.vertices.size(); ++i) {
            const int v = object.vertices[i];
            if (v < 0 || v >= n) fail("object vertex out of range");
            if (i > 0 && object.vertices[i - 1] >= v) fail("object vertices not ascending");
            ++owner[static_cast<std::size_t>(v)];
        }
    }
    for (int count : owner) {
        if (count != 1) fail("a vertex not in exactly one object");
    }
}

void checkSameMesh(const ObjDocument& a, const ObjDocument& b) {
    if (a.vertexCount() != b.vertexCount()) fail("vertex count changed on rereading");
    for (int v = 0; v < a.vertexCount(); ++v) {
        if (!sameBits(a.position(v), b.position(v))) fail("position changed on rereading");
        if (a.lineOf(v) != b.lineOf(v)) fail("vertex line changed on rereading");
    }
    // Elements are read again from the text on each request: once each.
    const std::vector<ObjElement> ea = a.elements();
    const std::vector<ObjElement> eb = b.elements();
    if (ea.size() != eb.size()) fail("elements changed on rereading");
    for (std::size_t i = 0; i < ea.size(); ++i) {
        if (ea[i].kind != eb[i].kind || ea[i].vertices != eb[i].vertices)
            fail("element changed on rereading");
    }
    if (a.objects().size() != b.objects().size()) fail("objects changed on rereading");
    for (std::size_t i = 0; i < a.objects().size(); ++i) {
        if (a.objects()[i].name != b.objects()[i].name ||
            a.objects()[i].vertices != b.objects()[i].vertices)
            fail("object changed on rereading");
    }
}

// Positions a tool may write: ordinary, negative zero, denormal, the largest
// float, and values whose shortest text is long.
ObjPosition movedPosition(const ObjPosition& p, std::size_t pick) {
    static const float kValues[] = {0.1f,        -0.0f,        1e-45f, 3.4028235e38f,
                                    -1.0000001f, 123456792.0f, 1e-7f};
    const float a = kValues[pick % 7];
    const float b = kValues[(pick / 7) % 7];
    return {a, p.y, b};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ObjDocument doc;
    std::string error;
    const bool read = doc.parse(text, kName, error);
    // Read in pieces, in parallel, the file must give the same: pieces of a
    // few bytes cut every line, larger ones fall inside and beside long lines.
    static const std::size_t kPieceBytes[] = {1, 2, 3, 5, 7, 64, 4096, 65536};
    ObjDocument cut;
    std::string cutError;
    if (cut.parse(text, kName, cutError, kPieceBytes[size % 8]) != read || cutError != error)
        fail("pieces read otherwise than the whole", error + " / " + cutError);
    if (!read) {
        const std::string prefix = std::string(kName) + ":";
        if (error.compare(0, prefix.size(), prefix) != 0 || error.size() <= prefix.size() + 1)
            fail("refusal without a clear error", error);
        return 0;
    }
    checkSameMesh(doc, cut);
    checkMesh(doc);
    if (doc.text() != text) fail("unchanged mesh not written back byte for byte");
    if (doc.vertexCount() == 0) return 0;

    const int moved = static_cast<int>(size % static_cast<std::size_t>(doc.vertexCount()));
    const ObjPosition original = doc.position(moved);
    const ObjPosition target = movedPosition(original, size);
    doc.setPosition(moved, target);
    // Written with the file's decimals, each coordinate reads back as its old
    // value (a move below the file's precision) or within half a unit of the
    // last decimal of the new one (or exactly, as the shortest text), and
    // writing that again changes nothing.
    ObjDocument kept;
    if (!kept.parse(doc.text(), kName, error)) fail("written mesh cannot be read again", error);
    const double unit = std::pow(10.0, -doc.fileDecimals());
    const float was[3] = {original.x, original.y, original.z};
    const float wanted[3] = {target.x, target.y, target.z};
    const ObjPosition back = kept.position(moved);
    const float got[3] = {back.x, back.y, back.z};
    for (int i = 0; i < 3; ++i) {
        const double off = std::fabs(double(got[i]) - double(wanted[i]));
        if (!(got[i] == was[i] || got[i] == wanted[i] ||
              off <= unit / 2 + std::fabs(double(wanted[i])) * 1e-7))
            fail("moved coordinate written neither kept nor near");
    }
    const std::string keptText = kept.text();
    kept.setPosition(moved, target);
    if (kept.text() != keptText && kept.fileDecimals() == doc.fileDecimals() &&
        doc.fileDecimals() > 0 && doc.fileDecimals() <= 9 &&
        std::fabs(double(target.x) - double(back.x)) < unit &&
        std::fabs(double(target.y) - double(back.y)) < unit &&
        std::fabs(double(target.z) - double(back.z)) < unit)
        fail("a move below the file's precision rewritten");
    // The shortest text gives the exact float back.
    doc.setNumberStyle(talvexhost::ObjNumberStyle::kShortest);
    ObjDocument again;
    if (!again.parse(doc.text(), kName, error)) fail("written mesh cannot be read again", error);
    checkSameMesh(doc, again);
    if (!sameBits(again.position(moved), target)) fail("moved vertex read back elsewhere");
    return 0;
}
