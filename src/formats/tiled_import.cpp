#include "formats/tiled_import.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>

#include "base/convert.h"
#include "base/text.h"
#include "formats/flips.h"
#include "platform/decode.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "tiles/companion.h"

namespace vorlane::formats::tiled {

namespace {

constexpr std::int64_t kMaxTileSide = platform::kMaxImageSide;
constexpr std::int32_t kTilesetCells = io::kTilesetColumns * io::kTilesetRows;

std::string quoted(const std::string& name) { return "'" + name + "'"; }

bool isFlag(const Property& p) { return p.name == "castShadows" || p.name == "collider"; }

bool truthy(const Property& p) { return p.value == "true" || p.value == "1"; }

base::Result<platform::Image> readImage(const std::string& path, const std::string& owner) {
  auto bytes = platform::readWholeFile(path, platform::kMaxImageFileBytes);
  if (!bytes) return base::Error{owner + ": cannot open the image " + path};
  auto decoded = platform::decodeByContent(*bytes);
  if (!decoded) return base::Error{owner + ": cannot read the image " + path + " (" + decoded.error() + ")"};
  return std::move(decoded->image);
}

// The last three bytes of "#AARRGGBB", "#RRGGBB" or either without "#"; false for any
// other text (the file's words, never a thrown conversion).
bool hexColour(std::string_view text, std::uint8_t rgb[3]) {
  if (!text.empty() && text[0] == '#') text.remove_prefix(1);
  if (text.size() != 6 && text.size() != 8) return false;
  text.remove_prefix(text.size() - 6);
  for (int k = 0; k < 3; ++k) {
    const char* first = text.data() + k * 2;
    auto [end, ec] = std::from_chars(first, first + 2, rgb[k], 16);
    if (ec != std::errc{} || end != first + 2) return false;
  }
  return true;
}

// Pixels of exactly the tileset's transparent colour ("ff00ff" or "#ff00ff") become transparent.
void applyTransparentColour(platform::Image& image, const std::string& colour) {
  std::uint8_t rgb[3];
  if (colour.empty() || !hexColour(colour, rgb)) return;
  for (std::size_t i = 0; i < image.pixels.size(); i += 4)
    if (std::memcmp(&image.pixels[i], rgb, 3) == 0) image.pixels[i + 3] = 0;
}

// The normal map of an image: the named file when there is one (it must exist), else the
// "NM" companion when it exists and decodes, else none (flat normals).
base::Result<std::optional<platform::Image>> readNormalMap(const std::string& image, const std::string& named,
                                                           const std::string& owner) {
  using Normal = std::optional<platform::Image>;
  if (!named.empty()) {
    auto decoded = platform::decodeImageFile(named);
    if (!decoded) return base::Error{owner + ": cannot read the normal map " + named + " (" + decoded.error() + ")"};
    return Normal{std::move(decoded).value()};
  }
  const std::string companion = tiles::companionPath(image);
  if (!platform::isRegularFile(companion)) return Normal{};
  auto decoded = platform::decodeImageFile(companion);
  if (!decoded) return Normal{};
  return Normal{std::move(decoded).value()};
}

// The rectangle at (ox, oy) of the image and of its normal map (flat where it has none).
void cutTile(tiles::Tile& tile, const platform::Image& image, const platform::Image* normal, std::int32_t ox,
             std::int32_t oy, std::int32_t w, std::int32_t h) {
  auto piece = std::make_shared<platform::Image>(w, h);
  platform::Image normalPiece(w, h);
  for (std::size_t i = 0; i < normalPiece.pixels.size(); i += 4)
    std::memcpy(&normalPiece.pixels[i], tiles::kFlatNormal, 4);
  for (std::int32_t y = 0; y < h; ++y) {
    std::memcpy(piece->at(0, y), image.at(ox, oy + y), static_cast<std::size_t>(w) * 4);
    if (!normal || oy + y >= normal->height || ox >= normal->width) continue;
    const std::int32_t n = std::min(w, normal->width - ox);
    std::memcpy(normalPiece.at(0, y), normal->at(ox, oy + y), static_cast<std::size_t>(n) * 4);
  }
  (void)tile.setImages(std::move(piece), &normalPiece);  // both exist: cannot fail
}

const Property* findProperty(const std::vector<Property>& properties, std::string_view name) {
  for (const Property& p : properties)
    if (p.name == name) return &p;
  return nullptr;
}

// "#AARRGGBB" or "#RRGGBB" (alpha is not a light's).
bool parseColour(const std::string& text, float rgb[3]) {
  std::uint8_t bytes[3];
  if (!hexColour(text, bytes)) return false;
  for (int k = 0; k < 3; ++k) rgb[k] = bytes[k];
  return true;
}

// "h", "v", "d" or a mix, for the path of a flipped copy.
std::string flipName(std::uint32_t gid) {
  std::string name;
  if (gid & kFlipHorizontal) name += 'h';
  if (gid & kFlipVertical) name += 'v';
  if (gid & kFlipDiagonal) name += 'd';
  return name;
}

bool parseFloat(const std::string& text, float& out) {
  try {
    std::size_t used = 0;
    out = std::stof(text, &used);
    return used == text.size();
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::string resolvePath(const std::string& folder, const std::string& path) {
  namespace fs = std::filesystem;
  fs::path p(path);
  if (p.is_relative() && !folder.empty()) p = fs::path(folder) / p;
  return p.lexically_normal().generic_string();
}

void Builder::note(const std::string& what) {
  if (std::find(notes_.begin(), notes_.end(), what) == notes_.end()) notes_.push_back(what);
}

void Builder::setOrigin(std::int64_t column, std::int64_t row) {
  originColumn_ = column;
  originRow_ = row;
  if (column != 0 || row != 0)
    note("the infinite map's chunks start at column " + std::to_string(column) + ", row " + std::to_string(row) +
         "; that cell is cell 0, 0 here and objects moved with it");
}

void Builder::leaveOut(const std::string& what) {
  for (auto& [item, count] : leftOut_)
    if (item == what) {
      ++count;
      return;
    }
  leftOut_.emplace_back(what, 1);
}

base::Status Builder::begin(const std::string& orientation, bool infinite, std::int64_t width, std::int64_t height,
                            std::int64_t tileWidth, std::int64_t tileHeight, std::int64_t depth) {
  if (orientation != "orthogonal") leaveOut("the " + orientation + " orientation (imported as orthogonal)");
  if (infinite) note("an infinite map, imported as a finite map over its chunks");
  if (width < 1 || height < 1 || tileWidth < 1 || tileHeight < 1)
    return base::Error{"the map's width, height, tile width and tile height must be at least 1"};
  if (tileWidth > kMaxTileSide || tileHeight > kMaxTileSide)
    return base::Error{"the map's tiles are larger than " + std::to_string(kMaxTileSide) + " pixels"};
  const std::uint64_t cells = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (width > INT32_MAX || height > INT32_MAX || cells > kMaxCells ||
      cells * static_cast<std::uint64_t>(depth) > kMaxCells)
    return base::Error{"the map has " + std::to_string(width) + " x " + std::to_string(height) + " x " +
                       std::to_string(depth) + " cells, more than the " + std::to_string(kMaxCells) +
                       " an import may hold"};
  // Cells are made once every layer has been read: a file that breaks off costs no grid.
  map_ = map::Map::create(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), 0,
                          static_cast<std::int32_t>(tileWidth), static_cast<std::int32_t>(tileHeight));
  return base::success();
}

std::string Builder::uniquePath(const std::string& path) {
  std::string candidate = path;
  for (int n = 2; !paths_.insert(base::asciiLower(candidate)).second; ++n) candidate = path + " (" + std::to_string(n) + ")";
  return candidate;
}

base::Status Builder::addTileset(const TilesetSource& source) {
  const std::string owner = "tileset " + quoted(source.name);
  if (source.firstGid < 1) return base::Error{owner + ": firstgid must be at least 1"};
  if (std::uint8_t rgb[3]; !source.transparent.empty() && (source.transparent.size() > 7 || !hexColour(source.transparent, rgb)))
    return base::Error{owner + ": the transparent colour " + quoted(source.transparent) + " is not #RRGGBB"};
  if (source.offsetX != 0 || source.offsetY != 0) leaveOut("the tile offset of " + owner);
  if (source.wangSets) leaveOut("the terrain and Wang sets of " + owner);
  for (const Property& p : source.properties)
    if (p.name != "normalmap") leaveOut("the property " + quoted(p.name) + " of " + owner);

  MadeTiles made;
  if (!source.image.empty())
    if (auto cut = cutTileset(source, owner, made); !cut) return cut;
  if (auto entries = addTileEntries(source, owner, made); !entries) return entries;
  tilesMade_ += made.size();
  addTab(source.name, owner, made);
  ranges_.push_back({source.firstGid, {made.begin(), made.end()}});
  std::stable_sort(ranges_.begin(), ranges_.end(), [](const Range& a, const Range& b) { return a.first < b.first; });
  return base::success();
}

void Builder::noteStretched(std::int32_t width, std::int32_t height, const std::string& owner) {
  if (width != map_->tileWidth || height != map_->tileHeight)
    leaveOut("the size of the " + std::to_string(width) + " x " + std::to_string(height) + " tiles of " + owner +
             " (drawn stretched to their cells)");
}

base::Status Builder::cutTileset(const TilesetSource& source, const std::string& owner,
                                 MadeTiles& made) {
  if (source.tileWidth < 1 || source.tileHeight < 1 || source.tileWidth > kMaxTileSide ||
      source.tileHeight > kMaxTileSide)
    return base::Error{owner + ": the tile width and height must be from 1 to " + std::to_string(kMaxTileSide)};
  if (source.spacing < 0 || source.margin < 0) return base::Error{owner + ": spacing and margin must not be negative"};
  auto image = probe(source.image, owner);
  if (!image) return base::Error{image.error()};
  const std::int64_t stepX = std::int64_t{source.tileWidth} + source.spacing;
  const std::int64_t stepY = std::int64_t{source.tileHeight} + source.spacing;
  const std::int64_t columns = std::max<std::int64_t>(0, (image->width - 2 * std::int64_t{source.margin} + source.spacing) / stepX);
  const std::int64_t rows = std::max<std::int64_t>(0, (image->height - 2 * std::int64_t{source.margin} + source.spacing) / stepY);
  // A tileset file saved before its image grew (or shrank): tiles come from the image as it
  // is, as the editors draw them. An image as large as the file says may hold fewer tiles
  // than it has room for.
  std::int64_t count = columns * rows;
  const bool sameImage = source.imageWidth == image->width && source.imageHeight == image->height;
  if (sameImage && source.tileCount >= 0 && source.tileCount <= count) count = source.tileCount;
  if (source.tileCount >= 0 && source.tileCount != count)
    note(owner + ": the image holds " + std::to_string(count) + " tiles where the tileset says " +
         std::to_string(source.tileCount) + "; the tiles are cut from the image as it is");
  if (tilesMade_ + static_cast<std::uint64_t>(count) > kMaxTiles)
    return base::Error{"the tilesets hold more than the " + std::to_string(kMaxTiles) + " tiles an import may hold"};
  if (auto fits = reserve(static_cast<std::uint64_t>(count), source.tileWidth, source.tileHeight, *image); !fits)
    return fits;
  noteStretched(source.tileWidth, source.tileHeight, owner);
  made.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    made.push_back(std::make_shared<tiles::Tile>());
    made.back()->path = uniquePath(source.image + " " + std::to_string(i));
  }
  const Property* normalProperty = findProperty(source.properties, "normalmap");
  cuts_.push_back({source.image, normalProperty ? normalProperty->value : "", owner, source.transparent, *image,
                   source.tileWidth, source.tileHeight, source.margin, source.spacing,
                   static_cast<std::int32_t>(std::max<std::int64_t>(columns, 1)), made});
  return base::success();
}

// The <tile> entries: the images of a collection, and flags, animations and shapes of any tile.
base::Status Builder::addTileEntries(const TilesetSource& source, const std::string& owner,
                                     MadeTiles& made) {
  for (const TileEntry& entry : source.tiles) {
    const std::string tileOwner = owner + " tile " + std::to_string(entry.id);
    if (source.image.empty() && !entry.image.empty()) {
      if (entry.id >= kMaxTiles || tilesMade_ + made.size() >= kMaxTiles)
        return base::Error{tileOwner + ": more tiles than the " + std::to_string(kMaxTiles) + " an import may hold"};
      auto image = probe(entry.image, tileOwner);
      if (!image) return base::Error{image.error()};
      if (auto fits = reserve(1, image->width, image->height, *image); !fits) return fits;
      const Property* named = findProperty(entry.properties, "normalmap");
      noteStretched(image->width, image->height, owner);
      auto tile = std::make_shared<tiles::Tile>();
      tile->path = uniquePath(entry.image);
      cuts_.push_back({entry.image, named ? named->value : "", tileOwner, source.transparent, *image, image->width,
                       image->height, 0, 0, 1, {tile}});
      if (made.size() <= entry.id) made.resize(entry.id + 1);
      made[entry.id] = std::move(tile);
    }
    if (entry.id >= made.size() || !made[entry.id]) continue;  // an entry for no tile says nothing drawn
    tiles::Tile& tile = *made[entry.id];
    if (entry.animated) leaveOut("tile animations (tiles show their own image)");
    if (entry.shapes) leaveOut("the collision shapes of tiles");
    if (entry.classed) leaveOut("the classes of tiles");
    for (const Property& p : entry.properties) {
      if (p.name == "castShadows") tile.castShadows = truthy(p) ? 1 : 0;
      if (p.name == "collider") tile.collider = truthy(p) ? 1 : 0;
      if (!isFlag(p) && !(p.name == "normalmap" && source.image.empty()))
        leaveOut("tile properties other than castShadows and collider");
    }
  }
  return base::success();
}

void Builder::addTab(const std::string& name, const std::string& owner, const MadeTiles& made) {
  if (tilesets_.size() >= static_cast<std::size_t>(io::kMaxTilesets)) {
    leaveOut("tilesets past the 255 Vorlane holds (their tiles stay on the map)");
    return;
  }
  auto tab = map::Map::createTileset();
  std::int32_t placed = 0;
  for (const auto& tile : made)
    if (tile && placed < kTilesetCells && tab->addToFirstFreeCell(tile)) ++placed;
  if (std::count_if(made.begin(), made.end(), [](const auto& t) { return t != nullptr; }) > placed)
    leaveOut("the tiles of " + owner + " past the 1024 a tileset holds (they stay on the map)");
  tilesets_.push_back({name, std::move(tab)});
}

base::Result<platform::ImageSize> Builder::probe(const std::string& path, const std::string& owner) {
  auto bytes = platform::readWholeFile(path, platform::kMaxImageFileBytes);
  if (!bytes) return base::Error{owner + ": cannot open the image " + path};
  auto size = platform::imageSize(*bytes);
  if (!size) return base::Error{owner + ": cannot read the image " + path + " (" + size.error() + ")"};
  return size;
}

base::Status Builder::reserve(std::uint64_t tiles, std::int64_t width, std::int64_t height, platform::ImageSize source) {
  // A tile keeps its image, colour grid and normal grid (4 bytes a pixel each); the image it
  // is cut from and its normal map are held while it is cut.
  constexpr std::uint64_t kTileBytes = 512, kTileBytesPerPixel = 12, kSourceBytesPerPixel = 8;
  tileBytes_ += tiles * (kTileBytes + kTileBytesPerPixel * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height));
  sourceBytes_ = std::max(sourceBytes_, kSourceBytesPerPixel * static_cast<std::uint64_t>(source.width) *
                                            static_cast<std::uint64_t>(source.height));
  const std::uint64_t need = tileBytes_ + sourceBytes_, available = platform::availableMemory();
  if (need <= available) return base::success();
  auto mib = [](std::uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20); };
  return base::Error{"not enough memory to import this map: its tiles need about " + mib(need) + " MiB, and " +
                     mib(available) + " MiB are available"};
}

