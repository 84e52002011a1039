// Writes a map as TMX: embedded tilesets over the atlases, one tile layer per map layer, the
// lights in one object group and the pivots in one group per run of pivots on a layer.
#include <algorithm>
#include <cstdio>
#include <string>

#include "formats/tiled_export.h"

namespace vorlane::formats::tiled {

namespace {

constexpr const char* kCannotHold = "A TMX file cannot hold this text, so nothing was written.";

// XML 1.0 allows no control character but tab, line feed and carriage return, not even as a
// character reference.
bool xmlAllows(unsigned char c) { return c >= 0x20 || c == '\t' || c == '\n' || c == '\r'; }

std::string_view::const_iterator firstForbidden(std::string_view text) {
  return std::find_if_not(text.begin(), text.end(), [](char c) { return xmlAllows(static_cast<unsigned char>(c)); });
}

void check(std::string_view text, const std::string& what) {
  const auto bad = firstForbidden(text);
  if (bad == text.end()) return;
  std::string shown;
  for (char c : text) {
    char code[16];
    std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned char>(c));
    shown += xmlAllows(static_cast<unsigned char>(c)) ? std::string(1, c) : std::string(code);
  }
  char code[8];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned char>(*bad));
  throw base::FormatError(std::string(kCannotHold) + "\n" + what + " \"" + shown + "\" holds the control character " +
                          code + ", which XML does not allow.");
}

// The texts of the map that go into the file, before any file is staged.
void checkTexts(const map::Map& map) {
  for (std::size_t p = 0; p < map.pivots.size(); ++p) {
    const map::Pivot& pivot = *map.pivots[p];
    const std::string which = "pivot " + std::to_string(p + 1);
    check(pivot.link, "The link of " + which);
    for (std::int32_t r = 0; r < pivot.recordCount; ++r) {
      const std::string of = " of record " + std::to_string(r + 1) + " of " + which;
      check(pivot.records[static_cast<std::size_t>(r)]->name, "The name" + of);
      check(pivot.records[static_cast<std::size_t>(r)]->value, "The value" + of);
    }
  }
}

class XmlOut {
 public:
  explicit XmlOut(base::ByteWriter& out) : out_(out) {}
  XmlOut& raw(std::string_view text) {
    out_.bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return *this;
  }
  // ` name="value"`, escaped for an attribute.
  XmlOut& attr(std::string_view name, std::string_view value) {
    if (firstForbidden(value) != value.end()) check(value, "The " + std::string(name));
    std::string text = " ";
    text += name;
    text += "=\"";
    for (char c : value) {
      const auto u = static_cast<unsigned char>(c);
      if (c == '&') text += "&amp;";
      else if (c == '<') text += "&lt;";
      else if (c == '>') text += "&gt;";
      else if (c == '"') text += "&quot;";
      else if (u < 0x20) {
        char ref[8];
        std::snprintf(ref, sizeof ref, "&#x%X;", u);
        text += ref;
      } else {
        text += c;
      }
    }
    text += '"';
    return raw(text);
  }
  XmlOut& attr(std::string_view name, std::int64_t value) { return attr(name, std::to_string(value)); }

 private:
  base::ByteWriter& out_;
};

void property(XmlOut& x, std::string_view name, std::string_view type, std::string_view value) {
  x.raw("    <property").attr("name", name);
  if (!type.empty()) x.attr("type", type);
  x.attr("value", value).raw("/>\n");
}

void writeTileset(XmlOut& x, const AtlasPage& p, const map::Map& m) {
  x.raw(" <tileset").attr("firstgid", p.firstGid).attr("name", p.name).attr("tilewidth", m.tileWidth);
  x.attr("tileheight", m.tileHeight).attr("tilecount", p.count).attr("columns", p.columns).raw(">\n");
  if (!p.normals.empty()) {
    x.raw("  <properties>\n");
    property(x, "normalmap", "file", p.normals);
    x.raw("  </properties>\n");
  }
  x.raw("  <image").attr("source", p.image).attr("width", p.width).attr("height", p.height).raw("/>\n");
  for (const AtlasPage::Flags& f : p.flags) {
    x.raw("  <tile").attr("id", f.id).raw(">\n  <properties>\n");
    if (f.castShadows) property(x, "castShadows", "bool", "true");
    if (f.collider) property(x, "collider", "bool", "true");
    x.raw("  </properties>\n  </tile>\n");
  }
  x.raw(" </tileset>\n");
}

