#pragma once
// The live lighting preview's bakes: each request bakes a snapshot of the document on a
// worker thread, cancelling the bake in flight, and relights from the last finished bake
// where it can. Only when no bake has ended for kStall is the one in flight left to finish
// (the newest request waits for it), so that a light dragged without a pause still shows
// its light following at the pace of the bakes rather than none at all. The editor's thread hands requests in and takes finished bakes out on its
// timer tick; the two meet only in a slot guarded by a mutex.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "lighting/render.h"
#include "map/view.h"
#include "platform/surface.h"

namespace vorlane::app {

// The cells the map view draws on `surface`, and `margin` more on every side (within the map).
lighting::CellRegion shownRegion(const map::Map& map, const map::ViewState& view, const platform::Surface& surface,
                                 std::int32_t margin);

// How many map pixels along each side one lit point stands for at this zoom: the largest
// power of two a canvas pixel covers (1 from zoom one half up).
std::int32_t previewDensity(float zoom);
inline constexpr std::int32_t kMaxPreviewDensity = 1024;

class PreviewBaker {
 public:
  using LitPtr = std::shared_ptr<const lighting::Lit>;
  static constexpr std::chrono::milliseconds kStall{100};

  PreviewBaker();
  ~PreviewBaker();  // cancels the bake in flight and waits for the worker to stop
  PreviewBaker(const PreviewBaker&) = delete;
  PreviewBaker& operator=(const PreviewBaker&) = delete;

  // Bakes `scene`, cancelling the bake in flight. `owner` names what the scene was taken of.
  void request(lighting::Snapshot scene, const lighting::Settings& settings, const void* owner);
  // Forgets every bake: the one in flight is cancelled, nothing is shown or kept to relight from.
  void clear();
  // Takes the newest finished bake if it is newer than the one shown; true when it was.
  bool poll();
  // The newest finished bake taken by poll, and what it was taken of.
  const LitPtr& shown() const { return shown_; }
  const void* shownOwner() const { return shownOwner_; }
  // What the canvas draws of the shown bake: its lit cells, and the tiles its snapshot held
  // where it lit none (outside its region), so cells not lit yet look as without the preview.
  map::Map* shownTiles() const { return shownTiles_.get(); }
  // A reduced bake's lit points, drawn over its cells; null for a bake at full density. Layer k
  // of every bake's picture carries the same image serial, so the canvas replaces its upload
  // of it rather than adding one a bake.
  const map::CellPicture* shownPicture() const { return shown_ ? shown_->picture.get() : nullptr; }
  // A bake newer than the one shown was requested and is not yet shown.
  bool busy();
  // Why the newest bake failed (empty when it did not).
  std::string failure();
  // Blocks until the newest request has ended (for tests and benchmarks).
  void wait();

 private:
  struct Job {
    lighting::Snapshot scene;
    lighting::Settings settings;
    const void* owner = nullptr;
    std::uint64_t serial = 0;
  };
  void work(std::stop_token quit);
  // The worker's own: the serials the pictures' layers carry.
  std::vector<std::uint64_t> pictureSerials_;

  std::mutex mutex_;
  std::condition_variable_any changed_;
  // Guarded by mutex_.
  std::optional<Job> pending_;
  std::stop_source inFlight_;          // stops the bake of the newest request
  LitPtr previous_;                    // the bake to relight from
  LitPtr finished_;                    // the newest finished bake, for poll
  const void* finishedOwner_ = nullptr;
  std::uint64_t requested_ = 0, ended_ = 0, finishedSerial_ = 0, dropped_ = 0;
  std::string failure_;
  bool working_ = false;
  std::chrono::steady_clock::time_point lastEnd_ = std::chrono::steady_clock::now();
  // The editor's thread's own.
  LitPtr shown_;
  map::MapPtr shownTiles_;
  const void* shownOwner_ = nullptr;
  std::uint64_t shownSerial_ = 0;

  std::jthread worker_;  // last, so it stops before the members it uses go
};

}  // namespace vorlane::app