base::Status Builder::cut(const Cuts& cuts) {
  auto image = readImage(cuts.image, cuts.owner);
  if (!image) return base::Error{image.error()};
  if (image->width != cuts.size.width || image->height != cuts.size.height)
    return base::Error{cuts.owner + ": the image " + cuts.image + " changed while the map was read"};
  applyTransparentColour(*image, cuts.transparent);
  auto normal = readNormalMap(cuts.image, cuts.normal, cuts.owner);
  if (!normal) return base::Error{normal.error()};
  const platform::Image* normalImage = *normal ? &**normal : nullptr;
  const std::int64_t stepX = std::int64_t{cuts.width} + cuts.spacing, stepY = std::int64_t{cuts.height} + cuts.spacing;
  for (std::size_t i = 0; i < cuts.tiles.size(); ++i) {
    const auto ox = static_cast<std::int32_t>(cuts.margin + static_cast<std::int64_t>(i % static_cast<std::size_t>(cuts.columns)) * stepX);
    const auto oy = static_cast<std::int32_t>(cuts.margin + static_cast<std::int64_t>(i / static_cast<std::size_t>(cuts.columns)) * stepY);
    cutTile(*cuts.tiles[i], *image, normalImage, ox, oy, cuts.width, cuts.height);
  }
  return base::success();
}