void writeLayers(XmlOut& x, const map::Map& m, const ExportPlan& plan, const ExportOptions& options) {
  const std::size_t perLayer = static_cast<std::size_t>(m.width) * static_cast<std::size_t>(m.height);
  const std::string_view encoding = options.encoding == Encoding::csv ? "csv" : "base64";
  std::string data;
  for (std::int32_t layer = 0; layer < m.depth; ++layer) {
    x.raw(" <layer").attr("id", layer + 1).attr("name", "Layer " + std::to_string(layer + 1));
    x.attr("width", m.width).attr("height", m.height).raw(">\n  <data").attr("encoding", encoding);
    if (options.encoding != Encoding::csv && options.encoding != Encoding::base64)
      x.attr("compression", encodingName(options.encoding));
    x.raw(">\n");
    data.clear();
    encodeGids(std::span(plan.gids).subspan(static_cast<std::size_t>(layer) * perLayer, perLayer), m.width,
               options.encoding, data);
    x.raw(data).raw("\n</data>\n </layer>\n");
  }
}

void objectStart(XmlOut& x, std::int64_t id, std::string_view name, std::string_view type, float px, float py) {
  x.raw("  <object").attr("id", id);
  if (!name.empty()) x.attr("name", name);
  if (!type.empty()) x.attr("type", type);
  x.attr("x", floatText(px)).attr("y", floatText(py)).raw(">\n   <properties>\n");
}

void writeObjects(XmlOut& x, const map::Map& m) {
  std::int64_t id = 1, layerId = m.depth + 1;
  if (!m.lights.empty()) {
    x.raw(" <objectgroup").attr("id", layerId++).attr("name", "Lights").raw(">\n");
    for (const auto& light : m.lights) {
      objectStart(x, id++, "", "light", light->x, light->y);
      const std::string colour = exactColour(*light);
      property(x, "color", "color", colour.empty() ? "#ffffffff" : colour);
      if (colour.empty()) {
        property(x, "red", "float", floatText(light->red));
        property(x, "green", "float", floatText(light->green));
        property(x, "blue", "float", floatText(light->blue));
      }
      property(x, "range", "float", floatText(light->range));
      property(x, "layer", "int", std::to_string(light->layer));
      if (light->castShadows) property(x, "castShadows", "bool", "true");
      x.raw("   </properties>\n   <point/>\n  </object>\n");
    }
    x.raw(" </objectgroup>\n");
  }
  for (const PivotRun& run : pivotRuns(m)) {
    x.raw(" <objectgroup").attr("id", layerId++).attr("name", "Pivots").raw(">\n  <properties>\n");
    property(x, "layer", "int", std::to_string(run.layer));
    x.raw("  </properties>\n");
    for (std::size_t i = run.begin; i < run.end; ++i) {
      const map::Pivot& pivot = *m.pivots[i];
      objectStart(x, id++, pivot.link, "", pivot.x, pivot.y);
      for (std::int32_t r = 0; r < pivot.recordCount; ++r) property(x, pivot.records[r]->name, "", pivot.records[r]->value);
      x.raw("   </properties>\n   <point/>\n  </object>\n");
    }
    x.raw(" </objectgroup>\n");
  }
}

void writeTmx(const map::Map& m, const ExportPlan& plan, const ExportOptions& options, base::ByteWriter& out) {
  XmlOut x(out);
  x.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map").attr("version", "1.8");
  x.attr("orientation", "orthogonal").attr("renderorder", "right-down").attr("width", m.width).attr("height", m.height);
  x.attr("tilewidth", m.tileWidth).attr("tileheight", m.tileHeight).attr("infinite", 0);
  const auto runs = pivotRuns(m);
  x.attr("nextlayerid", m.depth + 1 + (m.lights.empty() ? 0 : 1) + static_cast<std::int64_t>(runs.size()));
  x.attr("nextobjectid", 1 + static_cast<std::int64_t>(m.lights.size() + m.pivots.size())).raw(">\n");
  for (const AtlasPage& p : plan.pages) writeTileset(x, p, m);
  writeLayers(x, m, plan, options);
  writeObjects(x, m);
  x.raw("</map>\n");
}

}  // namespace

base::Result<Notes> exportTmx(const std::string& path, const map::Map& map, const ExportOptions& options) {
  try {
    checkTexts(map);
  } catch (const base::FormatError& e) {
    return base::Error{e.what()};
  }
  return exportWith(path, map, options, writeTmx);
}

}  // namespace vorlane::formats::tiled
