// TMJ: the JSON form of tile maps (.tmj, .json) and tilesets (.tsj), read with nlohmann-json.
#include <nlohmann/json.hpp>

#include <algorithm>

#include "formats/tiled_import.h"
#include "formats/tiled_read.h"

namespace vorlane::formats {

namespace tiled {

namespace {

using nlohmann::json;

const json* field(const json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() || it->is_null() ? nullptr : &*it;
}

std::int64_t intField(const json& object, const char* key, std::int64_t fallback) {
  const json* f = field(object, key);
  if (!f) return fallback;
  if (f->is_number_integer()) return f->get<std::int64_t>();
  if (f->is_number_float()) {
    const double d = f->get<double>();
    // The range first: converting a double outside int64 is undefined.
    if (d > -9e18 && d < 9e18 && d == static_cast<double>(static_cast<std::int64_t>(d))) return static_cast<std::int64_t>(d);
  }
  if (f->is_boolean()) return f->get<bool>() ? 1 : 0;
  refuse(std::string("the field ") + key + " is not a whole number");
}

// Sizes and offsets held as int32: a larger number is refused, not wrapped.
std::int32_t int32Field(const json& object, const char* key, std::int32_t fallback) {
  const std::int64_t v = intField(object, key, fallback);
  if (v < INT32_MIN || v > INT32_MAX) refuse(std::string("the field ") + key + " is out of range: " + std::to_string(v));
  return static_cast<std::int32_t>(v);
}

float floatField(const json& object, const char* key, float fallback = 0) {
  const json* f = field(object, key);
  if (!f) return fallback;
  if (!f->is_number()) refuse(std::string("the field ") + key + " is not a number");
  return f->get<float>();
}

std::string stringField(const json& object, const char* key) {
  const json* f = field(object, key);
  if (!f) return "";
  if (!f->is_string()) refuse(std::string("the field ") + key + " is not a text");
  return f->get<std::string>();
}

const json& arrayField(const json& object, const char* key) {
  static const json empty = json::array();
  const json* f = field(object, key);
  if (!f) return empty;
  if (!f->is_array()) refuse(std::string("the field ") + key + " is not a list");
  return *f;
}

std::string valueText(const json& v) {
  if (v.is_string()) return v.get<std::string>();
  if (v.is_boolean()) return v.get<bool>() ? "true" : "false";
  return v.dump();
}

Property readProperty(std::string name, std::string type, const json* value, const std::string& folder) {
  Property property{std::move(name), std::move(type), "", false};
  if (property.type.empty()) property.type = "string";
  if (value) {
    property.nested = value->is_object() || value->is_array();
    if (!property.nested) property.value = valueText(*value);
  }
  if (property.type == "file" || property.name == "normalmap") property.value = resolvePath(folder, property.value);
  return property;
}

// Before version 1.2 properties were an object of name: value with their types in another
// (`typesKey`), which nlohmann keeps sorted by name as the editors wrote them.
std::vector<Property> readProperties(const json& owner, const std::string& folder, const char* key = "properties",
                                     const char* typesKey = "propertytypes") {
  std::vector<Property> out;
  const json* list = field(owner, key);
  if (list && list->is_object()) {
    const json* types = field(owner, typesKey);
    for (const auto& [name, value] : list->items()) {
      std::string type;
      if (types && types->is_object() && types->contains(name) && (*types)[name].is_string()) type = (*types)[name];
      out.push_back(readProperty(name, type, &value, folder));
    }
    return out;
  }
  for (const json& p : arrayField(owner, key)) out.push_back(readProperty(stringField(p, "name"), stringField(p, "type"), field(p, "value"), folder));
  return out;
}

// A tile id written as a JSON object's key (before version 1.2).
std::uint32_t tileIdKey(const std::string& key, const std::string& tileset) {
  const std::int64_t id = parseWhole(key, "tileset '" + tileset + "': the tile id");
  if (id < 0 || id > UINT32_MAX) refuse("tileset '" + tileset + "': a tile id is out of range");
  return static_cast<std::uint32_t>(id);
}

TilesetSource readTileset(const json& node, const std::string& folder) {
  if (!node.is_object()) refuse("a tileset is not a JSON object");
  TilesetSource source;
  source.name = stringField(node, "name");
  source.tileWidth = int32Field(node, "tilewidth", 0);
  source.tileHeight = int32Field(node, "tileheight", 0);
  source.spacing = int32Field(node, "spacing", 0);
  source.margin = int32Field(node, "margin", 0);
  source.tileCount = int32Field(node, "tilecount", -1);
  if (const json* offset = field(node, "tileoffset")) {
    source.offsetX = int32Field(*offset, "x", 0);
    source.offsetY = int32Field(*offset, "y", 0);
  }
  if (const std::string image = stringField(node, "image"); !image.empty()) source.image = resolvePath(folder, image);
  source.transparent = stringField(node, "transparentcolor");
  source.imageWidth = intField(node, "imagewidth", 0);
  source.imageHeight = intField(node, "imageheight", 0);
  source.properties = readProperties(node, folder);
  auto readEntry = [&](const json& t, std::uint32_t id) {
    if (!t.is_object()) refuse("tileset '" + source.name + "': a tile is not a JSON object");
    TileEntry entry;
    entry.id = id;
    if (const std::string image = stringField(t, "image"); !image.empty()) entry.image = resolvePath(folder, image);
    entry.properties = readProperties(t, folder);
    entry.animated = field(t, "animation") != nullptr;
    entry.shapes = field(t, "objectgroup") != nullptr;
    source.tiles.push_back(std::move(entry));
  };
  const json* tiles = field(node, "tiles");
  if (tiles && tiles->is_object()) {
    for (const auto& [key, t] : tiles->items()) readEntry(t, tileIdKey(key, source.name));
  } else {
    for (const json& t : arrayField(node, "tiles")) {
      const std::int64_t id = intField(t, "id", 0);
      if (id < 0 || id > UINT32_MAX) refuse("tileset '" + source.name + "': a tile id is out of range");
      readEntry(t, static_cast<std::uint32_t>(id));
    }
  }
  // Before 1.2 tile properties sat beside the tiles, by id.
  if (const json* old = field(node, "tileproperties"); old && old->is_object()) {
    const json* types = field(node, "tilepropertytypes");
    for (const auto& [key, props] : old->items()) {
      json owner = {{"properties", props}};
      if (types && types->is_object() && types->contains(key)) owner["propertytypes"] = (*types)[key];
      const std::uint32_t id = tileIdKey(key, source.name);
      auto it = std::find_if(source.tiles.begin(), source.tiles.end(), [&](const TileEntry& e) { return e.id == id; });
      if (it == source.tiles.end()) it = source.tiles.insert(source.tiles.end(), TileEntry{id, "", {}, false, false});
      for (Property& p : readProperties(owner, folder)) it->properties.push_back(std::move(p));
    }
  }
  source.wangSets = field(node, "wangsets") || field(node, "terrains");
  return source;
}

json parseJson(std::string_view text, const char* what) {
  try {
    return json::parse(text.begin(), text.end());
  } catch (const json::parse_error& e) {
    // The byte the parser stopped at, counted from 1.
    const std::size_t at = e.byte > 0 ? e.byte - 1 : 0;
    const bool ended = at >= text.size();
    refuse(std::string("broken JSON in the ") + what + " at " + textPlace(text, at) + ": " +
           (ended ? "the text breaks off" : "this is not where JSON allows it"));
  } catch (const json::exception&) {
    refuse(std::string("broken JSON in the ") + what);
  }
}

constexpr int kMaxGroupDepth = 64;

class TmjReader {
 public:
  TmjReader(const std::string& folder, const ImportOptions& options) : folder_(folder), builder_(options) {}