const tiles::TilePtr* Builder::lookup(std::uint32_t gid) const {
  // The tileset with the largest firstgid not above the GID holds it.
  auto it = std::upper_bound(ranges_.begin(), ranges_.end(), gid, [](std::uint32_t g, const Range& r) { return g < r.first; });
  if (it == ranges_.begin()) return nullptr;
  --it;
  const std::uint64_t index = gid - it->first;
  if (index >= it->tiles.size() || !it->tiles[index]) return nullptr;
  return &it->tiles[index];
}

base::Status Builder::addLayer(const std::string& name, std::vector<std::uint32_t> gids) {
  if (!gids.empty() && gids.size() != layerSize()) return base::Error{"layer '" + name + "': wrong size"};
  std::uint64_t turned = 0;
  // Runs of one GID are common: the last lookup is kept.
  std::uint32_t lastGid = 0;
  const tiles::TilePtr* last = nullptr;
  for (std::size_t i = 0; i < gids.size(); ++i) {
    if (gids[i] & kHexagonalTurn) {
      ++turned;
      gids[i] &= ~kHexagonalTurn;
    }
    const std::uint32_t gid = gids[i] & ~kGidFlags;
    if (gid == 0 || gid == lastGid) continue;
    last = lookup(gid);
    if (!last)
      return base::Error{"layer " + quoted(name) + ": the GID " + std::to_string(gid) + " at column " +
                         std::to_string(i % static_cast<std::size_t>(map_->width)) + ", row " +
                         std::to_string(i / static_cast<std::size_t>(map_->width)) + " is past the last tile"};
    lastGid = gid;
  }
  if (turned > 0) leaveOut("the hexagonal turns of tiles (imported unturned)");
  layers_.push_back(std::move(gids));
  ++layersRead_;
  return base::success();
}

