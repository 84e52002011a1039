// The vorlane module: each function's main path against the editor's own functions, and
// its errors.
#include <lua.hpp>

#include <algorithm>
#include <filesystem>

#include "io/project.h"
#include "lighting/composite.h"
#include "lighting/render.h"
#include "lighting/scenes.h"
#include "map/tools.h"
#include "platform/decode.h"
#include "script_fixture.h"
#include "tiles/scan.h"

namespace vorlane::script {

void ScriptTest::setGlobal(const char* name, const std::string& value) {
  lua_pushlstring(engine.state(), value.data(), value.size());
  lua_setglobal(engine.state(), name);
}

namespace {

std::shared_ptr<tiles::Tile> namedTile(const std::string& path) {
  auto t = scenes::makeTile({}, 7);
  t->path = path;
  return t;
}

TEST_F(ScriptTest, MapSizesAreReadOnlyAndCellsShareTiles) {
  auto m = map::Map::create(3, 2, 2, 16, 8);
  auto t = namedTile("grass");
  m->setCell(0, 0, 0, t);
  setDocument(m);
  EXPECT_EQ(run("local m = vorlane.map\n"
                "local t = m:cell(0, 0, 0)\n"
                "m:setCell(2, 1, 1, t)\n"
                "m:setCell(0, 0, 0, nil)\n"
                "print(m.width, m.height, m.depth, m.tileWidth, m.tileHeight)\n"
                "print(t.path, m:cell(0, 0, 0), m:cell(2, 1, 1) == t, m:cell(-1, 0, 0), m:cell(0, 0, 2))"),
            (std::vector<std::string>{"3\t2\t2\t16\t8", "grass\tnil\ttrue\tnil\tnil"}));
  EXPECT_EQ(m->cell(2, 1, 1), t);
  EXPECT_EQ(m->cell(0, 0, 0), nullptr);
  EXPECT_NE(fail("vorlane.map.width = 4").find("field 'width' of vorlane.Map is read-only"), std::string::npos);
  EXPECT_EQ(m->width, 3);
}

TEST_F(ScriptTest, TileFieldsWriteThroughToTheSharedTile) {
  auto m = map::Map::create(1, 1, 1, 8, 8);
  auto t = namedTile("rock");
  m->setCell(0, 0, 0, t);
  setDocument(m);
  EXPECT_EQ(run("local t = vorlane.map:cell(0, 0, 0)\n"
                "print(t.castShadows, t.collider)\n"
                "t.path = 'stone' t.castShadows = true t.collider = 1\n"
                "print(t.path, t.castShadows, t.collider)"),
            (std::vector<std::string>{"false\tfalse", "stone\ttrue\ttrue"}));
  EXPECT_EQ(t->path, "stone");
  EXPECT_EQ(t->castShadows, 1);
  EXPECT_EQ(t->collider, 1);
}

TEST_F(ScriptTest, FillLayerAndLineAreTheEditorsTools) {
  auto t = namedTile("wall");
  auto want = map::Map::create(7, 5, 2, 8, 8);
  want->fillLayer(1, t);
  map::paintLine(*want, 0, 0, 6, 3, 0, t);
  map::paintLine(*want, 5, 4, 1, 1, 1, nullptr);
  // The tile reaches the script through a cell, as a document's tiles do.
  auto m = map::Map::create(7, 5, 2, 8, 8);
  m->setCell(6, 4, 0, t);
  setDocument(m);
  run("local m = vorlane.map local t = m:cell(6, 4, 0) m:setCell(6, 4, 0, nil)\n"
      "m:fillLayer(1, t) m:line(0, 0, 6, 3, 0, t) m:line(5, 4, 1, 1, 1, nil)");
  for (std::size_t k = 0; k < want->cells.size(); ++k) EXPECT_EQ(m->cells[k], want->cells[k]) << k;
}

TEST_F(ScriptTest, LightsPivotsAndRecordsAreTheMapsOwn) {
  auto m = map::Map::create(4, 4, 2, 16, 16);
  setDocument(m);
  EXPECT_EQ(run("local m = vorlane.map\n"
                "local a = m:addLight{x = 10, y = 20.5, layer = 1, red = 100, range = 50, castShadows = true}\n"
                "local b = m:addLight{}\n"
                "print(b.red, b.green, b.blue, b.range, b.castShadows, b.layer)\n"
                "a.green = 7\n"
                "print(#m:lights(), m:lights()[1] == a, m:lights()[2] == b)\n"
                "local p = m:addPivot{x = 3, y = 4, layer = 1, link = 'door.vorl'}\n"
                "local r = p:addRecord('key', 'gold')\n"
                "p:addRecord('open', 'no')\n"
                "r.value = 'silver'\n"
                "local rs = p:records()\n"
                "print(#m:pivots(), p.link, #rs, rs[1] == r, rs[1].value, rs[2].name)"),
            (std::vector<std::string>{"255.0\t255.0\t255.0\t700.0\tfalse\t0", "2\ttrue\ttrue",
                                      "1\tdoor.vorl\t2\ttrue\tsilver\topen"}));
  ASSERT_EQ(m->lights.size(), 2u);
  const auto& a = *m->lights[0];
  EXPECT_EQ(std::tuple(a.x, a.y, a.layer, a.red, a.green, a.blue, a.range, a.castShadows),
            std::tuple(10.0f, 20.5f, 1, 100.0f, 7.0f, 255.0f, 50.0f, 1));
  ASSERT_EQ(m->pivots.size(), 1u);
  const auto& p = *m->pivots[0];
  EXPECT_EQ(std::tuple(p.x, p.y, p.layer, p.link, p.recordCount), std::tuple(3.0f, 4.0f, 1, std::string("door.vorl"), 2));
  EXPECT_EQ(p.records[0]->value, "silver");
  EXPECT_EQ(fail("local p = vorlane.map:pivots()[1] for i = 1, 300 do p:addRecord('n', 'v') end"),
            std::string("test:1: ") + map::kRecordsFull);
  EXPECT_EQ(m->pivots[0]->recordCount, map::kMaxRecords);
}

TEST_F(ScriptTest, SaveExportAndLoadWriteAndReadWhatTheEditorDoes) {
  auto m = scenes::makeScene({5, 4, 2, 8, 8, {1.0, 0.5}, {{8, 8}}, 3});
  m->addLight(scenes::light(12, 9, 1, 80));
  auto pivot = map::Pivot::createPivot(4, 5, 1);
  pivot->link = "next.vorl";
  pivot->addRecord("a", "b");
  m->addPivot(pivot);
  setDocument(m);
  EXPECT_EQ(run("vorlane.save(dir .. '/level', vorlane.map)\n"
                "vorlane.export(dir .. '/game', vorlane.map)\n"
                "for _, name in ipairs{'level.vorl', 'game.vorl'} do\n"
                "  local m = vorlane.load(dir .. '/' .. name)\n"
                "  local p = m:pivots()[1]\n"
                "  print(m.width, m.height, m.depth, #m:lights(), p.link, p:records()[1].value)\n"
                "end"),
            (std::vector<std::string>{"5\t4\t2\t1\tnext.vorl\tb", "5\t4\t2\t1\tnext.vorl\tb"}));
  // A project carries a tileset section (of no tilesets); an export does not.
  auto project = io::loadProjectFile(dir.file("level.vorl"), io::Accept::projectOnly);
  ASSERT_TRUE(project.ok()) << project.error();
  EXPECT_TRUE(project->tilesets.empty());
  auto exported = io::loadProjectFile(dir.file("game.vorl"), io::Accept::projectOrExport);
  ASSERT_TRUE(exported.ok());
  EXPECT_FALSE(exported->hasTilesetSection);
  EXPECT_EQ(test::readFile(dir.file("game.vorl")).size() + 4, test::readFile(dir.file("level.vorl")).size());
  for (std::size_t k = 0; k < m->cells.size(); ++k) {
    ASSERT_EQ(!m->cells[k], !project->map->cells[k]) << k;
    if (m->cells[k]) {
      EXPECT_EQ(m->cells[k]->image->pixels, project->map->cells[k]->image->pixels);
    }
  }
}

TEST_F(ScriptTest, RenderIsTheRenderCommand) {
  const scenes::SceneShape shape{6, 5, 2, 8, 8, {1.0, 0.4}, {{8, 8}}, 5};
  lighting::Options options;
  options.ambient = {10, 0, 30};
  options.intensity = 2.5f;
  options.castShadowsFlags = true;
  const struct {
    const char* call;
    std::int32_t width, height;
    bool soft;
    lighting::Options options;
  } cases[] = {
      {"render{width = 16, height = 24, soft = true}", 16, 24, true, {}},
      {"render()", 256, 256, false, {}},  // the Render window's defaults
      {"render{width = 3, ambient = {10, 0, 30}, intensity = 2.5, castShadowsFlags = true}", 16, 256, false, options},
  };
  for (const auto& c : cases) {
    auto reference = scenes::makeScene(shape);
    reference->addLight(scenes::light(20, 16, 1, 90));
    auto want = lighting::renderCommand(*reference, c.width, c.height, c.soft, {}, c.options);
    ASSERT_TRUE(want.ok());
    auto m = scenes::makeScene(shape);
    m->addLight(scenes::light(20, 16, 1, 90));
    setDocument(m);
    EXPECT_EQ(run(std::string("local lit = vorlane.map:") + c.call +
                  "\nprint(lit.width, lit.height, lit.depth, #lit:lights(), lit == vorlane.map)\n"
                  "vorlane.map = lit"),
              std::vector<std::string>{"6\t5\t2\t0\tfalse"});
    auto lit = document();
    ASSERT_NE(lit, m);
    for (std::size_t k = 0; k < lit->cells.size(); ++k) {
      ASSERT_EQ(!lit->cells[k], !(*want)->cells[k]) << k;
      if (lit->cells[k]) {
        ASSERT_EQ(lit->cells[k]->image->pixels, (*want)->cells[k]->image->pixels) << c.call << " cell " << k;
      }
    }
  }
}

TEST_F(ScriptTest, PngIsTheToolsComposite) {
  auto m = scenes::makeScene({3, 2, 2, 4, 6, {1.0, 0.5}, {{4, 4}}, 9});
  setDocument(m);
  run("vorlane.png(dir .. '/map.png', vorlane.map)");
  auto decoded = platform::decodePng(test::readFile(dir.file("map.png")));
  ASSERT_TRUE(decoded.ok()) << decoded.error();
  auto want = lighting::compositeMap(*m);
  ASSERT_TRUE(want.ok());
  ASSERT_EQ(std::pair(decoded->image.width, decoded->image.height), std::pair(12, 12));
  for (std::size_t i = 0; i < want->pixels.size(); ++i)
    if (i % 4 != 3) {
      ASSERT_EQ(decoded->image.pixels[i], want->pixels[i]) << i;
    }
}

TEST_F(ScriptTest, LoadTileAndScanFollowTheEditorsRules) {
  test::writeFile(dir.file("grass.png"), test::encodePng(test::patternImage(8, 8)));
  test::writeFile(dir.file("NMgrass.bmp"), test::encodeBmp(test::solidImage(8, 8, 200, 100, 50)));
  test::writeFile(dir.file("sheet.png"), test::encodePng(test::patternImage(20, 12)));
  test::writeFile(dir.file("NMsheet.bmp"), test::encodeBmp(test::patternImage(20, 12)));
  auto want = tiles::Tile::fromFile(dir.file("grass.png"));
  ASSERT_TRUE(want.ok());
  EXPECT_EQ(run("local t = vorlane.loadTile(dir .. '/grass.png')\n"
                "vorlane.map = vorlane.newMap(6, 1, 1, 8, 8)\n"
                "vorlane.map:setCell(0, 0, 0, t)\n"
                "local pieces = vorlane.scan(dir .. '/sheet.png', 8, 8)\n"
                "for i, p in ipairs(pieces) do vorlane.map:setCell(i - 1, 0, 0, i > 1 and p or t) end\n"
                "print(t.path == dir .. '/grass.png', #pieces, pieces[1].path == dir .. '/sheet.png 0')"),
            std::vector<std::string>{"true\t6\ttrue"});
  auto m = document();
  ASSERT_TRUE(m && m->cell(0, 0, 0));
  EXPECT_EQ(m->cell(0, 0, 0)->normalGrid->values, (*want)->normalGrid->values) << "the companion's normals";
  auto source = tiles::loadScanSource(dir.file("sheet.png"));
  auto pieces = tiles::cutImage(*source, 8, 8, dir.file("sheet.png"));
  ASSERT_TRUE(pieces) << pieces.error();
  for (int i = 1; i < 6; ++i)
    EXPECT_EQ(m->cell(i, 0, 0)->image->pixels, (*pieces)[static_cast<std::size_t>(i)]->image->pixels);
}

TEST_F(ScriptTest, FilesListsTheRegularFilesOfAFolder) {
  test::writeFile(dir.file("b.vorl"), {1});
  test::writeFile(dir.file("a.vorl"), {1});
  std::filesystem::create_directory(dir.path() / "sub");
  EXPECT_EQ(run("print(table.concat(vorlane.files(dir), ' '))"), std::vector<std::string>{"a.vorl b.vorl"});
}

// The editor's messages come from the editor's own functions, so they are asked for here.
TEST_F(ScriptTest, ErrorsAreLuaErrorsWithTheEditorsMessages) {
  test::writeFile(dir.file("broken.png"), {1, 2, 3});
  test::writeFile(dir.file("grass.png"), test::encodePng(test::patternImage(4, 4)));
  test::writeFile(dir.file("NMgrass.bmp"), {'B', 'M', 0});
  test::writeFile(dir.file("lone.png"), test::encodePng(test::patternImage(4, 4)));
  test::writeFile(dir.file("junk.vorl"), {9, 9, 9, 9, 9});
  auto m = map::Map::create(3, 2, 1, 8, 8);
  m->addLight(map::Light::createLight(1, 1, 0, 1, 1, 1));
  setDocument(m);
  const std::string none = dir.file("none.vorl");
  const struct {
    std::string text, message;
  } cases[] = {
      {"vorlane.map:setCell(3, 0, 0, nil)", "test:1: Cell (3, 0, 0) is outside the map."},
      {"vorlane.map:setCell(0, 0, -1)", "test:1: Cell (0, 0, -1) is outside the map."},
      {"vorlane.map:fillLayer(1)", "test:1: Layer 1 is outside the map."},
      {"vorlane.map:line(0, 0, 0, 2, 0)", "test:1: Cell (0, 2, 0) is outside the map."},
      {"vorlane.map:cell(0.5, 0, 0)", "number has no integer representation"},
      {"vorlane.map:cell(2^40, 0, 0)", "out of the 32-bit integer range"},
      {"vorlane.map:setCell(0, 0, 0, vorlane.map)", "vorlane.Tile expected, got vorlane.Map"},
      {"vorlane.map.cell(42, 0, 0, 0)", "vorlane.Map expected, got number"},
      {"vorlane.newMap(-1, 1, 1, 8, 8)", "negative size"},
      {"vorlane.newMap(1, 1)", "number expected, got no value"},
      {"vorlane.newMap(65536, 65536, 1, 8, 8)", "test:1: The map is too large to create."},
      {"vorlane.newMap(2147483647, 2147483647, 2147483647, 8, 8)", "The map is too large to create."},
      {"vorlane.loadTile(dir .. '/none.png')", "test:1: Not a valid file."},
      {"vorlane.loadTile(dir .. '/broken.png')", tiles::Tile::fromFile(dir.file("broken.png")).error()},
      {"vorlane.loadTile(dir .. '/grass.png')", tiles::kNormalMapNotFound},
      {"vorlane.scan(dir .. '/lone.png', 0, 8)", tiles::kBadScanTileSize},
      {"vorlane.scan(dir .. '/lone.png', 2, 2)", tiles::kNoNormalMap},
      {"vorlane.save(dir .. '/no/such/folder', vorlane.map)", io::kUnableToOpen},
      {"vorlane.export('', vorlane.map)", "empty path"},
      {"vorlane.load(dir .. '/none.vorl')", io::loadProjectFile(none).error()},
      {"vorlane.load(dir .. '/junk.vorl')", io::loadProjectFile(dir.file("junk.vorl")).error()},
      {"vorlane.png(dir .. '/x.png', vorlane.newMap(0, 0, 0, 8, 8))",
       lighting::compositeMap(*map::Map::create(0, 0, 0, 8, 8)).error()},
      {"vorlane.map:render{width = 9000}", lighting::checkResolution(*m, 9000, 256).error()},
      {"vorlane.map:render{colour = 1}", "render options has no field 'colour'"},
      {"vorlane.map:render{intensity = -1}", "test:1: render option 'intensity' must lie in 0..1000"},
      {"vorlane.map:render{ambient = {1, 2}}", "render option 'ambient' must be {red, green, blue}, each in 0..255"},
      {"vorlane.map:render{ambient = 'red'}", "render option 'ambient' must be"},
      {"vorlane.map:addLight{range = 'far'}",
       "bad value for field 'range' of vorlane.Light (finite number expected, got string)"},
      {"vorlane.map:addLight{x = 0/0}", "bad value for field 'x' of vorlane.Light (finite number expected"},
      {"vorlane.map:addLight{layer = 1.5}", "bad value for field 'layer' of vorlane.Light (32-bit integer expected"},
      {"vorlane.map:addPivot{link = {}}", "bad value for field 'link' of vorlane.Pivot (string expected, got table)"},
      {"vorlane.map:lights()[1].nothing = 1", "vorlane.Light has no field 'nothing'"},
      {"vorlane.map:lights()[1].x = 1e300", "finite number expected"},
      {"vorlane.files(dir .. '/none')", "No such file or directory"},
  };
  for (const auto& c : cases) {
    const std::string message = fail(c.text);
    EXPECT_NE(message.find(c.message), std::string::npos) << c.text << "\n got: " << message;
  }
  EXPECT_EQ(m->width, 3);
  EXPECT_EQ(m->lights.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.png")));
}

TEST_F(ScriptTest, TheDebugLibraryCannotTurnUserdataIntoSomethingElse) {
  auto m = map::Map::create(2, 2, 1, 8, 8);
  m->setCell(0, 0, 0, namedTile("t"));
  setDocument(m);
  // A finalizer called by hand releases the reference once; the userdata then refuses use.
  EXPECT_NE(fail("local m = vorlane.newMap(1, 1, 1, 8, 8)\n"
                 "local gc = debug.getmetatable(m).__gc gc(m) gc(m)\n"
                 "m:cell(0, 0, 0)")
                .find("vorlane.Map expected"),
            std::string::npos);
  // A tile given the map's metatable is still not a map.
  EXPECT_NE(fail("local t = vorlane.map:cell(0, 0, 0)\n"
                 "debug.setmetatable(t, debug.getmetatable(vorlane.map))\n"
                 "t:setCell(0, 0, 0, nil)")
                .find("vorlane.Map expected"),
            std::string::npos);
  EXPECT_EQ(run("print(getmetatable(vorlane.map))"), std::vector<std::string>{"false"});
}

TEST_F(ScriptTest, MapsHeldTogetherStayWithinTheCellBudget) {
  // 64 × 64 cells take 64 KiB: sixteen of them fill this budget.
  setCellBudget(engine.state(), 1 << 20);
  EXPECT_TRUE(run("for i = 1, 40 do vorlane.newMap(64, 64, 1, 8, 8) end").empty())
      << "maps no longer held are collected to make room";
  EXPECT_EQ(fail("held = {} for i = 1, 40 do held[i] = vorlane.newMap(64, 64, 1, 8, 8) end"),
            std::string("test:1: ") + map::kMapTooLarge);
  EXPECT_EQ(run("print(#held)"), std::vector<std::string>{"16"});
  // Loaded and rendered maps count as well.
  run("vorlane.save(dir .. '/big', held[1])");
  EXPECT_NE(fail("vorlane.load(dir .. '/big.vorl')").find(map::kMapTooLarge), std::string::npos);
  EXPECT_NE(fail("held[1]:render()").find("Not enough memory to render."), std::string::npos);
  run("held = nil");
  EXPECT_EQ(run("print(vorlane.load(dir .. '/big.vorl').width)"), std::vector<std::string>{"64"});
}

}  // namespace
}  // namespace vorlane::script