  base::Result<Imported> read(std::string_view text) {
    const json map = parseJson(text, "map");
    if (!map.is_object() || (field(map, "type") && stringField(map, "type") != "map"))
      refuse("not a JSON tile map: its type is not \"map\"");
    const std::string orientation = field(map, "orientation") ? stringField(map, "orientation") : "orthogonal";
    infinite_ = intField(map, "infinite", 0) != 0;
    std::int64_t width = intField(map, "width", 0), height = intField(map, "height", 0);
    ChunkBounds bounds;
    if (infinite_) {
      chunkBounds(map, bounds, 0);
      width = bounds.width();
      height = bounds.height();
    }
    check(builder_.begin(orientation, infinite_, width, height, intField(map, "tilewidth", 0),
                         intField(map, "tileheight", 0), countTileLayers(map, 0)));
    if (infinite_) builder_.setOrigin(bounds.left, bounds.top);
    if (field(map, "properties")) builder_.leaveOut("the map's properties");
    for (const json& t : arrayField(map, "tilesets")) {
      const std::int64_t firstGid = intField(t, "firstgid", 0);
      if (firstGid < 1 || firstGid > UINT32_MAX) refuse("a tileset's firstgid must be from 1 to 4294967295");
      TilesetSource source = field(t, "source") ? readExternalTileset(resolvePath(folder_, stringField(t, "source")))
                                                : readTileset(t, folder_);
      source.firstGid = static_cast<std::uint32_t>(firstGid);
      check(builder_.addTileset(source));
    }
    readLayers(map, 0, 0, 0);
    return builder_.finish();
  }

