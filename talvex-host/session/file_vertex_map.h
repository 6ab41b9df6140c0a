// Which vertex of its file each host vertex of a scene mesh is: the number
// the reports print and the document is written back through. HostSession
// keeps one per mesh (SceneMesh::fileVertices).
#pragma once

#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

namespace talvexhost {

// Host vertex i's 0-based index in the document. A mesh whose vertices are a
// run of the file's in file order, as a file of one object is, keeps only
// where the run starts: a table would hold 4 bytes a vertex all run long
// for numbers that count up by one.
class FileVertexMap {
public:
    FileVertexMap() noexcept = default;
    // Takes `vertices` over, keeping only their first when each is one more
    // than the one before.
    explicit FileVertexMap(std::vector<int> vertices) noexcept : size_(vertices.size()) {
        if (vertices.empty()) return;
        first_ = vertices[0];
        for (std::size_t i = 1; i < vertices.size(); ++i) {
            if (vertices[i] != first_ + static_cast<int>(i)) {
                table_ = std::move(vertices);
                return;
            }
        }
    }

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    int operator[](std::size_t i) const noexcept {
        return table_.empty() ? first_ + static_cast<int>(i) : table_[i];
    }

    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = int;
        using difference_type = std::ptrdiff_t;
        using pointer = const int*;
        using reference = int;

        Iterator(const FileVertexMap* map, std::size_t at) noexcept : map_(map), at_(at) {}
        int operator*() const noexcept { return (*map_)[at_]; }
        Iterator& operator++() noexcept {
            ++at_;
            return *this;
        }
        bool operator==(const Iterator& other) const noexcept { return at_ == other.at_; }
        bool operator!=(const Iterator& other) const noexcept { return at_ != other.at_; }

    private:
        const FileVertexMap* map_;
        std::size_t at_;
    };
    Iterator begin() const noexcept { return Iterator(this, 0); }
    Iterator end() const noexcept { return Iterator(this, size_); }

private:
    std::vector<int> table_;  // empty when the vertices count up from first_
    int first_ = 0;
    std::size_t size_ = 0;
};

}  // namespace talvexhost
