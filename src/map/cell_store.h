#pragma once
// A map's cell table: tile references in blocks shared copy-on-write, so a copy of the table
// (a snapshot for the renderer, an undo state) costs one pointer a block, and a write after
// it copies only the block it lands in. Reads through a const table never copy.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "tiles/tile.h"

namespace vorlane::map {

using tiles::TilePtr;

class CellStore {
 public:
  // Cells a block: a one-cell write after a copy copies this many references (64 KiB).
  static constexpr std::size_t kBlockCells = 4096;

  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = TilePtr;
    using difference_type = std::ptrdiff_t;
    using pointer = const TilePtr*;
    using reference = const TilePtr&;
    const_iterator() = default;
    const_iterator(const CellStore* s, std::size_t k) : store_(s), k_(k) {}
    reference operator*() const { return (*store_)[k_]; }
    pointer operator->() const { return &(*store_)[k_]; }
    reference operator[](difference_type n) const { return (*store_)[k_ + static_cast<std::size_t>(n)]; }
    const_iterator& operator++() { return ++k_, *this; }
    const_iterator operator++(int) { auto t = *this; ++k_; return t; }
    const_iterator& operator--() { return --k_, *this; }
    const_iterator operator--(int) { auto t = *this; --k_; return t; }
    const_iterator& operator+=(difference_type n) { k_ += static_cast<std::size_t>(n); return *this; }
    const_iterator& operator-=(difference_type n) { k_ -= static_cast<std::size_t>(n); return *this; }
    friend const_iterator operator+(const_iterator i, difference_type n) { return i += n; }
    friend const_iterator operator+(difference_type n, const_iterator i) { return i += n; }
    friend const_iterator operator-(const_iterator i, difference_type n) { return i -= n; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
      return static_cast<difference_type>(a.k_) - static_cast<difference_type>(b.k_);
    }
    bool operator==(const const_iterator& o) const { return k_ == o.k_; }
    auto operator<=>(const const_iterator& o) const { return k_ <=> o.k_; }

   private:
    const CellStore* store_ = nullptr;
    std::size_t k_ = 0;
  };
  using iterator = const_iterator;
  using value_type = TilePtr;
  using size_type = std::size_t;

  CellStore() = default;
  explicit CellStore(std::size_t size);  // every cell empty
  // From and to a plain table, for code that moves a table aside and back.
  CellStore(const std::vector<TilePtr>& cells);  // NOLINT: implicit on purpose
  operator std::vector<TilePtr>() const;         // NOLINT

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // As a plain table would hold: shared blocks are counted in full by each holder.
  std::size_t capacity() const { return size_; }

  const TilePtr& operator[](std::size_t k) const {
    const Block* b = blocks_[k / kBlockCells].get();
    return b ? (*b)[k % kBlockCells] : none();
  }
  // Makes the cell's block this table's own first.
  TilePtr& operator[](std::size_t k) { return own(k / kBlockCells)[k % kBlockCells]; }
  // Makes the blocks of cells [first, last) this table's own, so that threads may then write
  // distinct cells of that range at once.
  void own(std::size_t first, std::size_t last);
  // Lets go of the blocks of cells [first, last) that hold no tile, which cost nothing once
  // let go: after a write is taken back, its copies of empty blocks need not stay.
  void releaseEmpty(std::size_t first, std::size_t last);
  const TilePtr& back() const { return (*this)[size_ - 1]; }

  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size_}; }

  // Equal cells; blocks still shared compare without a look inside.
  bool operator==(const CellStore& other) const;

  // Blocks this table shares with `other` (for tests and estimates).
  std::size_t sharedBlocks(const CellStore& other) const;
  std::size_t blockCount() const { return blocks_.size(); }
  // Changes whenever the table is replaced or copied into, so a frame can tell tables apart.
  const void* identity() const { return blocks_.data(); }

 private:
  using Block = std::vector<TilePtr>;
  static const TilePtr& none();
  std::size_t blockSize(std::size_t b) const {
    return b + 1 < blocks_.size() ? kBlockCells : size_ - b * kBlockCells;
  }
  Block& own(std::size_t b);

  std::size_t size_ = 0;
  // Null for a block whose cells are all empty.
  std::vector<std::shared_ptr<Block>> blocks_;
};

}  // namespace vorlane::map