 private:
  static std::int64_t countTileLayers(const json& parent, int depth) {
    if (depth > kMaxGroupDepth) refuse("layer groups are nested more than " + std::to_string(kMaxGroupDepth) + " deep");
    std::int64_t n = 0;
    for (const json& layer : arrayField(parent, "layers")) {
      const std::string type = stringField(layer, "type");
      if (type == "tilelayer") ++n;
      if (type == "group") n += countTileLayers(layer, depth + 1);
    }
    return n;
  }

  static void chunkBounds(const json& parent, ChunkBounds& bounds, int depth) {
    if (depth > kMaxGroupDepth) refuse("layer groups are nested more than " + std::to_string(kMaxGroupDepth) + " deep");
    for (const json& layer : arrayField(parent, "layers")) {
      const std::string type = stringField(layer, "type");
      if (type == "group") chunkBounds(layer, bounds, depth + 1);
      if (type != "tilelayer") continue;
      for (const json& chunk : arrayField(layer, "chunks"))
        bounds.add(intField(chunk, "x", 0), intField(chunk, "y", 0), intField(chunk, "width", 0), intField(chunk, "height", 0));
    }
  }

  // What a layer or group shows that Vorlane does not draw. Object groups' offsets move their
  // objects, so they are kept.
  void checkLayerLook(const json& layer) {
    const std::string type = stringField(layer, "type");
    const std::string name = type + " '" + stringField(layer, "name") + "'";
    if (type != "objectgroup" && (floatField(layer, "offsetx") != 0 || floatField(layer, "offsety") != 0))
      builder_.leaveOut("the offset of " + name);
    if (floatField(layer, "opacity", 1) != 1.0f) builder_.leaveOut("the opacity of " + name);
    if (intField(layer, "visible", 1) == 0) builder_.leaveOut("the hiding of " + name + " (imported shown)");
    if (field(layer, "tintcolor")) builder_.leaveOut("the tint of " + name);
    if (type == "tilelayer") checkTileLayerName(builder_, stringField(layer, "name"));
    if (type == "group") builder_.leaveOut("the layer groups (their layers imported without them)");
    for (const Property& p : readProperties(layer, folder_))
      if (type != "objectgroup" || p.name != "layer") builder_.leaveOut("the properties of " + name);
  }

