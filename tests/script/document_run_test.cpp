// A script run on the editor's document: it works on a copy, and a failure changes nothing.
#include "script/document_run.h"

#include <gtest/gtest.h>

#include "base/console.h"
#include "lighting/scenes.h"
#include "support/fixtures.h"
#include "support/own_parts.h"

namespace vorlane::script {
namespace {

class DocumentRunTest : public ::testing::Test {
 protected:
  DocumentRunTest() {
    doc = scenes::makeScene({4, 3, 2, 8, 8, {1.0, 0.0}, {{8, 8}}, 2});
    doc->addLight(scenes::light(10, 10, 0, 100));
    auto pivot = map::Pivot::createPivot(1, 2, 0);
    pivot->addRecord("a", "b");
    doc->addPivot(pivot);
  }

  base::Result<DocumentRun> run(const std::string& text, const std::function<bool()>& offerStop = [] { return false; },
                                const Clock& now = std::chrono::steady_clock::now) {
    test::writeFile(script, {text.begin(), text.end()});
    return runOnDocument(engine, script, *doc, offerStop, now);
  }

  test::TempDir dir;
  const std::string script = dir.file("job.lua");
  base::ConsoleCapture console;
  ScriptEngine engine;
  map::MapPtr doc;
};

TEST_F(DocumentRunTest, TheScriptEditsACopy) {
  const auto tile = doc->cell(0, 0, 0);
  auto result = run("local m = vorlane.map\n"
                    "m:setCell(0, 0, 0, nil)\n"
                    "m:lights()[1].red = 1\n"
                    "m:pivots()[1]:records()[1].value = 'c'\n"
                    "m:addLight{x = 3}\n");
  ASSERT_TRUE(result.ok()) << result.error();
  const auto& m = *result->map;
  EXPECT_NE(result->map, doc);
  EXPECT_EQ(m.cell(0, 0, 0), nullptr);
  EXPECT_EQ(m.cell(1, 0, 0), doc->cell(1, 0, 0)) << "cells share the tiles";
  EXPECT_EQ(std::pair(m.lights.size(), m.lights[0]->red), std::pair(std::size_t{2}, 1.0f));
  EXPECT_EQ(m.pivots[0]->records[0]->value, "c");
  // The document is as it was.
  EXPECT_EQ(doc->cell(0, 0, 0), tile);
  EXPECT_EQ(std::pair(doc->lights.size(), doc->lights[0]->red), std::pair(std::size_t{1}, 255.0f));
  EXPECT_EQ(doc->pivots[0]->records[0]->value, "b");
  EXPECT_TRUE(result->tiles.empty());
}

TEST_F(DocumentRunTest, AScriptMayHandBackAnotherMap) {
  auto result = run("vorlane.map = vorlane.newMap(2, 2, 1, 16, 16)");
  ASSERT_TRUE(result.ok()) << result.error();
  EXPECT_EQ(result->map->width, 2);
  EXPECT_EQ(run("vorlane.map = nil")->map, nullptr);
}

// Only what the script changed comes back: the map when it differs from the document's, the
// document's tiles with their new fields. The document and its tiles stay as they were.
TEST_F(DocumentRunTest, WhatTheScriptChangedComesBackAndTheDocumentKeepsItsTiles) {
  const auto tile = test::writable(doc->cell(0, 0, 0));
  tile->collider = 1;
  const std::string path = tile->path;
  auto result = run("local t = vorlane.map:cell(0, 0, 0) t.castShadows = true t.collider = false t.path = 'r.png'");
  ASSERT_TRUE(result.ok()) << result.error();
  EXPECT_EQ(result->map, nullptr) << "the cells still hold the same tiles";
  ASSERT_EQ(result->tiles.size(), 1u);
  EXPECT_EQ(result->tiles[0].tile, tile);
  EXPECT_EQ(std::tuple(result->tiles[0].path, result->tiles[0].castShadows, result->tiles[0].collider),
            std::tuple(std::string("r.png"), 1, 0));
  EXPECT_EQ(std::tuple(tile->path, tile->castShadows, tile->collider), std::tuple(path, 0, 1));

  for (const char* unchanged : {"print('hello')", "local m = vorlane.map m:lights()[1].red = 255"}) {
    auto none = run(unchanged);
    ASSERT_TRUE(none.ok()) << none.error();
    EXPECT_FALSE(none->changed()) << unchanged;
  }
  auto moved = run("local m = vorlane.map m:setCell(1, 0, 1, m:cell(0, 0, 0))");
  ASSERT_TRUE(moved.ok()) << moved.error();
  ASSERT_NE(moved->map, nullptr);
  EXPECT_EQ(moved->map->cell(1, 0, 1), tile) << "the document's own tile, not the script's copy";
  EXPECT_TRUE(moved->tiles.empty());
}

TEST_F(DocumentRunTest, AFailureLeavesTheDocumentsTilesAsTheyWere) {
  const auto tile = doc->cell(0, 0, 0);
  const std::string path = tile->path;
  const struct {
    const char* text;
    std::string message;
  } cases[] = {
      {"local t = vorlane.map:cell(0, 0, 0) t.castShadows = true t.path = 'x'\nerror('bad')", script + ":2: bad"},
      {"vorlane.map:cell(0, 0, 0).collider = true os.exit(0)", kExitInEditor},
  };
  for (const auto& c : cases) {
    auto result = run(c.text);
    ASSERT_FALSE(result.ok()) << c.text;
    EXPECT_NE(result.error().find(c.message), std::string::npos) << result.error();
    EXPECT_EQ(std::tuple(tile->path, tile->castShadows, tile->collider), std::tuple(path, 0, 0)) << c.text;
  }
}

TEST_F(DocumentRunTest, ARunawayScriptIsOfferedToStopEveryFewSeconds) {
  // Each look at the clock is a second later.
  auto t = std::chrono::steady_clock::time_point{};
  const Clock clock = [&] { return t += std::chrono::seconds(1); };
  std::vector<std::chrono::steady_clock::time_point> offers;
  auto result = run(
      "while true do end", [&] {
        offers.push_back(t);
        return offers.size() == 2;
      },
      clock);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(), script + ":1: " + kScriptStopped);
  ASSERT_EQ(offers.size(), 2u);
  EXPECT_GE(offers[0] - std::chrono::steady_clock::time_point{}, kOfferStopAfter);
  EXPECT_GE(offers[1] - offers[0], kOfferStopAfter);
  EXPECT_TRUE(run("x = 1").ok()) << "the engine runs the next script";
}

}  // namespace
}  // namespace vorlane::script
