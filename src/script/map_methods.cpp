// Maps as userdata: read-only sizes, cell access, the Line tool, objects and rendering.
#include <array>
#include <string>

#include "lighting/render.h"
#include "map/tools.h"
#include "script/fields.h"
#include "script/module.h"
#include "script/types.h"

namespace vorlane::script {

namespace {

using map::Map;

struct RenderOptions {
  std::int32_t width = lighting::kDefaultResolution;
  std::int32_t height = lighting::kDefaultResolution;
  std::int32_t soft = 0;
  float intensity = lighting::kIntensity;
  std::int32_t castShadowsFlags = 0;
};

// The ranges `vorlane-tool bake` accepts.
constexpr float kMaxIntensity = 1000.0f;
constexpr std::int32_t kMaxAmbient = 255;

}  // namespace

template <>
struct TypeName<RenderOptions> {
  static constexpr const char* value = "render options";
};

namespace {

constexpr unsigned kSizes = map::kScripted | map::kReadOnly;
constexpr std::array kMapFields{map::integerField("width", &Map::width, kSizes),
                                map::integerField("height", &Map::height, kSizes),
                                map::integerField("depth", &Map::depth, kSizes),
                                map::integerField("tileWidth", &Map::tileWidth, kSizes),
                                map::integerField("tileHeight", &Map::tileHeight, kSizes)};
constexpr std::array kRenderFields{map::integerField("width", &RenderOptions::width, map::kScripted),
                                   map::integerField("height", &RenderOptions::height, map::kScripted),
                                   map::flagField("soft", &RenderOptions::soft, map::kScripted),
                                   map::numberField("intensity", &RenderOptions::intensity, map::kScripted),
                                   map::flagField("castShadowsFlags", &RenderOptions::castShadowsFlags, map::kScripted)};

std::uint64_t cellBytes(const Map& map) { return map.cells.size() * sizeof(tiles::TilePtr); }

std::string cellText(std::int32_t x, std::int32_t y, std::int32_t layer) {
  return "Cell (" + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(layer) +
         ") is outside the map.";
}

void checkLayer(lua_State* state, const Map& map, std::int32_t layer) {
  if (layer < 0 || layer >= map.depth) raise(state, "Layer " + std::to_string(layer) + " is outside the map.");
}

void checkCell(lua_State* state, const Map& map, std::int32_t x, std::int32_t y, std::int32_t layer) {
  if (!map.contains(x, y, layer)) raise(state, cellText(x, y, layer));
}

int mapToString(lua_State* state) {
  const auto& map = checkShared<Map>(state, 1);
  lua_pushfstring(state, "vorlane.Map: %d x %d x %d", static_cast<int>(map->width), static_cast<int>(map->height),
                  static_cast<int>(map->depth));
  return 1;
}

// m:cell(x, y, layer) -> the tile, or nil (also outside the map)
int cell(lua_State* state) {
  const auto& map = checkShared<Map>(state, 1);
  pushShared(state, map->cell(checkInt32(state, 2), checkInt32(state, 3), checkInt32(state, 4)));
  return 1;
}

// m:setCell(x, y, layer, tile or nil)
int setCell(lua_State* state) {
  const auto& map = checkShared<Map>(state, 1);
  const std::int32_t x = checkInt32(state, 2), y = checkInt32(state, 3), layer = checkInt32(state, 4);
  auto tile = optShared<tiles::Tile>(state, 5);
  checkCell(state, *map, x, y, layer);
  map->setCell(x, y, layer, std::move(tile));
  return 0;
}

// m:fillLayer(layer, tile or nil)
int fillLayer(lua_State* state) {
  const auto& map = checkShared<Map>(state, 1);
  const std::int32_t layer = checkInt32(state, 2);
  auto tile = optShared<tiles::Tile>(state, 3);
  checkLayer(state, *map, layer);
  map->fillLayer(layer, tile);
  return 0;
}

// m:line(x0, y0, x1, y1, layer, tile or nil): the Line tool's stepped line. Both ends must
// lie in the map, which also keeps the walk as short as the map is wide.
int line(lua_State* state) {
  const auto& map = checkShared<Map>(state, 1);
  const std::int32_t x0 = checkInt32(state, 2), y0 = checkInt32(state, 3);
  const std::int32_t x1 = checkInt32(state, 4), y1 = checkInt32(state, 5);
  const std::int32_t layer = checkInt32(state, 6);
  auto tile = optShared<tiles::Tile>(state, 7);
  checkCell(state, *map, x0, y0, layer);
  checkCell(state, *map, x1, y1, layer);
  map::paintLine(*map, x0, y0, x1, y1, layer, tile);
  return 0;
}

// m:addLight{x=, y=, layer=, red=, green=, blue=, range=, castShadows=} and
// m:addPivot{x=, y=, layer=, link=} -> the new object, held by the map
template <typename T, std::shared_ptr<T> (*fromTable)(lua_State*, int), void (Map::*add)(std::shared_ptr<const T>)>
int addObject(lua_State* state) {
  const auto& map = checkShared<Map>(state, 1);
  auto object = fromTable(state, 2);
  ((*map).*add)(object);
  pushShared(state, std::move(object));
  return 1;
}

int lights(lua_State* state) {
  const auto& map = checkShared<Map>(state, 1);
  pushArray(state, map->lights, map->lights.size());
  return 1;
}

int pivots(lua_State* state) {
  const auto& map = checkShared<Map>(state, 1);
  pushArray(state, map->pivots, map->pivots.size());
  return 1;
}

// The options beyond the Render window's, as `vorlane-tool bake` takes them.
lighting::Options lightingOptions(lua_State* state, const RenderOptions& options, int tableIndex) {
  lighting::Options lighting;
  if (!(options.intensity >= 0 && options.intensity <= kMaxIntensity))
    raise(state, "render option 'intensity' must lie in 0..1000");
  lighting.intensity = options.intensity;
  lighting.castShadowsFlags = options.castShadowsFlags != 0;
  if (lua_isnoneornil(state, tableIndex) || lua_getfield(state, tableIndex, "ambient") == LUA_TNIL) return lighting;
  const bool isTable = lua_istable(state, -1);
  for (int i = 0; i < 3; ++i) {
    std::int32_t channel = -1;
    if (isTable) {
      lua_rawgeti(state, -1, i + 1);
      if (!toInt32(state, -1, channel)) channel = -1;
      lua_pop(state, 1);
    }
    if (channel < 0 || channel > kMaxAmbient)
      raise(state, "render option 'ambient' must be {red, green, blue}, each in 0..255");
    lighting.ambient[static_cast<std::size_t>(i)] = channel;
  }
  lua_pop(state, 1);
  return lighting;
}

// m:render{width=, height=, soft=, ambient=, intensity=, castShadowsFlags=} -> the lit map,
// as the Render command makes it
int render(lua_State* state) {
  const auto& map = checkShared<Map>(state, 1);
  RenderOptions options;
  if (!lua_isnoneornil(state, 2)) storeFields(state, options, kRenderFields, 2, "ambient");
  const auto lighting = lightingOptions(state, options, 2);
  reserveCells(state, cellBytes(*map), "Not enough memory to render.");
  auto lit = lighting::renderCommand(*map, options.width, options.height, options.soft != 0, {}, lighting);
  if (!lit) raise(state, lit.error());
  pushMap(state, std::move(lit).value());
  return 1;
}

constexpr luaL_Reg kMapMethods[] = {{"cell", guarded<cell>},
                                    {"setCell", guarded<setCell>},
                                    {"fillLayer", guarded<fillLayer>},
                                    {"line", guarded<line>},
                                    {"addLight", guarded<addObject<map::Light, lightFromTable, &Map::addLight>>},
                                    {"addPivot", guarded<addObject<map::Pivot, pivotFromTable, &Map::addPivot>>},
                                    {"lights", guarded<lights>},
                                    {"pivots", guarded<pivots>},
                                    {"render", guarded<render>},
                                    {nullptr, nullptr}};

}  // namespace

void registerMapType(lua_State* state) {
  registerType(state, TypeName<Map>::value, kMapMethods, getFieldOf<Map, kMapFields>, setFieldOf<Map, kMapFields>,
               collectBox, equalBoxes<Map>, mapToString);
}

void pushMap(lua_State* state, map::MapPtr map) {
  const std::uint64_t charge = map ? cellBytes(*map) : 0;
  pushShared(state, std::move(map), charge);
  chargeCells(state, static_cast<std::int64_t>(charge));
}

map::MapPtr toMap(lua_State* state, int index) {
  auto* box = testBox<Map>(state, index);
  return box ? box->object : nullptr;
}

}  // namespace vorlane::script
