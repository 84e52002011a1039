// The `vorlane` module's functions: making maps and tiles, and the file commands.
#include "script/module.h"

#include <algorithm>
#include <filesystem>
#include <lua.hpp>
#include <string>
#include <system_error>
#include <vector>

#include "io/project.h"
#include "lighting/composite.h"
#include "platform/files.h"
#include "script/types.h"
#include "tiles/scan.h"

namespace vorlane::script {

namespace {

using map::Map;

constexpr const char* kDocumentField = "map";

std::string checkPath(lua_State* state, int index) {
  std::string path = checkText(state, index);
  if (path.empty()) luaL_argerror(state, index, "empty path");
  return path;
}

void check(lua_State* state, const base::Status& status) {
  if (!status) raise(state, status.error());
}

// vorlane.newMap(width, height, depth, tileWidth, tileHeight) -> an empty map
int newMap(lua_State* state) {
  std::int32_t sizes[5];
  for (int i = 0; i < 5; ++i) {
    sizes[i] = checkInt32(state, i + 1);
    luaL_argcheck(state, sizes[i] >= 0, i + 1, "negative size");
  }
  const std::uint64_t cells =
      static_cast<std::uint64_t>(sizes[0]) * static_cast<std::uint64_t>(sizes[1]) * static_cast<std::uint64_t>(sizes[2]);
  // Beyond 2^32 cells the byte count could wrap; such a map is refused anyway.
  reserveCells(state, cells >> 32 ? ~std::uint64_t{0} : cells * sizeof(tiles::TilePtr), map::kMapTooLarge);
  map::MapPtr fresh;
  try {
    fresh = Map::create(sizes[0], sizes[1], sizes[2], sizes[3], sizes[4]);
  } catch (const std::length_error&) {
  } catch (const std::bad_alloc&) {
  }
  if (!fresh) raise(state, map::kMapTooLarge);
  pushMap(state, std::move(fresh));
  return 1;
}

// vorlane.loadTile(path) -> a tile with its companion normal map, as Load Tile makes it
int loadTile(lua_State* state) {
  const std::string path = checkPath(state, 1);
  if (!platform::isRegularFile(path)) raise(state, tiles::kNotAValidFile);
  auto tile = tiles::Tile::fromFile(path);
  if (!tile) raise(state, tile.error());
  pushShared(state, std::move(tile).value());
  return 1;
}

// vorlane.scan(path, tileWidth, tileHeight) -> the tiles cut from the image, in reading order
int scan(lua_State* state) {
  const std::string path = checkPath(state, 1);
  const std::int32_t tileWidth = checkInt32(state, 2), tileHeight = checkInt32(state, 3);
  check(state, tiles::checkScanTileSize(tileWidth, tileHeight));
  auto source = tiles::loadScanSource(path);
  if (!source) raise(state, source.error());
  auto pieces = tiles::cutImage(*source, tileWidth, tileHeight, path);
  if (!pieces) raise(state, pieces.error());
  pushArray(state, *pieces, pieces->size());
  return 1;
}

// vorlane.save(path, map): a project with the map section and no tilesets, as Save writes it
int save(lua_State* state) {
  const std::string path = checkPath(state, 1);
  const auto& map = checkShared<Map>(state, 2);
  check(state, io::saveProjectFile(path, *map, {}));
  return 0;
}

// vorlane.export(path, map): the map section alone, as Export Map writes it
int exportMap(lua_State* state) {
  const std::string path = checkPath(state, 1);
  const auto& map = checkShared<Map>(state, 2);
  check(state, io::exportMapFile(path, *map));
  return 0;
}

// vorlane.load(path) -> the map of a project or an export file
int load(lua_State* state) {
  const std::string path = checkPath(state, 1);
  auto project = io::loadProjectFile(path, io::Accept::projectOrExport);
  if (!project) raise(state, project.error());
  reserveCells(state, project->map->cells.size() * sizeof(tiles::TilePtr), map::kMapTooLarge);
  pushMap(state, std::move(project->map));
  return 1;
}

// vorlane.png(path, map): the map drawn as `vorlane-tool png` draws it
int png(lua_State* state) {
  const std::string path = checkPath(state, 1);
  const auto& map = checkShared<Map>(state, 2);
  auto image = lighting::compositeMap(*map);
  if (!image) raise(state, image.error());
  check(state, io::writePngFile(path, *image));
  return 0;
}

// vorlane.files(folder) -> the names of the regular files in it, sorted
int files(lua_State* state) {
  const std::string folder = checkPath(state, 1);
  std::error_code error;
  std::vector<std::string> names;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code ignored;
    if (it->is_regular_file(ignored)) names.push_back(it->path().filename().string());
  }
  if (error) raise(state, folder + ": " + error.message());
  std::sort(names.begin(), names.end());
  lua_createtable(state, static_cast<int>(names.size()), 0);
  for (std::size_t i = 0; i < names.size(); ++i) {
    lua_pushlstring(state, names[i].data(), names[i].size());
    lua_rawseti(state, -2, static_cast<lua_Integer>(i + 1));
  }
  return 1;
}

constexpr luaL_Reg kFunctions[] = {{"newMap", guarded<newMap>}, {"loadTile", guarded<loadTile>},
                                   {"scan", guarded<scan>},     {"save", guarded<save>},
                                   {"export", guarded<exportMap>}, {"load", guarded<load>},
                                   {"png", guarded<png>},       {"files", guarded<files>},
                                   {nullptr, nullptr}};

}  // namespace

int openModule(lua_State* state) {
  openCellBudget(state);
  registerObjectTypes(state);
  registerMapType(state);
  luaL_newlib(state, kFunctions);
  return 1;
}

void setDocumentMap(lua_State* state, map::MapPtr map) {
  luaL_getsubtable(state, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);
  lua_getfield(state, -1, kModuleName);
  if (lua_istable(state, -1)) {
    pushMap(state, std::move(map));
    lua_setfield(state, -2, kDocumentField);
  }
  lua_pop(state, 2);
}

map::MapPtr documentMap(lua_State* state) {
  luaL_getsubtable(state, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);
  lua_getfield(state, -1, kModuleName);
  map::MapPtr map;
  if (lua_istable(state, -1)) {
    lua_getfield(state, -1, kDocumentField);
    map = toMap(state, -1);
    lua_pop(state, 1);
  }
  lua_pop(state, 2);
  return map;
}

}  // namespace vorlane::script
