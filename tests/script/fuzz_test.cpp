// Random calls with random arguments into the module: whatever fails must fail as a Lua
// error, and every map must stay consistent.
#include <lua.hpp>

#include "io/project.h"
#include "lighting/scenes.h"
#include "script_fixture.h"

namespace vorlane::script {
namespace {

// Arguments come from pools of ordinary, edge and wrong values. Paths always point into
// the scratch folder so nothing is written elsewhere.
constexpr const char* kFuzzer = R"lua(
local seed, steps = ...
math.randomseed(seed)
local m0 = vorlane.map
maps = {m0}
local pool = {m0, m0:cell(0, 0, 0), m0:lights()[1], m0:pivots()[1]}
local function pick(t) return t[math.random(#t)] end
local ints = {0, 1, 2, 3, 5, -1, 8, 16, 100, 2^31 - 1, -2^31, 2^31, 2^53, 2^63 - 1}
local small = {0, 1, 2, 3, 4, 5, -1, 7, 2^31 - 1, -2^31, 2^40}
local names = {"x", "y", "layer", "red", "green", "blue", "range", "castShadows", "link", "path",
               "collider", "name", "value", "width", "height", "depth", "tileWidth", "tileHeight",
               "soft", "nothing", 1}
local function value(depth)
  local k = math.random(12)
  if k <= 4 then return pick(ints)
  elseif k == 5 then return math.random() * 20 - 5
  elseif k == 6 then return pick{0/0, 1/0, -1/0, 1e300, -0.0}
  elseif k == 7 then return pick{"", "a", "x,y", "12", string.rep("z", 300), "\xe4"}
  elseif k == 8 then return nil
  elseif k == 9 then return math.random(2) == 1
  elseif k == 10 then return pick(pool)
  elseif k == 11 and (depth or 0) < 1 then
    local t = {}
    for _ = 1, math.random(0, 3) do t[pick(names)] = value(1) end
    return t
  else return math.random(-2, 8) end
end
local function path()
  if math.random(10) == 1 then return pick{nil, true, {}, m0} end
  return dir .. "/" .. pick{"t.png", "sheet.png", "out", "out.vorl", "x.png", "missing.png", "sub", ""}
end
local function keep(result)
  if type(result) == "userdata" then pool[#pool + 1] = result
  elseif type(result) == "table" then for _, v in ipairs(result) do pool[#pool + 1] = v end end
  if #pool > 200 then table.remove(pool, math.random(5, #pool)) end
end
local function target() return math.random(3) == 1 and pick(pool) or pick(maps) end
local calls = {
  function() local m = vorlane.newMap(pick(small), pick(small), pick(small), pick(small), pick(small))
             maps[#maps + 1] = m return m end,
  function() return vorlane.loadTile(path()) end,
  function() return vorlane.scan(path(), pick(small), pick(small)) end,
  function() local m = vorlane.load(path()) maps[#maps + 1] = m return m end,
  function() return vorlane.files(path()) end,
  function() return target():cell(value(), value(), value()) end,
  function() return target():setCell(value(), value(), value(), value()) end,
  function() return target():fillLayer(value(), value()) end,
  function() return target():line(value(), value(), value(), value(), value(), value()) end,
  function() return target():addLight(value()) end,
  function() return target():addPivot(value()) end,
  function() return target():lights() end,
  function() return target():pivots() end,
  function() return target():addRecord(value(), value()) end,
  function() return target():records() end,
  function() local o = target() return o[pick(names)] end,
  function() local o = target() o[pick(names)] = value() end,
  function() return tostring(target()), target() == target() end,
}
-- Writes (synced to disk) and renders are slow, so they come more rarely.
local rare = {
  function() return vorlane.save(path(), target()) end,
  function() return vorlane.export(path(), target()) end,
  function() return vorlane.png(path(), target()) end,
  function() return target():render{width = pick{16, 17, 0, -1, 2^31 - 1}, height = pick{16, 33}, soft = value()} end,
}
for _ = 1, steps do
  local call = math.random(50) == 1 and pick(rare) or pick(calls)
  local ok, result = pcall(call)
  if ok then keep(result) else assert(type(result) == "string", "an error that is not a message") end
end
)lua";

void expectConsistent(const map::Map& m) {
  ASSERT_GE(m.width, 0);
  ASSERT_GE(m.height, 0);
  ASSERT_GE(m.depth, 0);
  ASSERT_EQ(m.cells.size(), static_cast<std::uint64_t>(m.width) * static_cast<std::uint64_t>(m.height) *
                                static_cast<std::uint64_t>(m.depth));
  for (const auto& light : m.lights) ASSERT_TRUE(light);
  for (const auto& pivot : m.pivots) {
    ASSERT_TRUE(pivot);
    ASSERT_GE(pivot->recordCount, 0);
    ASSERT_LE(pivot->recordCount, map::kMaxRecords);
    ASSERT_LE(static_cast<std::size_t>(pivot->recordCount), pivot->records.size());
    for (std::int32_t i = 0; i < pivot->recordCount; ++i) ASSERT_TRUE(pivot->records[static_cast<std::size_t>(i)]);
  }
}

TEST_F(ScriptTest, RandomCallsLeaveEveryMapConsistent) {
  test::writeFile(dir.file("t.png"), test::encodePng(test::patternImage(8, 8)));
  test::writeFile(dir.file("sheet.png"), test::encodePng(test::patternImage(20, 12)));
  test::writeFile(dir.file("NMsheet.bmp"), test::encodeBmp(test::patternImage(20, 12)));
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    auto m = scenes::makeScene({6, 5, 2, 8, 8, {1.0, 0.3}, {{8, 8}}, seed});
    m->addLight(scenes::light(20, 16, 1, 90));
    m->addPivot(map::Pivot::createPivot(3, 4, 0));
    setDocument(m);
    engine.pushNumber(seed);
    engine.pushNumber(2000);
    auto status = engine.run(kFuzzer, "=fuzz");
    ASSERT_TRUE(status.ok()) << "seed " << seed << ": " << status.error();

    lua_State* state = engine.state();
    lua_getglobal(state, "maps");
    const auto count = static_cast<lua_Integer>(lua_rawlen(state, -1));
    for (lua_Integer i = 1; i <= count; ++i) {
      lua_rawgeti(state, -1, i);
      auto held = toMap(state, -1);
      lua_pop(state, 1);
      ASSERT_TRUE(held);
      expectConsistent(*held);
      if (HasFatalFailure()) return;
    }
    lua_settop(state, 0);
    // The document still saves and reads back whole.
    auto saved = io::saveProjectFile(dir.file("check"), *m, {});
    ASSERT_TRUE(saved.ok()) << saved.error();
    auto back = io::loadProjectFile(dir.file("check.vorl"));
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back->map->cells.size(), m->cells.size());
    EXPECT_EQ(back->map->lights.size(), m->lights.size());
    EXPECT_EQ(back->map->pivots.size(), m->pivots.size());
  }
}

}  // namespace
}  // namespace vorlane::script