base::Status Builder::addObject(const ObjectSource& object, std::int32_t layer) {
  std::string type = object.type;
  std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return std::tolower(c); });
  if (type == "light") {
    float rgb[3] = {255, 255, 255};
    float range = 700;
    std::int32_t lightLayer = 0, castShadows = 0;
    const std::string owner = "light " + quoted(object.name);
    for (const Property& p : object.properties) {
      float value = 0;
      if (p.name == "color") {
        if (!parseColour(p.value, rgb)) return base::Error{owner + ": the color " + quoted(p.value) + " is not #AARRGGBB or #RRGGBB"};
      } else if (p.name == "range" || p.name == "layer" || p.name == "red" || p.name == "green" || p.name == "blue") {
        if (!parseFloat(p.value, value)) return base::Error{owner + ": " + p.name + " " + quoted(p.value) + " is not a number"};
        if (p.name == "range") range = value;
        if (p.name == "layer") lightLayer = base::floatToInt(value);
        if (p.name == "red") rgb[0] = value;
        if (p.name == "green") rgb[1] = value;
        if (p.name == "blue") rgb[2] = value;
      } else if (p.name == "castShadows") {
        castShadows = truthy(p) ? 1 : 0;
      } else {
        leaveOut("light properties other than color, range, layer and castShadows");
      }
    }
    auto light = map::Light::createLight(object.x - shiftX(), object.y - shiftY(), static_cast<float>(lightLayer), rgb[0], rgb[1], rgb[2]);
    light->layer = lightLayer;
    light->range = range;
    light->castShadows = castShadows;
    map_->addLight(std::move(light));
    return base::success();
  }
  if (!object.point) {
    leaveOut("objects that are not points or lights");
    return base::success();
  }
  if (!object.type.empty()) leaveOut("the types of objects");
  auto pivot = map::Pivot::createPivot(0, 0, layer);
  pivot->x = object.x - shiftX();
  pivot->y = object.y - shiftY();
  pivot->link = object.name;
  for (const Property& p : object.properties) {
    if (p.type != "string" && !p.nested) leaveOut("the types of object properties (kept as text)");
    if (p.nested)
      leaveOut("properties of class type");
    else if (!pivot->addRecord(p.name, p.value))
      leaveOut("properties past the 255 records a pivot holds");
  }
  map_->addPivot(std::move(pivot));
  return base::success();
}

