// Writes a map as TMJ, in the same shape as the TMX export.
#include <nlohmann/json.hpp>

#include <string>

#include "formats/tiled_export.h"

namespace vorlane::formats::tiled {

namespace {

class JsonOut {
 public:
  explicit JsonOut(base::ByteWriter& out) : out_(out) {}
  JsonOut& raw(std::string_view text) {
    out_.bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return *this;
  }
  JsonOut& str(std::string_view text) {
    return raw(nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  }
  // `"key":` with a comma before every member but the first of its object.
  JsonOut& key(std::string_view name, bool& first) {
    if (!first) raw(",");
    first = false;
    return str(name).raw(":");
  }
  JsonOut& num(std::int64_t v) { return raw(std::to_string(v)); }

 private:
  base::ByteWriter& out_;
};

struct Prop {
  std::string_view name, type;
  std::string value;
  bool quoted = true;
};

void properties(JsonOut& j, bool& first, const std::vector<Prop>& props) {
  j.key("properties", first).raw("[");
  for (std::size_t i = 0; i < props.size(); ++i) {
    const Prop& p = props[i];
    j.raw(i ? ",{" : "{").str("name").raw(":").str(p.name).raw(",").str("type").raw(":").str(p.type);
    j.raw(",").str("value").raw(":");
    if (p.quoted)
      j.str(p.value);
    else
      j.raw(p.value);
    j.raw("}");
  }
  j.raw("]");
}

void writeTileset(JsonOut& j, const AtlasPage& p, const map::Map& m) {
  bool f = true;
  j.raw("{");
  j.key("firstgid", f).num(p.firstGid);
  j.key("name", f).str(p.name);
  j.key("tilewidth", f).num(m.tileWidth);
  j.key("tileheight", f).num(m.tileHeight);
  j.key("tilecount", f).num(p.count);
  j.key("columns", f).num(p.columns);
  j.key("image", f).str(p.image);
  j.key("imagewidth", f).num(p.width);
  j.key("imageheight", f).num(p.height);
  j.key("margin", f).num(0);
  j.key("spacing", f).num(0);
  if (!p.normals.empty()) properties(j, f, {{"normalmap", "file", p.normals}});
  if (!p.flags.empty()) {
    j.key("tiles", f).raw("[");
    for (std::size_t i = 0; i < p.flags.size(); ++i) {
      bool g = true;
      j.raw(i ? ",{" : "{").key("id", g).num(p.flags[i].id);
      std::vector<Prop> props;
      if (p.flags[i].castShadows) props.push_back({"castShadows", "bool", "true", false});
      if (p.flags[i].collider) props.push_back({"collider", "bool", "true", false});
      properties(j, g, props);
      j.raw("}");
    }
    j.raw("]");
  }
  j.raw("}");
}

void writeLayer(JsonOut& j, const map::Map& m, const ExportPlan& plan, const ExportOptions& options, std::int32_t layer,
                std::string& data) {
  const std::size_t perLayer = static_cast<std::size_t>(m.width) * static_cast<std::size_t>(m.height);
  bool f = true;
  j.raw("{");
  j.key("id", f).num(layer + 1);
  j.key("name", f).str("Layer " + std::to_string(layer + 1));
  j.key("type", f).str("tilelayer");
  j.key("x", f).num(0);
  j.key("y", f).num(0);
  j.key("width", f).num(m.width);
  j.key("height", f).num(m.height);
  j.key("opacity", f).num(1);
  j.key("visible", f).raw("true");
  data.clear();
  encodeGids(std::span(plan.gids).subspan(static_cast<std::size_t>(layer) * perLayer, perLayer), 0, options.encoding,
             data);
  if (options.encoding == Encoding::csv) {
    j.key("data", f).raw("[").raw(data).raw("]");
  } else {
    j.key("encoding", f).str("base64");
    if (options.encoding != Encoding::base64) j.key("compression", f).str(encodingName(options.encoding));
    j.key("data", f).str(data);
  }
  j.raw("}");
}

void pointObject(JsonOut& j, std::int64_t id, std::string_view name, std::string_view type, float x, float y,
                 const std::vector<Prop>& props) {
  bool f = true;
  j.raw("{");
  j.key("id", f).num(id);
  j.key("name", f).str(name);
  j.key("type", f).str(type);
  j.key("x", f).raw(floatText(x));
  j.key("y", f).raw(floatText(y));
  j.key("width", f).num(0);
  j.key("height", f).num(0);
  j.key("rotation", f).num(0);
  j.key("visible", f).raw("true");
  j.key("point", f).raw("true");
  properties(j, f, props);
  j.raw("}");
}

void objectGroupStart(JsonOut& j, bool& f, std::int64_t id, std::string_view name) {
  j.raw("{");
  j.key("id", f).num(id);
  j.key("name", f).str(name);
  j.key("type", f).str("objectgroup");
  j.key("draworder", f).str("topdown");
  j.key("x", f).num(0);
  j.key("y", f).num(0);
  j.key("opacity", f).num(1);
  j.key("visible", f).raw("true");
}

std::int64_t writeObjects(JsonOut& j, const map::Map& m, bool comma) {
  std::int64_t id = 1, layerId = m.depth + 1;
  if (!m.lights.empty()) {
    bool f = true;
    j.raw(comma ? "," : "");
    comma = true;
    objectGroupStart(j, f, layerId++, "Lights");
    j.key("objects", f).raw("[");
    for (std::size_t i = 0; i < m.lights.size(); ++i) {
      const map::Light& light = *m.lights[i];
      const std::string colour = exactColour(light);
      std::vector<Prop> props{{"color", "color", colour.empty() ? "#ffffffff" : colour}};
      if (colour.empty())
        for (auto [name, v] : {std::pair{"red", light.red}, {"green", light.green}, {"blue", light.blue}})
          props.push_back({name, "float", floatText(v), false});
      props.push_back({"range", "float", floatText(light.range), false});
      props.push_back({"layer", "int", std::to_string(light.layer), false});
      if (light.castShadows) props.push_back({"castShadows", "bool", "true", false});
      j.raw(i ? "," : "");
      pointObject(j, id++, "", "light", light.x, light.y, props);
    }
    j.raw("]}");
  }
  for (const PivotRun& run : pivotRuns(m)) {
    bool f = true;
    j.raw(comma ? "," : "");
    comma = true;
    objectGroupStart(j, f, layerId++, "Pivots");
    properties(j, f, {{"layer", "int", std::to_string(run.layer), false}});
    j.key("objects", f).raw("[");
    for (std::size_t i = run.begin; i < run.end; ++i) {
      const map::Pivot& pivot = *m.pivots[i];
      std::vector<Prop> props;
      for (std::int32_t r = 0; r < pivot.recordCount; ++r)
        props.push_back({pivot.records[r]->name, "string", pivot.records[r]->value});
      j.raw(i > run.begin ? "," : "");
      pointObject(j, id++, pivot.link, "", pivot.x, pivot.y, props);
    }
    j.raw("]}");
  }
  return layerId;
}

void writeTmj(const map::Map& m, const ExportPlan& plan, const ExportOptions& options, base::ByteWriter& out) {
  JsonOut j(out);
  bool f = true;
  j.raw("{");
  j.key("type", f).str("map");
  j.key("version", f).str("1.8");
  j.key("orientation", f).str("orthogonal");
  j.key("renderorder", f).str("right-down");
  j.key("width", f).num(m.width);
  j.key("height", f).num(m.height);
  j.key("tilewidth", f).num(m.tileWidth);
  j.key("tileheight", f).num(m.tileHeight);
  j.key("infinite", f).raw("false");
  j.key("tilesets", f).raw("[");
  for (std::size_t i = 0; i < plan.pages.size(); ++i) {
    j.raw(i ? "," : "");
    writeTileset(j, plan.pages[i], m);
  }
  j.raw("]");
  j.key("layers", f).raw("[");
  std::string data;
  for (std::int32_t layer = 0; layer < m.depth; ++layer) {
    j.raw(layer ? "," : "");
    writeLayer(j, m, plan, options, layer, data);
  }
  const std::int64_t nextLayer = writeObjects(j, m, m.depth > 0);
  j.raw("]");
  j.key("nextlayerid", f).num(nextLayer);
  j.key("nextobjectid", f).num(1 + static_cast<std::int64_t>(m.lights.size() + m.pivots.size()));
  j.raw("}\n");
}

}  // namespace

base::Result<Notes> exportTmj(const std::string& path, const map::Map& map, const ExportOptions& options) {
  return exportWith(path, map, options, writeTmj);
}

}  // namespace vorlane::formats::tiled
