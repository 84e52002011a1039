// TMX: the XML form of tile maps (.tmx) and tilesets (.tsx), read with pugixml.
#include <pugixml.hpp>

#include <cstdio>
#include <cstring>

#include "formats/tiled_import.h"
#include "formats/tiled_read.h"

namespace vorlane::formats {

namespace tiled {

namespace {

std::string where(pugi::xml_node node, const char* attribute) {
  return std::string("<") + node.name() + "> attribute " + attribute;
}

std::int64_t intAttr(pugi::xml_node node, const char* name, std::int64_t fallback) {
  pugi::xml_attribute a = node.attribute(name);
  if (!a) return fallback;
  return parseWhole(a.value(), where(node, name));
}

// Sizes and offsets held as int32: a larger number is refused, not wrapped.
std::int32_t int32Attr(pugi::xml_node node, const char* name, std::int32_t fallback) {
  const std::int64_t v = intAttr(node, name, fallback);
  if (v < INT32_MIN || v > INT32_MAX) refuse(where(node, name) + " is out of range: " + std::to_string(v));
  return static_cast<std::int32_t>(v);
}

float floatAttr(pugi::xml_node node, const char* name) {
  pugi::xml_attribute a = node.attribute(name);
  return a ? parseNumber(a.value(), where(node, name)) : 0.0f;
}

std::vector<Property> readProperties(pugi::xml_node owner, const std::string& folder) {
  std::vector<Property> out;
  for (pugi::xml_node p : owner.child("properties").children("property")) {
    Property property{p.attribute("name").value(), p.attribute("type").as_string("string"), "", false};
    // Multi-line strings are the element's text.
    property.value = p.attribute("value") ? p.attribute("value").value() : p.text().get();
    property.nested = property.type == "class";
    if (property.type == "file" || property.name == "normalmap") property.value = resolvePath(folder, property.value);
    out.push_back(std::move(property));
  }
  return out;
}

constexpr int kMaxGroupDepth = 64;

TilesetSource readTileset(pugi::xml_node node, const std::string& folder) {
  TilesetSource source;
  source.name = node.attribute("name").value();
  source.tileWidth = int32Attr(node, "tilewidth", 0);
  source.tileHeight = int32Attr(node, "tileheight", 0);
  source.spacing = int32Attr(node, "spacing", 0);
  source.margin = int32Attr(node, "margin", 0);
  source.tileCount = int32Attr(node, "tilecount", -1);
  if (pugi::xml_node offset = node.child("tileoffset")) {
    source.offsetX = int32Attr(offset, "x", 0);
    source.offsetY = int32Attr(offset, "y", 0);
  }
  auto imageOf = [&](pugi::xml_node owner, std::string& path, std::string* transparent) {
    pugi::xml_node image = owner.child("image");
    if (!image) return;
    if (!image.attribute("source")) refuse("tileset '" + source.name + "': images inside the file are not supported");
    path = resolvePath(folder, image.attribute("source").value());
    if (transparent) {
      *transparent = image.attribute("trans").value();
      source.imageWidth = intAttr(image, "width", 0);
      source.imageHeight = intAttr(image, "height", 0);
    }
  };
  imageOf(node, source.image, &source.transparent);
  source.properties = readProperties(node, folder);
  for (pugi::xml_node t : node.children("tile")) {
    TileEntry entry;
    const std::int64_t id = intAttr(t, "id", 0);
    if (id < 0 || id > UINT32_MAX) refuse("tileset '" + source.name + "': a tile id is out of range");
    entry.id = static_cast<std::uint32_t>(id);
    imageOf(t, entry.image, nullptr);
    entry.properties = readProperties(t, folder);
    entry.animated = static_cast<bool>(t.child("animation"));
    entry.shapes = static_cast<bool>(t.child("objectgroup"));
    source.tiles.push_back(std::move(entry));
  }
  source.wangSets = node.child("wangsets") || node.child("terraintypes");
  return source;
}

// The first control character XML 1.0 forbids (all but tab, line feed and carriage return),
// or 0. pugixml takes them, raw and as references; the other readers of these files do not.
unsigned char forbiddenControl(std::string_view text) {
  for (char c : text)
    if (const auto u = static_cast<unsigned char>(c); u < 0x20 && u != '\t' && u != '\n' && u != '\r') return u;
  return 0;
}

// pugixml's own descriptions read as a library's; these say what is wrong with the file.
std::string xmlProblem(pugi::xml_parse_status status) {
  switch (status) {
    case pugi::status_end_element_mismatch: return "an end tag does not match its start tag, or the file breaks off";
    case pugi::status_unrecognized_tag: return "a tag is not written as XML writes tags";
    case pugi::status_bad_attribute: return "an attribute is not written as name=\"value\"";
    case pugi::status_bad_start_element: case pugi::status_bad_end_element: return "a tag is not closed";
    case pugi::status_no_document_element: return "there is no XML element in it (is it XML at all?)";
    default: return "it is not well-formed XML";
  }
}

pugi::xml_document parseXml(std::string_view text, const char* what) {
  pugi::xml_document doc;
  pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!result)
    refuse(std::string("broken XML in the ") + what + " at " + textPlace(text, static_cast<std::size_t>(result.offset)) +
           ": " + xmlProblem(result.status));
  struct Walker : pugi::xml_tree_walker {
    unsigned char found = 0;
    bool for_each(pugi::xml_node& node) override {
      found = forbiddenControl(node.value());
      for (pugi::xml_attribute a = node.first_attribute(); a && !found; a = a.next_attribute()) found = forbiddenControl(a.value());
      return !found;
    }
  } walker;
  walker.found = forbiddenControl(text);
  if (!walker.found) doc.traverse(walker);
  if (walker.found) {
    char code[8];
    std::snprintf(code, sizeof code, "U+%04X", walker.found);
    refuse(std::string("broken XML in the ") + what + ": the control character " + code + " is not allowed in XML");
  }
  return doc;
}

class TmxReader {
 public:
  TmxReader(const std::string& folder, const ImportOptions& options) : folder_(folder), builder_(options) {}

