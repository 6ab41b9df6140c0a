// The OBJ side of rebuilding a mesh from one half: an OBJ text read into a
// HalfMeshInput with what writing it back needs (each line's place, the
// order of objects, groups, materials and smoothing groups among the
// elements), and a HalfMeshResult written as OBJ: ObjDocument's side of
// the rebuild seam.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "io/rebuilt_mesh.h"

namespace talvexhost {

struct ObjLineSpan {
    std::size_t begin;
    std::size_t end;  // before the line ending
};

struct ObjRebuildSource {
    std::string_view text;  // owned by the caller; must outlive this
    HalfMeshInput mesh;
    std::vector<ObjLineSpan> vertexLines;
    std::vector<ObjLineSpan> uvLines;
    std::vector<ObjLineSpan> normalLines;
    // Every other line in file order: statements kept as written (o, g,
    // usemtl, s, mtllib, comments, ...) and elements (`element` >= 0).
    struct Item {
        ObjLineSpan line;
        int element;  // index into mesh.elements, or -1
    };
    std::vector<Item> items;
    std::size_t headerItems = 0;  // the comment lines before any statement
    bool byteOrderMark = false;
    const char* lineEnd = "\n";  // the first line's ending
};

// Reads `text` (already accepted by the OBJ reader, so only what it lets
// through needs handling); false with "NAME:LINE: reason" otherwise. With
// `positions` (one per `v` line, as the OBJ reader read them) the `v` lines'
// numbers are not read again.
bool readObjForRebuild(std::string_view text, const std::string& name, ObjRebuildSource& source,
                       std::string& error, const std::vector<EditVector>* positions = nullptr);

// The rebuilt mesh as OBJ: the comment header; the `v` lines (kept ones as
// they were unless moved onto the plane, new ones with the extra values of
// the vertex they come from); the `vt` and `vn` lines alike; then the other
// lines in their order, each run of elements followed by its mirror images,
// so every mirrored element has the object, group, material and smoothing
// group of its original. New coordinates get `decimals` digits after the
// point (1 to 9) or, for 0, the shortest text that reads back as the float.
// About an axis plane at 0 the mirrored coordinate is the original's text
// with its sign changed and the others are the original's text.
std::string writeRebuiltObj(const ObjRebuildSource& source, const HalfMeshResult& result,
                            const HalfPlane& plane, int decimals);

}  // namespace talvexhost
