// TMJ: the JSON form of tile maps (.tmj, .json) and tilesets (.tsj), read with nlohmann-json.
#include <nlohmann/json.hpp>

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

std::vector<Property> readProperties(const json& owner, const std::string& folder) {
  std::vector<Property> out;
  for (const json& p : arrayField(owner, "properties")) {
    Property property{stringField(p, "name"), stringField(p, "type"), "", false};
    if (property.type.empty()) property.type = "string";
    if (const json* v = field(p, "value")) {
      property.nested = v->is_object() || v->is_array();
      if (!property.nested) property.value = valueText(*v);
    }
    if (property.type == "file" || property.name == "normalmap") property.value = resolvePath(folder, property.value);
    out.push_back(std::move(property));
  }
  return out;
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
  source.properties = readProperties(node, folder);
  for (const json& t : arrayField(node, "tiles")) {
    TileEntry entry;
    const std::int64_t id = intField(t, "id", 0);
    if (id < 0 || id > UINT32_MAX) refuse("tileset '" + source.name + "': a tile id is out of range");
    entry.id = static_cast<std::uint32_t>(id);
    if (const std::string image = stringField(t, "image"); !image.empty()) entry.image = resolvePath(folder, image);
    entry.properties = readProperties(t, folder);
    entry.animated = field(t, "animation") != nullptr;
    entry.shapes = field(t, "objectgroup") != nullptr;
    source.tiles.push_back(std::move(entry));
  }
  source.wangSets = field(node, "wangsets") || field(node, "terrains");
  return source;
}

json parseJson(std::string_view text, const char* what) {
  try {
    return json::parse(text.begin(), text.end());
  } catch (const json::exception& e) {
    refuse(std::string("broken JSON in the ") + what + ": " + e.what());
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
    check(builder_.begin(orientation, intField(map, "infinite", 0) != 0, intField(map, "width", 0),
                         intField(map, "height", 0), intField(map, "tilewidth", 0), intField(map, "tileheight", 0),
                         countTileLayers(map, 0)));
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
    const json* data = field(layer, "data");
    if (data && data->is_array()) {
      if (data->size() != builder_.layerSize())
        refuse("layer '" + name + "': the layer data does not hold exactly " + std::to_string(builder_.layerSize()) + " tiles");
      gids.reserve(data->size());
      for (const json& v : *data) {
        if (!v.is_number_unsigned() || v.get<std::uint64_t>() > UINT32_MAX)
          refuse("layer '" + name + "': the layer data is not a list of GIDs");
        gids.push_back(v.get<std::uint32_t>());
      }
    } else if (data && data->is_string()) {
      auto e = encodingOf(stringField(layer, "encoding"), stringField(layer, "compression"));
      if (!e || *e == Encoding::csv) refuse("layer '" + name + "': unknown data encoding " + stringField(layer, "encoding"));
      auto decoded = decodeGids(data->get<std::string>(), *e, builder_.layerSize());
      if (!decoded) refuse("layer '" + name + "': " + decoded.error());
      gids = std::move(decoded).value();
    } else if (data) {
      refuse("layer '" + name + "': the layer data is neither a list nor a text");
    }
    check(builder_.addLayer(name, std::move(gids)));
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