  base::Result<Imported> read(std::string_view text) {
    pugi::xml_document doc = parseXml(text, "map");
    pugi::xml_node map = doc.child("map");
    if (!map) refuse("not a TMX map: there is no <map> element");
    infinite_ = intAttr(map, "infinite", 0) != 0;
    std::int64_t width = intAttr(map, "width", 0), height = intAttr(map, "height", 0);
    ChunkBounds bounds;
    if (infinite_) {
      chunkBounds(map, bounds, 0);
      width = bounds.width();
      height = bounds.height();
    }
    check(builder_.begin(map.attribute("orientation").as_string("orthogonal"), infinite_, width, height,
                         intAttr(map, "tilewidth", 0), intAttr(map, "tileheight", 0), countTileLayers(map, 0)));
    if (infinite_) builder_.setOrigin(bounds.left, bounds.top);
    if (map.child("properties")) builder_.leaveOut("the map's properties");
    for (pugi::xml_node t : map.children("tileset")) {
      const std::int64_t firstGid = intAttr(t, "firstgid", 0);
      if (firstGid < 1 || firstGid > UINT32_MAX) refuse("a tileset's firstgid must be from 1 to 4294967295");
      TilesetSource source =
          t.attribute("source") ? readExternalTileset(resolvePath(folder_, t.attribute("source").value()))
                                : readTileset(t, folder_);
      source.firstGid = static_cast<std::uint32_t>(firstGid);
      check(builder_.addTileset(source));
    }
    readLayers(map, 0, 0);
    return builder_.finish();
  }

 private:
  static std::int64_t countTileLayers(pugi::xml_node parent, int depth) {
    if (depth > kMaxGroupDepth) refuse("layer groups are nested more than " + std::to_string(kMaxGroupDepth) + " deep");
    std::int64_t n = 0;
    for (pugi::xml_node child : parent.children()) {
      if (std::strcmp(child.name(), "layer") == 0) ++n;
      if (std::strcmp(child.name(), "group") == 0) n += countTileLayers(child, depth + 1);
    }
    return n;
  }

  // The cells the chunks of every layer cover (one cell when there are none).
  static void chunkBounds(pugi::xml_node parent, ChunkBounds& bounds, int depth) {
    if (depth > kMaxGroupDepth) refuse("layer groups are nested more than " + std::to_string(kMaxGroupDepth) + " deep");
    for (pugi::xml_node child : parent.children()) {
      if (std::strcmp(child.name(), "group") == 0) chunkBounds(child, bounds, depth + 1);
      if (std::strcmp(child.name(), "layer") != 0) continue;
      for (pugi::xml_node chunk : child.child("data").children("chunk"))
        bounds.add(intAttr(chunk, "x", 0), intAttr(chunk, "y", 0), intAttr(chunk, "width", 0), intAttr(chunk, "height", 0));
    }
  }

  // What a layer or group shows that Vorlane does not draw. Object groups' offsets move their
  // objects, so they are kept.
  void checkLayerLook(pugi::xml_node layer) {
    const bool objects = std::strcmp(layer.name(), "objectgroup") == 0;
    const std::string name = std::string(layer.name()) + " '" + layer.attribute("name").value() + "'";
    if (!objects && (floatAttr(layer, "offsetx") != 0 || floatAttr(layer, "offsety") != 0))
      builder_.leaveOut("the offset of " + name);
    if (layer.attribute("opacity") && floatAttr(layer, "opacity") != 1.0f) builder_.leaveOut("the opacity of " + name);
    if (intAttr(layer, "visible", 1) == 0) builder_.leaveOut("the hiding of " + name + " (imported shown)");
    if (layer.attribute("tintcolor")) builder_.leaveOut("the tint of " + name);
    if (std::strcmp(layer.name(), "layer") == 0) checkTileLayerName(builder_, layer.attribute("name").value());
    if (std::strcmp(layer.name(), "group") == 0) builder_.leaveOut("the layer groups (their layers imported without them)");
    for (const Property& p : readProperties(layer, folder_))
      if (!objects || p.name != "layer") builder_.leaveOut("the properties of " + name);
  }