base::Result<Imported> Builder::finish() {
  if (!leftOut_.empty() && !options_.lossy) {
    std::string message = kCannotHold;
    for (const auto& [item, count] : leftOut_) message += "\n  " + item;
    return base::Error{message};
  }
  // Pixels only now, once nothing is refused for what the files say.
  try {
    for (const Cuts& cuts : cuts_)
      if (auto done = cut(cuts); !done) return base::Error{done.error()};
  } catch (const std::bad_alloc&) {
    return base::Error{"not enough memory for the tiles of this map"};
  }
  std::vector<Cuts>().swap(cuts_);
  // Cells in the map's own order (column, row, layer), each GID looked up once per run.
  map::Map& m = *map_;
  try {
    m.resize(m.width, m.height, static_cast<std::int32_t>(layers_.size()));
  } catch (const std::exception&) {
    return base::Error{"not enough memory for a map of this size"};
  }
  std::uint32_t lastGid = 0;
  const tiles::TilePtr* last = nullptr;
  std::size_t c = 0;
  for (std::int32_t x = 0; x < m.width; ++x)
    for (std::int32_t y = 0; y < m.height; ++y)
      for (std::int32_t d = 0; d < m.depth; ++d, ++c) {
        const auto& layer = layers_[static_cast<std::size_t>(d)];
        if (layer.empty()) continue;
        const std::uint32_t gid = layer[static_cast<std::size_t>(y) * static_cast<std::size_t>(m.width) + static_cast<std::size_t>(x)];
        // Flip bits on no tile still mean an empty cell.
        if ((gid & ~kGidFlags) == 0) continue;
        if (gid != lastGid) {
          last = lookup(gid & ~kGidFlags);
          lastGid = gid;
          if (gid & kFlipBits) {
            tiles::TilePtr& copy = flipped_[gid];
            if (!copy) {
              auto made = flippedTile(**last, gid & kFlipBits);
              made->path = uniquePath((*last)->path + " flipped " + flipName(gid));
              copy = std::move(made);
            }
            last = &copy;
          }
        }
        if (last) m.cells[c] = *last;
      }
  Imported imported{std::move(map_), std::move(tilesets_), {}, std::move(notes_), {}, originColumn_, originRow_, 1};
  if (options_.keepGids) imported.gids = std::move(layers_);
  std::vector<std::vector<std::uint32_t>>().swap(layers_);
  for (const Range& r : ranges_) imported.gidEnd = std::max<std::uint64_t>(imported.gidEnd, r.first + std::uint64_t{r.tiles.size()});
  for (const auto& [item, count] : leftOut_) imported.leftOut.push_back(item);
  return imported;
}

}  // namespace vorlane::formats::tiled
