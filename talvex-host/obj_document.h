// A Wavefront OBJ file held as its exact bytes plus what the host needs from
// it: vertex positions, objects and polygons. Writing it back reproduces every
// byte, except the `v` lines of vertices whose position changed, so edits
// never disturb what the host does not understand. Used by every subcommand.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace talvexhost {

struct ObjPosition {
    float x;
    float y;
    float z;
};

// Vertices belong to the object of the first face, line or point that uses
// them; a vertex no element uses belongs to the object current where it is
// defined. Objects come from `o` lines, or from `g` lines in files without
// any `o`; vertices before either belong to an object named "default".
struct ObjObject {
    std::string name;
    std::vector<int> vertices;  // global 0-based vertex indices, ascending (file order)
};

// A face (3 or more vertices), line (2 or more) or point (1 or more), by
// global 0-based vertex index.
struct ObjElement {
    enum Kind { kFace, kLine, kPoint };
    Kind kind;
    std::vector<int> vertices;
};

class ObjDocument {
public:
    // Reads `path`. On failure returns false and sets `error` to
    // "PATH:LINE: what is wrong" (or "PATH: ..." for whole-file problems).
    bool load(const std::string& path, std::string& error);

    // Parses `text` as if read from a file called `name`.
    bool parse(std::string text, const std::string& name, std::string& error);

    // The file's text with the `v` lines of changed vertices rewritten.
    std::string text() const;

    // Writes text() to a temporary file beside `path` and renames it over
    // `path`, so a failure leaves any existing file untouched.
    bool save(const std::string& path, std::string& error) const;

    int vertexCount() const { return static_cast<int>(vertices_.size()); }
    const ObjPosition& position(int vertex) const { return vertices_[vertex].current; }
    void setPosition(int vertex, const ObjPosition& position) { vertices_[vertex].current = position; }
    // True when the position differs bit for bit from the file's.
    bool changed(int vertex) const;
    // 1-based line number of the vertex's `v` line.
    int lineOf(int vertex) const { return vertices_[vertex].line + 1; }

    // Objects that own at least one vertex, in order of first appearance.
    const std::vector<ObjObject>& objects() const { return objects_; }
    const std::vector<ObjElement>& elements() const { return elements_; }

    // The longest line accepted; longer ones are refused as malformed.
    static constexpr std::size_t kMaxLineLength = 65536;

private:
    struct Vertex {
        ObjPosition original;
        ObjPosition current;
        int line;                 // 0-based
        std::size_t numbersEnd;  // offset in the line just after the third coordinate
    };
    struct Line {
        std::size_t begin;
        std::size_t length;  // without the line ending
        std::size_t endingLength;
    };

    std::string text_;
    std::vector<Line> lines_;
    std::vector<Vertex> vertices_;
    std::vector<ObjObject> objects_;
    std::vector<ObjElement> elements_;
};

// Writes `bytes` to `path` through a temporary file and a rename.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

// Reads a whole file; false with a reason when it cannot.
bool readWholeFile(const std::string& path, std::string& bytes, std::string& error);

}  // namespace talvexhost