  void readLayers(const json& parent, float offsetX, float offsetY, int depth) {
    for (const json& layer : arrayField(parent, "layers")) {
      const std::string type = stringField(layer, "type");
      if (type == "tilelayer") {
        checkLayerLook(layer);
        readTileLayer(layer);
      } else if (type == "objectgroup") {
        checkLayerLook(layer);
        readObjects(layer, offsetX + floatField(layer, "offsetx"), offsetY + floatField(layer, "offsety"));
      } else if (type == "imagelayer") {
        builder_.leaveOut("image layer '" + stringField(layer, "name") + "'");
      } else if (type == "group") {
        if (depth >= kMaxGroupDepth) refuse("layer groups are nested too deep");
        checkLayerLook(layer);
        readLayers(layer, offsetX + floatField(layer, "offsetx"), offsetY + floatField(layer, "offsety"), depth + 1);
      }
    }
  }

  void readTileLayer(const json& layer) {
    const std::string name = stringField(layer, "name");
    std::vector<std::uint32_t> gids;
    if (infinite_) {
      for (const json& chunk : arrayField(layer, "chunks")) {
        const std::int64_t w = intField(chunk, "width", 0), h = intField(chunk, "height", 0);
        placeChunk(readData(layer, field(chunk, "data"), static_cast<std::size_t>(w * h), name), intField(chunk, "x", 0),
                   intField(chunk, "y", 0), w, builder_, gids);
      }
    } else {
      gids = readData(layer, field(layer, "data"), builder_.layerSize(), name);
    }
    check(builder_.addLayer(name, std::move(gids)));
  }

  // The GIDs of a layer's or chunk's data, in the layer's encoding; none when it is empty.
  static std::vector<std::uint32_t> readData(const json& layer, const json* data, std::size_t count, const std::string& name) {
    std::vector<std::uint32_t> gids;
    if (data && data->is_array()) {
      if (data->empty()) return gids;
      if (data->size() != count)
        refuse("layer '" + name + "': the layer data does not hold exactly " + std::to_string(count) + " tiles");
      gids.reserve(data->size());
      for (const json& v : *data) {
        if (!v.is_number_unsigned() || v.get<std::uint64_t>() > UINT32_MAX)
          refuse("layer '" + name + "': the layer data is not a list of GIDs");
        gids.push_back(v.get<std::uint32_t>());
      }
    } else if (data && data->is_string()) {
      const std::string& text = data->get_ref<const std::string&>();
      if (text.find_first_not_of(" \t\r\n") == std::string::npos) return gids;
      auto e = encodingOf(stringField(layer, "encoding"), stringField(layer, "compression"));
      if (!e || *e == Encoding::csv) refuse("layer '" + name + "': unknown data encoding " + stringField(layer, "encoding"));
      auto decoded = decodeGids(text, *e, count);
      if (!decoded) refuse("layer '" + name + "': " + decoded.error());
      gids = std::move(decoded).value();
    } else if (data) {
      refuse("layer '" + name + "': the layer data is neither a list nor a text");
    }
    return gids;
  }

  void readObjects(const json& group, float offsetX, float offsetY) {
    const std::int32_t layer = groupLayer(readProperties(group, folder_), builder_.layersRead());
    for (const json& o : arrayField(group, "objects")) {
      ObjectSource object;
      object.name = stringField(o, "name");
      object.type = field(o, "type") ? stringField(o, "type") : stringField(o, "class");
      object.x = floatField(o, "x") + offsetX;
      object.y = floatField(o, "y") + offsetY;
      object.point = intField(o, "point", 0) != 0 && !field(o, "gid") && !field(o, "template");
      object.properties = readProperties(o, folder_);
      check(builder_.addObject(object, layer));
    }
  }

  std::string folder_;
  Builder builder_;
  bool infinite_ = false;
};

}  // namespace

TilesetSource tilesetFromJson(std::string_view text, const std::string& folder) {
  return readTileset(parseJson(text, "tileset"), folder);
}

}  // namespace tiled

base::Result<Imported> importTmj(std::string_view text, const std::string& folder, const ImportOptions& options) {
  return tiled::guarded([&] { return tiled::TmjReader(folder, options).read(text); });
}

}  // namespace vorlane::formats
