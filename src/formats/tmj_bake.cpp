// The TMJ side of an in-place bake: the document as it was (members in their order), with
// the lit tilesets in place of the old ones and every tile layer's data pointing at them.
#include <nlohmann/json.hpp>

#include <map>

#include "formats/bake_map_atlas.h"
#include "formats/flips.h"
#include "formats/tiled_read.h"
#include "platform/files.h"

namespace vorlane::formats::tiled {

namespace {

using Json = nlohmann::ordered_json;

bool isText(const Json& j, const char* key) { return j.is_object() && j.contains(key) && j[key].is_string(); }

bool usesTileObjects(const Json& j) {
  if (j.is_object()) {
    if (j.contains("gid") && j.contains("x")) return true;
    for (const auto& [key, value] : j.items())
      if (key != "tilesets" && key != "data" && key != "chunks" && usesTileObjects(value)) return true;
  } else if (j.is_array()) {
    for (const Json& v : j)
      if (usesTileObjects(v)) return true;
  }
  return false;
}

void movePath(Json& j, const char* key, const LitDocument& lit) {
  if (isText(j, key)) j[key] = movedPath(j[key].get<std::string>(), lit.inputFolder, lit.outputFolder);
}

// Relative paths of the document moved to the output's folder.
void movePaths(Json& j, const LitDocument& lit) {
  if (j.is_array()) {
    for (Json& v : j) movePaths(v, lit);
    return;
  }
  if (!j.is_object()) return;
  for (const char* key : {"image", "source", "template"}) movePath(j, key, lit);
  if (isText(j, "type") && j["type"] == "file") movePath(j, "value", lit);
  for (auto& [key, value] : j.items())
    if (key != "data" && key != "chunks") movePaths(value, lit);
}

// What a game reads of a tile (type, properties, collision shapes) from the map's original
// tilesets, by GID; old files keep tiles as an object by id.
class SourceTiles {
 public:
  SourceTiles(const Json& map, const std::string& folder) {
    if (!map.contains("tilesets") || !map["tilesets"].is_array()) return;
    for (const Json& t : map["tilesets"]) {
      if (!t.is_object() || !t.contains("firstgid") || !t["firstgid"].is_number_unsigned()) continue;
      const auto firstGid = t["firstgid"].get<std::uint32_t>();
      Json node = t;
      if (isText(t, "source")) {
        auto bytes = platform::readWholeFile(resolvePath(folder, t["source"].get<std::string>()), kMaxMapFileBytes);
        if (!bytes) continue;
        node = Json::parse(bytes->begin(), bytes->end(), nullptr, false);  // an XML tileset gives nothing to copy
        if (node.is_discarded()) continue;
      }
      auto& byId = tiles_[firstGid];
      if (!node.is_object() || !node.contains("tiles")) continue;
      const Json& tiles = node["tiles"];
      if (tiles.is_array()) {
        for (const Json& tile : tiles)
          if (tile.is_object() && tile.contains("id") && tile["id"].is_number_unsigned()) byId[tile["id"].get<std::uint32_t>()] = tile;
      } else if (tiles.is_object()) {
        for (const auto& [key, tile] : tiles.items()) byId[static_cast<std::uint32_t>(std::strtoul(key.c_str(), nullptr, 10))] = tile;
      }
    }
  }
  const Json* find(std::uint32_t gid) const {
    auto it = tiles_.upper_bound(gid);
    if (it == tiles_.begin()) return nullptr;
    --it;
    auto tile = it->second.find(gid - it->first);
    return tile == it->second.end() ? nullptr : &tile->second;
  }

