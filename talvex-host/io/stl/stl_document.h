// An STL file (binary or ASCII) as a mesh document. STL stores each facet's
// three corners on their own; corners at identical positions are welded into
// one vertex, so pairing sees a mesh. Writing moves every corner of a moved
// vertex and recomputes the normals of the facets it touches; the 80-byte
// header, the attribute words and all other text are kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/mesh_file_document.h"

namespace talvexhost {

class StlDocument : public MeshFileDocument {
public:
    const char* formatName() const override { return "STL"; }
    std::string placeOf(int vertex) const override;
    std::string bytes() const override;
    std::vector<MeshElement> elements() const override;
    void forEachEdge(const std::function<void(const MeshEdge&)>& edge) const override;

    // Empty when `head` can start an STL file; otherwise why not.
    static std::string refuses(std::string_view head);

    bool isAscii() const { return ascii_; }

    // A rebuilt mesh as STL of the same kind: binary keeps the 80-byte
    // header and each facet's attribute word from the facet it comes from;
    // ASCII keeps each solid's name and puts each facet in the solid of the
    // one it comes from. Faces of more than three corners are cut into a fan
    // of triangles; every facet's normal is computed from its corners as
    // written.
    bool rebuiltBytes(const HalfMeshResult& rebuilt, const HalfPlane& plane, std::string& out,
                      std::vector<std::string>& notes, std::string& error) const override;

protected:
    bool parse(std::string& error, const MeshLoadOptions& options) override;
    MeshPosition filePosition(int vertex) const override { return filePositions_[vertex]; }

private:
    bool parseBinary(std::string& error, const MeshLoadOptions& options);
    bool parseAscii(std::string& error, const MeshLoadOptions& options);

    // The facet's normal and corner tokens, from the "facet" keyword at `offset`.
    struct FacetTokens {
        std::string_view normal[3];
        std::string_view corners[3][3];
    };
    FacetTokens facetTokens(std::size_t offset) const;

    // A rebuilt triangle's corners (output vertices) and its input facet.
    struct Facet {
        int corners[3];
        int source;
    };
    static std::vector<Facet> fanFacets(const HalfMeshResult& rebuilt, int& skipped);
    void writeBinary(const HalfMeshInput& mesh, const std::vector<Facet>& facets,
                     std::string& out) const;
    void writeAscii(const HalfMeshResult& rebuilt, const HalfPlane& plane,
                    const std::vector<Facet>& facets, std::string& out) const;
    void vertexTexts(const HalfMeshResult& rebuilt, const HalfPlane& plane,
                     std::vector<std::string>& vertexText,
                     std::vector<MeshPosition>& written) const;
    MeshPosition appendVertexText(const EditVector& position, const EditOrigin& origin,
                                  const EditOrigin& kept, const HalfPlane& plane,
                                  const std::string_view file[3], std::string& text) const;
    void appendFacetText(const Facet& facet, const std::vector<std::string>& vertexText,
                         const std::vector<MeshPosition>& written, const std::string& lineEnd,
                         std::string& out) const;

    bool ascii_ = false;
    std::size_t facets_ = 0;
    std::vector<int> cornerVertex_;            // three per facet, in file order
    std::vector<MeshPosition> filePositions_;  // each vertex's first corner as read
    std::vector<std::size_t> facetOffsets_;    // ASCII: where each "facet" keyword is
    std::vector<std::string> solidNames_;      // ASCII: each solid's name as written
    std::vector<int> facetSolid_;              // ASCII: each facet's solid
};

}  // namespace talvexhost
