#include "geometry/vertex.h"

Vertex::Vertex(float initialX, float initialY, float initialZ) noexcept
    : Vector3(initialX, initialY, initialZ),
      hostBlock{},
      ownedItems(nullptr),
      ownedCount(0),
      ownedCapacity(0) {
    flags &= ~kVertexDoNotMove;
}

Vertex::~Vertex() {
    delete[] ownedItems;
    ownedCount = 0;
    ownedCapacity = 0;
}