 private:
  std::map<std::uint32_t, std::map<std::uint32_t, Json>> tiles_;
};

Json litTileset(const LitAtlas::Page& page, std::uint32_t firstGid, const std::string& name, const LitAtlas& atlas,
                const SourceTiles& sources) {
  Json ts = {{"columns", page.columns}, {"firstgid", firstGid}, {"image", page.file}, {"imageheight", page.height},
             {"imagewidth", page.width}, {"margin", 0}, {"name", name}, {"spacing", 0}, {"tilecount", page.count},
             {"tileheight", atlas.tileHeight()}, {"tilewidth", atlas.tileWidth()}};
  Json tiles = Json::array();
  for (std::int32_t i = 0; i < page.count; ++i) {
    const Json* original = sources.find(atlas.sourceGid(page.first + static_cast<std::size_t>(i)));
    if (!original || !original->is_object()) continue;
    Json tile = {{"id", i}};
    for (const char* key : {"type", "class", "probability", "objectgroup"})
      if (original->contains(key)) tile[key] = (*original)[key];
    if (original->contains("properties") && (*original)["properties"].is_array()) {
      Json props = Json::array();
      // The normal map lit the tile already; its path means nothing beside the lit map.
      for (const Json& p : (*original)["properties"])
        if (!(p.is_object() && p.contains("name") && p["name"] == "normalmap")) props.push_back(p);
      if (!props.empty()) tile["properties"] = props;
    }
    if (tile.size() > 1) tiles.push_back(std::move(tile));
  }
  if (!tiles.empty()) ts["tiles"] = std::move(tiles);
  return ts;
}

std::uint32_t litGid(const LitDocument& lit, std::size_t layer, std::size_t at, std::uint32_t base) {
  const std::int64_t tile = lit.atlas.tileOf(layer, at);
  return tile < 0 ? 0 : (base + static_cast<std::uint32_t>(tile)) | (lit.imported.gids[layer][at] & kGidFlags);
}

// The GIDs of a layer or chunk, in the layer's own encoding.
Json encoded(const Json& layer, const std::vector<std::uint32_t>& gids, std::int64_t columns) {
  if (!isText(layer, "encoding") || layer["encoding"] == "csv") return gids;
  const auto e = encodingOf(layer["encoding"].get<std::string>(), isText(layer, "compression") ? layer["compression"].get<std::string>() : "");
  std::string text;
  encodeGids(gids, static_cast<std::int32_t>(columns), *e, text);
  return text;
}

class Relighter {
 public:
  Relighter(const LitDocument& lit, std::uint32_t base) : lit_(lit), base_(base) {}

  void layers(Json& parent) {
    if (!parent.contains("layers") || !parent["layers"].is_array()) return;
    for (Json& layer : parent["layers"]) {
      if (!isText(layer, "type")) continue;
      if (layer["type"] == "group") layers(layer);
      if (layer["type"] != "tilelayer") continue;
      const std::size_t d = layer_++;
      if (d >= lit_.imported.gids.size() || lit_.imported.gids[d].empty()) continue;
      const std::int64_t mapWidth = lit_.imported.map->width;
      if (layer.contains("chunks") && layer["chunks"].is_array()) {
        for (Json& chunk : layer["chunks"]) {
          const auto w = chunk.value("width", std::int64_t{0}), h = chunk.value("height", std::int64_t{0});
          const std::int64_t x0 = chunk.value("x", std::int64_t{0}) - lit_.imported.originColumn;
          const std::int64_t y0 = chunk.value("y", std::int64_t{0}) - lit_.imported.originRow;
          std::vector<std::uint32_t> gids(static_cast<std::size_t>(w * h));
          for (std::int64_t i = 0; i < w * h; ++i)
            gids[static_cast<std::size_t>(i)] = litGid(lit_, d, static_cast<std::size_t>((y0 + i / w) * mapWidth + x0 + i % w), base_);
          chunk["data"] = encoded(layer, gids, w);
        }
      } else {
        std::vector<std::uint32_t> gids(lit_.imported.gids[d].size());
        for (std::size_t i = 0; i < gids.size(); ++i) gids[i] = litGid(lit_, d, i, base_);
        layer["data"] = encoded(layer, gids, mapWidth);
      }
    }
  }

 private:
  const LitDocument& lit_;
  std::uint32_t base_;
  std::size_t layer_ = 0;
};

}  // namespace

std::string relitTmj(std::string_view text, const LitDocument& lit) {
  Json map = Json::parse(text.begin(), text.end(), nullptr, false);
  if (map.is_discarded() || !map.is_object()) refuse("the map no longer reads as JSON");
  const SourceTiles sources(map, lit.inputFolder);
  const bool keepOld = usesTileObjects(map.contains("layers") ? map["layers"] : Json());
  const auto base = static_cast<std::uint32_t>(keepOld ? lit.imported.gidEnd : 1);
  if (lit.imported.gidEnd > UINT32_MAX / 2 || lit.atlas.size() > (kFlipBits >> 3) - base)
    refuse("the lit tiles do not fit in the GIDs a map can give");
  if (lit.inputFolder != lit.outputFolder) movePaths(map, lit);
  Json tilesets = keepOld && map.contains("tilesets") && map["tilesets"].is_array() ? map["tilesets"] : Json::array();
  for (std::size_t n = 0; n < lit.pages.size(); ++n) {
    const LitAtlas::Page& page = lit.pages[n];
    tilesets.push_back(litTileset(page, base + static_cast<std::uint32_t>(page.first),
                                  lit.stem + " lit" + (n == 0 ? "" : " " + std::to_string(n + 1)), lit.atlas, sources));
  }
  map["tilesets"] = std::move(tilesets);
  Relighter(lit, base).layers(map);
  return map.dump(1) + "\n";
}

}  // namespace vorlane::formats::tiled