  void readLayers(pugi::xml_node parent, float offsetX, float offsetY) {
    for (pugi::xml_node child : parent.children()) {
      const std::string_view kind = child.name();
      if (kind == "layer") {
        checkLayerLook(child);
        readTileLayer(child);
      } else if (kind == "objectgroup") {
        readObjects(child, offsetX + floatAttr(child, "offsetx"), offsetY + floatAttr(child, "offsety"));
      } else if (kind == "imagelayer") {
        builder_.leaveOut(std::string("image layer '") + child.attribute("name").value() + "'");
      } else if (kind == "group") {
        checkLayerLook(child);
        readLayers(child, offsetX + floatAttr(child, "offsetx"), offsetY + floatAttr(child, "offsety"));
      }
    }
  }

  void readTileLayer(pugi::xml_node layer) {
    const std::string name = layer.attribute("name").value();
    std::vector<std::uint32_t> gids;
    pugi::xml_node data = layer.child("data");
    if (infinite_) {
      for (pugi::xml_node chunk : data.children("chunk")) {
        const std::int64_t w = intAttr(chunk, "width", 0), h = intAttr(chunk, "height", 0);
        std::vector<std::uint32_t> cells = readData(data, chunk, static_cast<std::size_t>(w * h), name);
        if (cells.empty()) continue;
        placeChunk(cells, intAttr(chunk, "x", 0), intAttr(chunk, "y", 0), w, builder_, gids);
      }
    } else if (data) {
      gids = readData(data, data, builder_.layerSize(), name);
    }
    check(builder_.addLayer(name, std::move(gids)));
  }

  // The GIDs of a layer's data or of one of its chunks; none when it holds no text at all.
  static std::vector<std::uint32_t> readData(pugi::xml_node data, pugi::xml_node holder, std::size_t count,
                                             const std::string& name) {
    const std::string_view encoding = data.attribute("encoding").value();
    if (encoding.empty()) return holder.child("tile") ? readTileElements(holder, count, name) : std::vector<std::uint32_t>{};
    auto e = encodingOf(encoding, data.attribute("compression").value());
    if (!e) refuse("layer '" + name + "': unknown data encoding " + std::string(encoding));
    const std::string_view text = holder.text().get();
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return {};
    auto decoded = decodeGids(text, *e, count);
    if (!decoded) refuse("layer '" + name + "': " + decoded.error());
    return std::move(decoded).value();
  }

  // The oldest form: one <tile gid="..."/> per cell.
  static std::vector<std::uint32_t> readTileElements(pugi::xml_node data, std::size_t count, const std::string& name) {
    std::vector<std::uint32_t> gids;
    for (pugi::xml_node t : data.children("tile")) {
      if (gids.size() == count) refuse("layer '" + name + "': the layer data holds more tiles than its width and height");
      const std::int64_t gid = intAttr(t, "gid", 0);
      if (gid < 0 || gid > UINT32_MAX) refuse("layer '" + name + "': a GID is out of range");
      gids.push_back(static_cast<std::uint32_t>(gid));
    }
    if (gids.size() != count) refuse("layer '" + name + "': the layer data holds fewer tiles than its width and height");
    return gids;
  }

  void readObjects(pugi::xml_node group, float offsetX, float offsetY) {
    checkLayerLook(group);
    const std::int32_t layer = groupLayer(readProperties(group, folder_), builder_.layersRead());
    for (pugi::xml_node o : group.children("object")) {
      ObjectSource object;
      object.name = o.attribute("name").value();
      object.type = o.attribute("type") ? o.attribute("type").value() : o.attribute("class").value();
      object.x = floatAttr(o, "x") + offsetX;
      object.y = floatAttr(o, "y") + offsetY;
      object.point = o.child("point") && !o.attribute("gid") && !o.attribute("template");
      object.properties = readProperties(o, folder_);
      check(builder_.addObject(object, layer));
    }
  }

  std::string folder_;
  Builder builder_;
  bool infinite_ = false;
};

}  // namespace

TilesetSource tilesetFromXml(std::string_view text, const std::string& folder) {
  pugi::xml_document doc = parseXml(text, "tileset");
  pugi::xml_node node = doc.child("tileset");
  if (!node) refuse("not a TSX tileset: there is no <tileset> element");
  return readTileset(node, folder);
}

}  // namespace tiled

base::Result<Imported> importTmx(std::string_view text, const std::string& folder, const ImportOptions& options) {
  return tiled::guarded([&] { return tiled::TmxReader(folder, options).read(text); });
}

}  // namespace vorlane::formats
