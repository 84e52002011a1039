// The TMX side of an in-place bake: the document as it was, with the lit tilesets in place of
// the old ones and every tile layer's data pointing at them.
#include <pugixml.hpp>

#include <cstring>
#include <map>
#include <memory>

#include "formats/bake_map_atlas.h"
#include "formats/flips.h"
#include "formats/tiled_read.h"
#include "platform/files.h"

namespace vorlane::formats::tiled {

namespace {

bool named(pugi::xml_node node, const char* name) { return std::strcmp(node.name(), name) == 0; }

bool usesTileObjects(pugi::xml_node node) {
  for (pugi::xml_node child : node.children()) {
    if (named(child, "object") && child.attribute("gid")) return true;
    if (usesTileObjects(child)) return true;
  }
  return false;
}

// Relative paths of the document, moved to the output's folder: images, tileset files,
// object templates and file properties.
void movePaths(pugi::xml_node node, const LitDocument& lit) {
  for (pugi::xml_node child : node.children()) {
    pugi::xml_attribute a;
    if (named(child, "image") || named(child, "tileset")) a = child.attribute("source");
    if (named(child, "object")) a = child.attribute("template");
    if (named(child, "property") && std::strcmp(child.attribute("type").value(), "file") == 0) a = child.attribute("value");
    if (a) a.set_value(movedPath(a.value(), lit.inputFolder, lit.outputFolder).c_str());
    movePaths(child, lit);
  }
}

// The <tile> entries of the map's original tilesets, by GID, for copying what a game reads
// of a tile (class, properties, collision shapes) onto the lit tiles made from it.
class SourceTiles {
 public:
  SourceTiles(pugi::xml_node map, const std::string& folder) {
    for (pugi::xml_node t : map.children("tileset")) {
      const std::uint32_t firstGid = t.attribute("firstgid").as_uint();
      pugi::xml_node node = t;
      if (t.attribute("source")) {
        const std::string path = resolvePath(folder, t.attribute("source").value());
        auto bytes = platform::readWholeFile(path, kMaxMapFileBytes);
        auto doc = std::make_unique<pugi::xml_document>();
        // A JSON tileset under a TMX map, or one that fails now, gives nothing to copy.
        if (!bytes || !doc->load_buffer(bytes->data(), bytes->size())) continue;
        node = doc->child("tileset");
        docs_.push_back(std::move(doc));
      }
      auto& byId = tiles_[firstGid];
      for (pugi::xml_node tile : node.children("tile")) byId.emplace(tile.attribute("id").as_uint(), tile);
    }
  }
  pugi::xml_node find(std::uint32_t gid) const {
    auto it = tiles_.upper_bound(gid);
    if (it == tiles_.begin()) return {};
    --it;
    auto tile = it->second.find(gid - it->first);
    return tile == it->second.end() ? pugi::xml_node{} : tile->second;
  }

 private:
  std::vector<std::unique_ptr<pugi::xml_document>> docs_;
  std::map<std::uint32_t, std::map<std::uint32_t, pugi::xml_node>> tiles_;
};

void addTileset(pugi::xml_node ts, const LitAtlas::Page& page, std::uint32_t firstGid, const std::string& name,
                const LitAtlas& atlas, const SourceTiles& sources) {
  ts.append_attribute("firstgid") = firstGid;
  ts.append_attribute("name") = name.c_str();
  ts.append_attribute("tilewidth") = atlas.tileWidth();
  ts.append_attribute("tileheight") = atlas.tileHeight();
  ts.append_attribute("tilecount") = page.count;
  ts.append_attribute("columns") = page.columns;
  pugi::xml_node image = ts.append_child("image");
  image.append_attribute("source") = page.file.c_str();
  image.append_attribute("width") = page.width;
  image.append_attribute("height") = page.height;
  for (std::int32_t i = 0; i < page.count; ++i) {
    const pugi::xml_node original = sources.find(atlas.sourceGid(page.first + static_cast<std::size_t>(i)));
    if (!original) continue;
    pugi::xml_node tile = ts.append_child("tile");
    tile.append_attribute("id") = i;
    for (const char* a : {"type", "class", "probability"})
      if (original.attribute(a)) tile.append_attribute(a) = original.attribute(a).value();
    if (pugi::xml_node props = original.child("properties")) {
      pugi::xml_node copy = tile.append_copy(props);
      // The normal map lit the tile already; its path means nothing beside the lit map.
      for (pugi::xml_node p = copy.first_child(); p;) {
        pugi::xml_node next = p.next_sibling();
        if (std::strcmp(p.attribute("name").value(), "normalmap") == 0) copy.remove_child(p);
        p = next;
      }
      if (!copy.first_child()) tile.remove_child(copy);
    }
    if (pugi::xml_node shapes = original.child("objectgroup")) tile.append_copy(shapes);
    if (!tile.first_child() && !tile.first_attribute().next_attribute()) ts.remove_child(tile);
  }
}

std::vector<std::uint32_t> litGids(const LitDocument& lit, std::size_t layer, std::uint32_t gidBase, std::int64_t column,
                                   std::int64_t row, std::int64_t width, std::int64_t height) {
  const std::vector<std::uint32_t>& old = lit.imported.gids[layer];
  const std::int64_t mapWidth = lit.imported.map->width;
  std::vector<std::uint32_t> out(static_cast<std::size_t>(width * height), 0);
  for (std::int64_t y = 0; y < height; ++y)
    for (std::int64_t x = 0; x < width; ++x) {
      const auto at = static_cast<std::size_t>((row + y) * mapWidth + column + x);
      const std::int64_t tile = lit.atlas.tileOf(layer, at);
      if (tile >= 0) out[static_cast<std::size_t>(y * width + x)] = (gidBase + static_cast<std::uint32_t>(tile)) | (old[at] & kGidFlags);
    }
  return out;
}

// Writes the GIDs into a <data> or <chunk> in the layer's own encoding.
void setData(pugi::xml_node data, pugi::xml_node holder, const std::vector<std::uint32_t>& gids, std::int64_t columns) {
  const std::string_view encoding = data.attribute("encoding").value();
  if (encoding.empty()) {
    while (holder.child("tile")) holder.remove_child(holder.child("tile"));
    for (std::uint32_t gid : gids) {
      pugi::xml_node t = holder.append_child("tile");
      if (gid != 0) t.append_attribute("gid") = gid;
    }
    return;
  }
  const auto e = encodingOf(encoding, data.attribute("compression").value());
  std::string text = "\n";
  encodeGids(gids, static_cast<std::int32_t>(columns), *e, text);
  if (text.back() != '\n') text += '\n';
  for (pugi::xml_node child = holder.first_child(); child;) {
    pugi::xml_node next = child.next_sibling();
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) holder.remove_child(child);
    child = next;
  }
  holder.prepend_child(pugi::node_pcdata).set_value(text.c_str());
}

class Relighter {
 public:
  Relighter(const LitDocument& lit, std::uint32_t gidBase) : lit_(lit), base_(gidBase) {}

