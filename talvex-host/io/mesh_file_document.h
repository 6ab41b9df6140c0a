// What the PLY, STL and glTF documents share: the file's bytes kept as read,
// positions beside them, faces in one flat list, and saving through the safe
// writer with the check that the input did not change underneath. A format
// reads its bytes in parse() and writes moved vertices in bytes().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/host_files.h"
#include "io/mesh_document.h"

namespace talvexhost {

class MeshFileDocument : public MeshDocument {
public:
    MeshFileDocument();
    ~MeshFileDocument() override;

    // Maps `path` and parses it; see MeshDocument::load.
    bool load(const std::string& path, std::string& error,
              const MeshLoadOptions& options = {}) override;
    // Parses `bytes` as if read from a file called `name` (tests, fuzzers).
    bool parseBytes(std::string bytes, const std::string& name, std::string& error);

    int vertexCount() const override { return static_cast<int>(positions_.size()); }
    MeshPosition position(int vertex) const override { return positions_[vertex]; }
    void setPosition(int vertex, const MeshPosition& position) override {
        positions_[vertex] = position;
    }
    bool changed(int vertex) const override;

    const std::vector<MeshObject>& objects() const override { return objects_; }
    std::vector<MeshObject> takeObjects() override { return std::move(objects_); }
    std::vector<MeshElement> elements() const override;
    void forEachEdge(const std::function<void(const MeshEdge&)>& edge) const override;

    void setNumberStyle(MeshNumberStyle style) override { numberStyle_ = style; }

    // Writes bytes() to `path`; a document saved over its own file reads
    // what it wrote, keeping the positions set.
    bool save(const std::string& path, std::string& error) override;

protected:
    // Reads data_ (named name_) into positions_, objects_ and the faces;
    // false with the reason in `error`.
    virtual bool parse(std::string& error, const MeshLoadOptions& options) = 0;
    // The vertex's position as the file gives it, in scene space.
    virtual MeshPosition filePosition(int vertex) const = 0;

    // Refuses, before reading them, more vertices than memory allows.
    bool affordable(std::uint64_t vertices, const MeshLoadOptions& options,
                    std::string& error) const;
    // Adds an element of `count` vertices from `vertices` to the flat lists,
    // unless the load asked for positions only: the objects of these formats
    // never depend on their elements, which are then checked but not kept.
    void addElement(MeshElement::Kind kind, const int* vertices, std::size_t count);
    // True when the file at name_ is still the one loaded (or was parsed from memory).
    bool sourceUnchanged() const;
    std::string changedUnderneath() const;
    // Clears everything parse() fills.
    void clear();
    // Lets go of the file read (Windows cannot replace a mapped file); data_
    // is empty until the next load().
    void releaseFile();

    std::string name_;
    std::string_view data_;
    FileVersion version_;  // size -1 when parsed from memory
    std::vector<MeshPosition> positions_;
    std::vector<MeshObject> objects_;
    // Element k holds elementVertices_[elementStart(k) .. elementStart(k + 1)).
    // While every element has uniformSize_ vertices (triangles, quads) no
    // starts are listed; kinds are kept only when some element is not a face.
    std::size_t elementCount() const;
    std::size_t elementStart(std::size_t k) const;
    std::size_t uniformSize_ = 0;
    std::vector<std::size_t> elementStarts_;
    std::vector<int> elementVertices_;
    std::vector<std::uint8_t> elementKinds_;
    MeshNumberStyle numberStyle_ = MeshNumberStyle::kFileDecimals;
    bool skipElements_ = false;

private:
    std::unique_ptr<MappedFile> mapped_;
    std::string owned_;
};

// Welds corners stored apart (STL's facets, glTF's vertices split by normals)
// into vertices: positions equal bit for bit, minus zero taken as zero, are
// one. A table of vertex numbers keyed by the bits, found by open addressing,
// costs a few bytes per vertex while reading.
class PositionWelder {
public:
    // Adds to `positions`; vertices before `first` are never matched.
    PositionWelder(std::vector<MeshPosition>& positions, std::size_t expected,
                   std::size_t first = 0);
    // The vertex at `p`, added when new.
    int vertexAt(const MeshPosition& p);

private:
    struct Key {
        std::uint32_t bits[3];
        bool operator==(const Key& o) const {
            return bits[0] == o.bits[0] && bits[1] == o.bits[1] && bits[2] == o.bits[2];
        }
    };
    static Key keyOf(const MeshPosition& p);
    static std::size_t hashOf(const Key& key);
    void grow();

    std::vector<MeshPosition>& positions_;
    std::size_t first_;
    std::vector<int> table_;
};

// True when the two positions are the same bit for bit.
bool samePositionBits(const MeshPosition& a, const MeshPosition& b);

// The text that replaces the coordinate `token` of a text format to give
// `value`: empty when the token is kept, because it already reads as
// `value` or, with the file's decimals, the change is below its last one.
// With kFileDecimals a token keeps its form: as many decimals in fixed
// notation, as many mantissa digits in scientific notation; kShortest (and
// tokens of neither form) give the shortest text.
std::string coordinateText(std::string_view token, float value, MeshNumberStyle style);

// A byte patch of a file: replace [begin, end) with `text`.
struct BytePatch {
    std::size_t begin;
    std::size_t end;
    std::string text;
};

// `bytes` with `patches` applied; they need not be sorted but must not overlap.
std::string applyPatches(std::string_view bytes, std::vector<BytePatch> patches);

// The file name of `path` without its folder and last extension, its bytes
// as they are (no conversion through the system's code page).
std::string fileStem(const std::string& path);

// Where `offset` is in a text, for messages: "NAME:LINE".
std::string lineOf(std::string_view text, std::size_t offset, const std::string& name);

}  // namespace talvexhost
