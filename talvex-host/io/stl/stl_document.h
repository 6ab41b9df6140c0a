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

    bool ascii_ = false;
    std::size_t facets_ = 0;
    std::vector<int> cornerVertex_;            // three per facet, in file order
    std::vector<MeshPosition> filePositions_;  // each vertex's first corner as read
    std::vector<std::size_t> facetOffsets_;    // ASCII: where each "facet" keyword is
};

}  // namespace talvexhost
