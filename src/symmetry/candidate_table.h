// The candidates of a partner search as the plain scans meet them: the
// vertices of the objects of a list, in list order and then vertex order,
// numbered by one ordinal. An object listed again adds nothing (a scan of it
// would meet the same vertices after the first listing), and the plane object
// adds nothing at all. Built by the fast live and Smart Resym searches, which
// then index the candidates in a CellIndex by ordinal.
#pragma once

#include <cstdint>

#include "host/host_records.h"
#include "symmetry/cell_index.h"
#include "symmetry/column_grid.h"

class CandidateTable {
public:
    CandidateTable() noexcept = default;
    ~CandidateTable();
    CandidateTable(const CandidateTable&) = delete;
    CandidateTable& operator=(const CandidateTable&) = delete;

    // False when memory cannot be had or the candidates would not fit in
    // 31-bit ordinals; the table is then unusable.
    bool build(const ObjectList& list, const HostObject* plane) noexcept;

    // The rank of the object listed at `position` among the distinct listed
    // objects, or -1 for the plane object and for a repeated listing.
    int rankAt(int position) const noexcept { return rankAt_[position]; }
    // The list position where the object of `rank` is first listed.
    int positionOf(int rank) const noexcept { return firstPosition_[rank]; }
    // Ordinals of rank r's vertices: [first(r), first(r + 1)).
    std::uint32_t first(int rank) const noexcept { return first_[rank]; }
    std::uint32_t total() const noexcept { return ranks_ > 0 ? first_[ranks_] : 0; }
    int rankCount() const noexcept { return ranks_; }
    int rankOf(std::uint32_t ordinal) const noexcept;
    // The object of `rank` (0 <= rank < the number of ranks).
    const HostObject* objectOf(int rank) const noexcept {
        return list_->items[firstPosition_[rank]];
    }
    HostVertex* vertexOf(std::uint32_t ordinal) const noexcept;

    // A box around a sample of the candidates at finite positions (about
    // kSampledCandidates of them, spread over the ordinals), for laying an
    // index's columns; a point box at the origin when none is finite. Only
    // the index's speed depends on it.
    IndexBox sampleBox() const noexcept;
    // Counts and places every candidate at a finite position into `index`,
    // started by the caller, keyed by its ordinal. Positions that are not
    // finite are left out: such a candidate never passes the reach test.
    // False when the index's entries cannot be allocated. `columns`, when
    // given, is room for total() numbers, overwritten: each candidate's
    // column is kept there from counting to placing.
    bool fillIndex(CellIndex& index, std::uint32_t* columns = nullptr) const noexcept;
    // The same for the candidates inside the index's box, which must have
    // finite bounds, and in a column `mask` holds.
    bool fillIndexInReach(CellIndex& index, const ColumnMask& mask) const noexcept;

    std::size_t bytes() const noexcept;

private:
    static constexpr std::uint32_t kSampledCandidates = 4096;

    const ObjectList* list_ = nullptr;
    int* rankAt_ = nullptr;           // per list position
    int* firstPosition_ = nullptr;    // per rank
    std::uint32_t* first_ = nullptr;  // per rank, plus the total
    int ranks_ = 0;
};
