#include "io/mesh_document.h"

namespace talvexhost {

void appendEdges(const MeshElement& element, std::vector<MeshEdge>& edges) {
    const std::vector<int>& v = element.vertices;
    if (element.kind == MeshElement::kPoint || v.size() < 2) return;
    for (std::size_t i = 0; i + 1 < v.size(); ++i) edges.push_back({v[i], v[i + 1]});
    if (element.kind == MeshElement::kFace) edges.push_back({v.back(), v.front()});
}

void MeshDocument::forEachEdge(const std::function<void(const MeshEdge&)>& edge) const {
    std::vector<MeshEdge> edges;
    for (const MeshElement& element : elements()) appendEdges(element, edges);
    for (const MeshEdge& e : edges) edge(e);
}

}  // namespace talvexhost
