#include "app/preview.h"

#include <algorithm>

#include "map/view.h"

namespace vorlane::app {

lighting::CellRegion shownRegion(const map::Map& map, const map::ViewState& view, const platform::Surface& surface,
                                 std::int32_t margin) {
  const map::CellBox shown = map::shownCells(map, view, surface);
  if (shown.column1 <= shown.column0 || shown.row1 <= shown.row0) return {};
  return {std::max(shown.column0 - margin, 0), std::max(shown.row0 - margin, 0),
          std::min(shown.column1 + margin, map.width), std::min(shown.row1 + margin, map.height)};
}

std::int32_t previewDensity(float zoom) {
  std::int32_t n = 1;
  while (n < kMaxPreviewDensity && zoom * static_cast<float>(2 * n) <= 1.0f) n *= 2;
  return n;
}

PreviewBaker::PreviewBaker() : worker_([this](std::stop_token quit) { work(quit); }) {}

PreviewBaker::~PreviewBaker() {
  {
    std::lock_guard lock(mutex_);
    inFlight_.request_stop();
  }
  worker_.request_stop();
  worker_.join();
}

void PreviewBaker::request(lighting::Snapshot scene, const lighting::Settings& settings, const void* owner) {
  std::lock_guard lock(mutex_);
  if (!working_ || std::chrono::steady_clock::now() - lastEnd_ < kStall) {
    inFlight_.request_stop();
    inFlight_ = std::stop_source();
  }
  pending_ = Job{std::move(scene), settings, owner, ++requested_};
  changed_.notify_all();
}

void PreviewBaker::clear() {
  {
    std::lock_guard lock(mutex_);
    inFlight_.request_stop();
    inFlight_ = std::stop_source();
    pending_.reset();
    previous_.reset();
    finished_.reset();
    dropped_ = requested_;
    ended_ = requested_;
    failure_.clear();
    changed_.notify_all();
  }
  shown_.reset();
  shownTiles_.reset();
  shownOwner_ = nullptr;
}

bool PreviewBaker::poll() {
  std::lock_guard lock(mutex_);
  if (!finished_ || finishedSerial_ <= shownSerial_) return false;
  shown_ = finished_;
  shownTiles_ = shown_->map;
  if (!shown_->litCells.empty()) {
    // The snapshot's tiles (sharing its blocks), the lit ones put in where cells were lit.
    const map::Map& source = shown_->source.map();
    shownTiles_ = map::Map::create(source.width, source.height, source.depth, source.tileWidth, source.tileHeight);
    shownTiles_->cells = source.cells;
    const auto& lit = shown_->litCells;
    const std::size_t depth = static_cast<std::size_t>(source.depth);
    for (auto at = std::find(lit.begin(), lit.end(), 1); at != lit.end(); at = std::find(at + 1, lit.end(), 1)) {
      const std::size_t first = static_cast<std::size_t>(at - lit.begin()) * depth;
      for (std::size_t k = first; k < first + depth; ++k) shownTiles_->cells[k] = shown_->map->cells[k];
    }
  }
  shownOwner_ = finishedOwner_;
  shownSerial_ = finishedSerial_;
  return true;
}

bool PreviewBaker::busy() {
  std::lock_guard lock(mutex_);
  return ended_ < requested_ || (finished_ && finishedSerial_ > shownSerial_);
}

std::string PreviewBaker::failure() {
  std::lock_guard lock(mutex_);
  return failure_;
}

void PreviewBaker::wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return ended_ >= requested_; });
}

void PreviewBaker::work(std::stop_token quit) {
  std::unique_lock lock(mutex_);
  while (changed_.wait(lock, quit, [&] { return pending_.has_value(); })) {
    Job job = std::move(*pending_);
    pending_.reset();
    const std::stop_token stop = inFlight_.get_token();
    LitPtr previous = previous_;
    working_ = true;
    lock.unlock();
    auto lit = previous ? lighting::relight(*previous, job.scene, job.settings, {}, stop)
                        : lighting::render(job.scene, job.settings, {}, stop);
    if (lit && lit->picture)
      for (std::size_t k = 0; k < lit->picture->layers.size(); ++k) {
        // A serial no other image has: that of an image made for it and gone.
        while (pictureSerials_.size() <= k) pictureSerials_.push_back(platform::Image().serial);
        // A picture kept from the bake before already carries it (and may be on the canvas).
        if (lit->picture->layers[k]->serial != pictureSerials_[k]) lit->picture->layers[k]->serial = pictureSerials_[k];
      }
    LitPtr done = lit ? std::make_shared<const lighting::Lit>(std::move(lit).value()) : nullptr;
    const std::uint64_t serial = job.serial;
    const void* owner = job.owner;
    job = {};  // the snapshot's references go before the lock is taken again
    lock.lock();
    working_ = false;
    lastEnd_ = std::chrono::steady_clock::now();
    if (serial <= dropped_) continue;
    ended_ = std::max(ended_, serial);
    if (done) {
      previous_ = done;
      finished_ = std::move(done);
      finishedOwner_ = owner;
      finishedSerial_ = serial;
      failure_.clear();
    } else if (lit.error() != lighting::kCancelled) {
      failure_ = lit.error();
    }
    changed_.notify_all();
  }
}

}  // namespace vorlane::app