  void layers(pugi::xml_node parent) {
    for (pugi::xml_node child : parent.children()) {
      if (named(child, "group")) layers(child);
      if (!named(child, "layer")) continue;
      const std::size_t d = layer_++;
      pugi::xml_node data = child.child("data");
      if (d >= lit_.imported.gids.size() || lit_.imported.gids[d].empty() || !data) continue;
      if (data.child("chunk")) {
        for (pugi::xml_node chunk : data.children("chunk")) {
          const std::int64_t w = chunk.attribute("width").as_llong(), h = chunk.attribute("height").as_llong();
          setData(data, chunk,
                  litGids(lit_, d, base_, chunk.attribute("x").as_llong() - lit_.imported.originColumn,
                          chunk.attribute("y").as_llong() - lit_.imported.originRow, w, h),
                  w);
        }
      } else {
        const std::int64_t w = lit_.imported.map->width, h = lit_.imported.map->height;
        setData(data, data, litGids(lit_, d, base_, 0, 0, w, h), w);
      }
    }
  }

 private:
  const LitDocument& lit_;
  std::uint32_t base_;
  std::size_t layer_ = 0;
};

struct StringWriter : pugi::xml_writer {
  std::string text;
  void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
};

}  // namespace

std::string relitTmx(std::string_view text, const LitDocument& lit) {
  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size(), pugi::parse_full, pugi::encoding_utf8)) refuse("the map no longer reads as XML");
  pugi::xml_node map = doc.child("map");
  const SourceTiles sources(map, lit.inputFolder);
  // Tile objects draw from the old tilesets: those stay, and the lit ones follow them.
  const bool keepOld = usesTileObjects(map);
  const auto gidBase = static_cast<std::uint32_t>(keepOld ? lit.imported.gidEnd : 1);
  if (lit.imported.gidEnd > UINT32_MAX / 2 || lit.atlas.size() > (kFlipBits >> 3) - gidBase)
    refuse("the lit tiles do not fit in the GIDs a map can give");
  if (lit.inputFolder != lit.outputFolder) movePaths(map, lit);

  std::vector<pugi::xml_node> old;
  if (!keepOld)
    for (pugi::xml_node t : map.children("tileset")) old.push_back(t);
  pugi::xml_node anchor;  // the lit tilesets go before it
  for (pugi::xml_node child : map.children())
    if (named(child, "tileset") || named(child, "layer") || named(child, "objectgroup") || named(child, "imagelayer") ||
        named(child, "group")) {
      anchor = child;
      break;
    }
  if (keepOld)
    for (pugi::xml_node t : map.children("tileset")) anchor = t.next_sibling();
  for (std::size_t n = 0; n < lit.pages.size(); ++n) {
    const LitAtlas::Page& page = lit.pages[n];
    pugi::xml_node ts = anchor ? map.insert_child_before("tileset", anchor) : map.append_child("tileset");
    addTileset(ts, page, gidBase + static_cast<std::uint32_t>(page.first),
               lit.stem + " lit" + (n == 0 ? "" : " " + std::to_string(n + 1)), lit.atlas, sources);
  }
  for (pugi::xml_node t : old) map.remove_child(t);
  Relighter(lit, gidBase).layers(map);
  StringWriter out;
  doc.save(out, " ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.text;
}

}  // namespace vorlane::formats::tiled
