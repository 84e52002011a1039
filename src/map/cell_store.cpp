#include "map/cell_store.h"

#include <algorithm>

namespace vorlane::map {

CellStore::CellStore(std::size_t size)
    : size_(size), blocks_((size + kBlockCells - 1) / kBlockCells) {}

CellStore::CellStore(const std::vector<TilePtr>& cells) : CellStore(cells.size()) {
  for (std::size_t k = 0; k < cells.size(); ++k)
    if (cells[k]) (*this)[k] = cells[k];
}

CellStore::operator std::vector<TilePtr>() const { return std::vector<TilePtr>(begin(), end()); }

const TilePtr& CellStore::none() {
  static const TilePtr empty;
  return empty;
}

CellStore::Block& CellStore::own(std::size_t b) {
  std::shared_ptr<Block>& block = blocks_[b];
  if (!block) {
    block = std::make_shared<Block>(blockSize(b));
  } else if (block.use_count() > 1) {
    block = std::make_shared<Block>(*block);
  } else {
    // The last other holder may have just let go on another thread: see its reads first.
    std::atomic_thread_fence(std::memory_order_acquire);
  }
  return *block;
}

void CellStore::own(std::size_t first, std::size_t last) {
  if (first >= last) return;
  for (std::size_t b = first / kBlockCells; b <= (last - 1) / kBlockCells; ++b) own(b);
}

void CellStore::releaseEmpty(std::size_t first, std::size_t last) {
  last = std::min(last, size_);
  if (first >= last) return;
  for (std::size_t b = first / kBlockCells; b <= (last - 1) / kBlockCells; ++b) {
    const Block* block = blocks_[b].get();
    if (block && std::all_of(block->begin(), block->end(), [](const TilePtr& t) { return !t; })) blocks_[b].reset();
  }
}

bool CellStore::operator==(const CellStore& other) const {
  if (size_ != other.size_) return false;
  for (std::size_t b = 0; b < blocks_.size(); ++b) {
    const Block *x = blocks_[b].get(), *y = other.blocks_[b].get();
    if (x == y) continue;
    const std::size_t n = blockSize(b);
    for (std::size_t k = 0; k < n; ++k)
      if ((x ? (*x)[k] : none()) != (y ? (*y)[k] : none())) return false;
  }
  return true;
}

std::size_t CellStore::sharedBlocks(const CellStore& other) const {
  std::size_t n = 0;
  for (std::size_t b = 0; b < std::min(blocks_.size(), other.blocks_.size()); ++b)
    n += blocks_[b] && blocks_[b] == other.blocks_[b];
  return n;
}

}  // namespace vorlane::map
