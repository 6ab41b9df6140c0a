// A PLY file (ASCII, binary little- or big-endian) as a mesh document: the
// vertex element's x, y and z (float or double) are the positions, the face
// element's vertex_indices (or vertex_index) lists the faces, and every other
// element and property is kept as it is. Writing changes only the bytes or
// the text of moved coordinates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/mesh_file_document.h"

namespace talvexhost {

class PlyDocument : public MeshFileDocument {
public:
    const char* formatName() const override { return "PLY"; }
    std::string placeOf(int vertex) const override;
    std::string bytes() const override;

    // A rebuilt mesh as PLY of the same encoding and header: the vertex and
    // face counts changed, every other header line kept. A kept vertex keeps
    // its record; a mirrored one takes its original's, with x, y, z and the
    // normal nx, ny, nz mirrored; one made at a cut interpolates every other
    // scalar property along the cut edge (integers rounded) and takes the
    // kept end's lists. A face takes its scalar properties from the face it
    // comes from; its other lists (per-corner values) are written empty, and
    // elements that name vertices (edges) are written with none; `notes`
    // says so. Other elements are kept record for record.
    bool rebuiltBytes(const HalfMeshResult& rebuilt, const HalfPlane& plane, std::string& out,
                      std::vector<std::string>& notes, std::string& error) const override;
    // Besides positions and faces, a vertex's texture coordinates (s and t,
    // u and v, or texture_u and texture_v) as its corners' own, so mirrored
    // faces get them mirrored when asked (--mirror-uv); a vertex on the
    // seam, which both halves share, keeps the kept half's.
    bool readForRebuild(HalfMeshInput& input, std::string& error) override;

    // Empty when `head` starts like a PLY file; otherwise why not.
    static std::string refuses(std::string_view head);

    // A scalar or list property of an element, as the header declares it.
    struct Property {
        std::string name;
        int type = 0;        // index into the scalar types; see ply_document.cpp
        int countType = -1;  // a list's count type, -1 for a scalar
    };
    struct Element {
        std::string name;
        std::uint64_t count = 0;
        std::vector<Property> properties;
    };

protected:
    bool parse(std::string& error, const MeshLoadOptions& options) override;
    MeshPosition filePosition(int vertex) const override;

private:
    enum class Encoding { kAscii, kLittleEndian, kBigEndian };

    bool parseHeader(std::string& error);
    bool readHeaderLine(std::string_view line, const std::string& here, bool& sawFormat,
                        bool& ended, std::string& error);
    bool readFormatLine(const std::vector<std::string_view>& words, std::string_view line,
                        const std::string& here, std::string& error);
    bool readElementLine(const std::vector<std::string_view>& words, const std::string& here,
                         std::string& error);
    bool readPropertyLine(const std::vector<std::string_view>& words, const std::string& here,
                          std::string& error);
    bool findVertexCoordinates(std::string& error);
    bool parseBinary(std::string& error, const MeshLoadOptions& options);
    static std::size_t scalarStride(const Element& element, bool& fixed);
    bool bodyHolds(const Element& element, std::size_t at, bool fixed, std::size_t stride,
                   std::string& error) const;
    void setVertexLayout(const Element& element, std::size_t at, bool fixed, std::size_t stride);
    bool readFixedVertices(const Element& element, std::size_t at, std::size_t stride,
                           std::string& error, const MeshLoadOptions& options);
    bool readBinaryRecord(const Element& element, bool isVertex, std::uint64_t r, std::size_t& at,
                          std::vector<int>& corners, std::string& error);
    bool readFaceCorners(const Property& property, std::uint64_t r, std::size_t at,
                         std::size_t items, std::vector<int>& corners, std::string& error);
    bool parseAscii(std::string& error, const MeshLoadOptions& options);
    // Where vertex `vertex`'s record starts.
    std::size_t recordOffset(int vertex) const;
    // The byte offsets (binary) of the vertex's x, y and z.
    void binaryCoordinates(int vertex, std::size_t at[3]) const;
    // The x, y and z tokens of the ASCII record at `offset`.
    void asciiCoordinates(std::size_t offset, std::string_view tokens[3]) const;
    std::string binaryError(std::size_t offset, const std::string& what) const;
    // Where each property of the record at `at` of `element` lies (binary:
    // its bytes; ASCII: from its first token to the end of its last); where
    // the record ends.
    struct Span {
        std::size_t begin;
        std::size_t end;
    };
    std::size_t walkRecord(const Element& element, std::size_t at, std::vector<Span>& spans) const;
    // Writing a rebuilt mesh in this file's layout, one step at a time.
    struct Rebuild;

    Encoding encoding_ = Encoding::kAscii;
    std::vector<Element> elements_;
    std::size_t bodyOffset_ = 0;
    int vertexElement_ = -1;
    int coordinateProperty_[3] = {-1, -1, -1};
    // The vertex's texture coordinates, scalar properties, or -1 and -1.
    void uvProperties(int uv[2]) const;
    // Binary vertices without lists sit at a fixed stride from the first;
    // the others have their record offsets listed.
    std::size_t vertexBase_ = 0;
    std::size_t vertexStride_ = 0;
    std::size_t coordinateAt_[3] = {0, 0, 0};  // within a fixed-size record
    std::vector<std::size_t> vertexOffsets_;
};

}  // namespace talvexhost
