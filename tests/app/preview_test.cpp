// The Render window's Lighting options and the live preview.
#include <gmock/gmock.h>

#include "app/preview.h"
#include "lighting/render.h"
#include "edit/commands.h"
#include "shell_fixture.h"

namespace vorlane::test {
namespace {

using platform::kLeftButton;
using platform::kRightButton;

// A 2 × 2 map of 16-pixel cells, two of them painted, one white light at (10, 10).
struct Lighting : ShellTest {
  tiles::TilePtr tile = makeTile();
  void SetUp() override {
    ShellTest::SetUp();
    newMapWithALight({"2", "2", "1", "16", "16"});
    seedMap([&](map::Map& m) {
      m.setCell(0, 0, 0, tile);
      m.setCell(1, 1, 0, tile);
    });
  }
  // A new map of these sizes with a white light added through the context menu at (10, 10).
  void newMapWithALight(const std::vector<std::string>& sizes) {
    newMap(sizes);
    move(g.mapCanvas, 10, 10);
    down(g.mapCanvas, kRightButton);
    tk.chooseMenu(g.contextMenu, app::tagOf("addLight"));
    runScript();
  }
  // The lit pixels of both painted cells.
  static std::vector<std::uint8_t> pixels(const map::Map& lit) {
    if (!lit.cell(0, 0, 0) || !lit.cell(1, 1, 0)) return {};
    std::vector<std::uint8_t> out = lit.cell(0, 0, 0)->image->pixels;
    const auto& more = lit.cell(1, 1, 0)->image->pixels;
    out.insert(out.end(), more.begin(), more.end());
    return out;
  }
  std::vector<std::uint8_t> bake(const lighting::Options& options) const {
    lighting::Settings settings{16, 16, false, lighting::kBlurRadius, options, 1};
    return pixels(*lighting::render(lighting::Snapshot(*shell.currentMap()), settings).value().map);
  }
  std::vector<std::uint8_t> renderButton() {
    tk.setText(g.widthField, "16");
    tk.setText(g.heightField, "16");
    tk.press(g.renderButton);
    runScript();
    std::vector<std::uint8_t> out = pixels(*shell.currentMap());
    EXPECT_TRUE(shell.document().undo());
    return out;
  }
};

TEST_F(Lighting, RenderTakesTheWindowsOptionsReadLikeItsOtherFields) {
  const std::vector<std::uint8_t> plain = bake({});
  EXPECT_EQ(renderButton(), plain);  // untouched fields: the bake as without options

  tk.setText(g.ambientRedField, "10");
  tk.setText(g.ambientGreenField, "300");  // beyond 255
  tk.setText(g.ambientBlueField, "abc");   // no digits
  tk.setText(g.intensityField, " 2.5x");
  tk.setChecked(g.castShadowsFlagsBox, true);
  const std::vector<std::uint8_t> lit = renderButton();
  EXPECT_EQ(lit, bake({{10, 255, 0}, 2.5f, true}));
  EXPECT_NE(lit, plain);

  // Back at the defaults, the bytes are today's again; the options never reach the document.
  tk.setText(g.ambientRedField, "0");
  tk.setText(g.ambientGreenField, "0");
  tk.setText(g.ambientBlueField, "0");
  tk.setText(g.intensityField, "4");
  tk.setChecked(g.castShadowsFlagsBox, false);
  EXPECT_EQ(renderButton(), plain);
}

// The images of the last frame the canvas drew since its recording was reset.
std::vector<const platform::Image*> drawnImages(FakeToolkit& tk, platform::Handle canvas) {
  std::vector<const platform::Image*> out;
  for (const Call& c : tk.recording(canvas).calls) {
    if (c.op == Op::Clear) out.clear();
    if (c.op == Op::Image) out.push_back(c.image);
  }
  return out;
}

struct Preview : Lighting {
  // A tick asks for a bake of what changed; once it finished, the next tick takes and draws it.
  void settle() {
    tk.recording(g.mapCanvas).reset();
    tk.tick();
    runScript();
    if (shell.render().previewBaker()) shell.render().previewBaker()->wait();
    tk.tick();
    runScript();
  }
  std::vector<const platform::Image*> drawn() { return drawnImages(tk, g.mapCanvas); }
  const map::Map& litShown() {
    const auto& lit = shell.render().previewBaker()->shown();
    EXPECT_TRUE(lit) << shell.render().previewBaker()->failure();
    static const auto none = map::Map::create(0, 0, 0, 0, 0);
    return lit ? *lit->map : *none;
  }
};

TEST_F(Preview, BoxKeyAndMenuToggleItWithoutTouchingTheDocument) {
  const std::uint64_t revision = shell.document().revision();
  const std::string undo = shell.document().undoText();
  const bool modified = shell.document().modified();
  tk.toggle(g.previewBox);
  runScript();
  EXPECT_TRUE(shell.render().previewOn());
  tk.key('L', platform::kControl);
  runScript();
  EXPECT_FALSE(shell.render().previewOn());
  EXPECT_FALSE(tk.checked(g.previewBox));
  tk.chooseMenu(g.renderMenu, app::tagOf("togglePreview"));
  settle();
  EXPECT_TRUE(shell.render().previewOn());
  EXPECT_TRUE(tk.checked(g.previewBox));
  EXPECT_EQ(shell.document().revision(), revision);
  EXPECT_EQ(shell.document().undoText(), undo);
  EXPECT_EQ(shell.document().modified(), modified);
}

TEST_F(Preview, EveryChangeBakesAgainAndTheCanvasDrawsTheNewestBakeInPlaceOfTheTiles) {
  tk.setText(g.widthField, "16");
  tk.setText(g.heightField, "16");
  settle();
  EXPECT_THAT(drawn(), ::testing::Each(tile->image.get()));  // off: the source tiles

  tk.toggle(g.previewBox);
  settle();
  const app::PreviewBaker::LitPtr firstBake = shell.render().previewBaker()->shown();
  const map::Map* first = &litShown();
  EXPECT_THAT(drawn(), ::testing::UnorderedElementsAre(first->cell(0, 0, 0)->image.get(),
                                                        first->cell(1, 1, 0)->image.get()));
  EXPECT_EQ(pixels(*first), bake({}));

  // Dragging the light: the newest bake is of the moved light, exactly as Render would bake it.
  move(g.mapCanvas, 10, 10);
  down(g.mapCanvas, kLeftButton);
  move(g.mapCanvas, 28, 26);
  up(g.mapCanvas, kLeftButton);
  settle();
  const app::PreviewBaker::LitPtr secondBake = shell.render().previewBaker()->shown();
  const map::Map* second = &litShown();
  ASSERT_NE(second, first);
  EXPECT_EQ(pixels(*second), bake({}));
  EXPECT_NE(pixels(*second), pixels(*first));
  EXPECT_THAT(drawn(), ::testing::Contains(second->cell(0, 0, 0)->image.get()));

  // Options and undo bake again; a tick with nothing new draws nothing.
  tk.setText(g.ambientRedField, "40");
  tk.tick();
  settle();
  EXPECT_EQ(pixels(litShown()), bake({{40, 0, 0}, lighting::kIntensity, false}));
  tk.recording(g.mapCanvas).reset();
  tk.tick();
  runScript();
  EXPECT_TRUE(drawn().empty());
  tk.setText(g.ambientRedField, "0");
  ASSERT_TRUE(shell.document().undo());  // the move
  settle();
  EXPECT_EQ(pixels(litShown()), pixels(*first));

  tk.toggle(g.previewBox);  // off: the source tiles again
  settle();
  EXPECT_THAT(drawn(), ::testing::Each(tile->image.get()));
  EXPECT_EQ(shell.render().previewBaker()->shown(), nullptr);
}

// A tile's flag set while the preview is on bakes again with the flag as it was when asked.
TEST_F(Preview, TileFlagsBakeAgainFromTheirSnapshot) {
  seedTileset([&](map::Map& ts) { ts.setCell(0, 0, 0, tile); });  // the current tile from the next event on
  tk.setChecked(g.castShadowsFlagsBox, true);
  tk.toggle(g.previewBox);
  settle();
  const app::PreviewBaker::LitPtr before = shell.render().previewBaker()->shown();
  ASSERT_TRUE(before);
  tk.toggle(g.tileShadowsBox);
  settle();
  const app::PreviewBaker::LitPtr after = shell.render().previewBaker()->shown();
  ASSERT_NE(after, before);
  const map::Map& m = *shell.currentMap();
  const std::size_t painted = m.cellIndex(1, 1, 0);
  EXPECT_EQ(before->source.castShadows()[painted], 0);
  EXPECT_EQ(after->source.castShadows()[painted], 1);
  EXPECT_EQ(tile->castShadows, 1);
}

TEST_F(Preview, StatusBarMarksABakeInFlight) {
  tk.setText(g.widthField, "1024");
  tk.setText(g.heightField, "1024");
  tk.toggle(g.previewBox);
  runScript();
  EXPECT_THAT(tk.at(g.mainWindow).status, ::testing::HasSubstr(app::kPreviewBaking));
  settle();
  EXPECT_THAT(tk.at(g.mainWindow).status, ::testing::Not(::testing::HasSubstr(app::kPreviewBaking)));
}

TEST_F(Preview, RenderTurnsItOffAndTheRenderedMapShowsAsItIs) {
  tk.setText(g.widthField, "16");
  tk.setText(g.heightField, "16");
  tk.toggle(g.previewBox);
  settle();
  tk.press(g.renderButton);
  settle();
  EXPECT_FALSE(shell.render().previewOn());
  EXPECT_FALSE(tk.checked(g.previewBox));
  EXPECT_THAT(drawn(), ::testing::Contains(shell.currentMap()->cell(0, 0, 0)->image.get()));
}

// A 40 × 30 map of 16-pixel cells: the 400 × 300 canvas shows a part of it at a time.
struct PreviewOfALargeMap : Preview {
  void SetUp() override {
    ShellTest::SetUp();
    newMapWithALight({"40", "30", "1", "16", "16"});
    seedMap([&](map::Map& m) { m.fillLayer(0, tile); });
    tk.recording(g.mapCanvas).resize(400, 300);
    shell.mapView().zoom = 1;
    shell.mapView().scrollX = shell.mapView().scrollY = 0;
    tk.setText(g.widthField, "16");
    tk.setText(g.heightField, "16");
  }
  static lighting::CellRegion region(const app::PreviewBaker::LitPtr& lit) {
    return lit && lit->settings.region ? *lit->settings.region : lighting::CellRegion{-1, -1, -1, -1};
  }
};

TEST_F(PreviewOfALargeMap, LightsTheCellsShownAndTheRestOnceScrolledTo) {
  tk.toggle(g.previewBox);
  settle();
  app::PreviewBaker& baker = *shell.render().previewBaker();
  const app::PreviewBaker::LitPtr first = baker.shown();
  // The draw pass takes columns 0–25 and rows 0–19; one more of each is lit beside them.
  EXPECT_EQ(region(first), (lighting::CellRegion{0, 0, 27, 21}));
  ASSERT_TRUE(first && baker.shownTiles());
  EXPECT_NE(first->map->cell(26, 20, 0), nullptr);
  EXPECT_EQ(first->map->cell(27, 0, 0), nullptr);
  // Cells not lit yet draw as their tiles do without the preview.
  EXPECT_EQ(baker.shownTiles()->cell(27, 0, 0), tile);
  EXPECT_EQ(baker.shownTiles()->cell(26, 20, 0), first->map->cell(26, 20, 0));

  // Within the lit margin: no new bake.
  map::scroll(shell.mapView(), 8, 8);
  settle();
  EXPECT_EQ(baker.shown(), first);

  // Ten columns on: a new bake lights the cells now shown and keeps those lit before.
  map::scroll(shell.mapView(), 152, -8);
  settle();
  const app::PreviewBaker::LitPtr second = baker.shown();
  ASSERT_NE(second, first);
  EXPECT_EQ(region(second), (lighting::CellRegion{9, 0, 37, 21}));
  EXPECT_TRUE(second->isLit(0, 0));
  EXPECT_TRUE(second->isLit(36, 20));
  EXPECT_FALSE(second->isLit(37, 0));
  EXPECT_EQ(second->map->cell(0, 0, 0), first->map->cell(0, 0, 0));
  EXPECT_EQ(pixels(*second->map), bake({}));

  // A light moved: only the shown cells are lit again.
  const map::LightPtr moved = shell.currentMap()->lights[0];
  shell.document().push(edit::moveObjects(moved, {moved->x + 20, moved->y}, nullptr, {}));
  settle();
  const app::PreviewBaker::LitPtr third = baker.shown();
  ASSERT_NE(third, second);
  EXPECT_FALSE(third->isLit(0, 0));
  EXPECT_EQ(third->map->cell(0, 0, 0), nullptr);
  EXPECT_TRUE(third->isLit(9, 0));
}

// Zoomed out, the preview lights one point for each power-of-two square of map pixels a
// canvas pixel covers, says so in the status bar, and draws its picture over the shown cells.
TEST_F(PreviewOfALargeMap, ZoomedOutItLightsAtTheCanvasDensityAndSaysSo) {
  struct Case {
    float zoom;
    std::int32_t density;
  };
  for (const Case c : {Case{0.5f, 2}, Case{0.26f, 2}, Case{0.25f, 4}, Case{0.05f, 16}, Case{1.0f, 1}, Case{0.51f, 1}})
    EXPECT_EQ(app::previewDensity(c.zoom), c.density) << c.zoom;

  tk.toggle(g.previewBox);
  shell.mapView().zoom = 0.25f;
  settle();
  app::PreviewBaker& baker = *shell.render().previewBaker();
  ASSERT_TRUE(baker.shown());
  const map::CellPicture* picture = baker.shownPicture();
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->density, 4);
  // The whole 40 × 30 map is on the canvas: one picture of 4 × 4 points a cell.
  EXPECT_EQ(std::tie(picture->column0, picture->row0, picture->column1, picture->row1), std::make_tuple(0, 0, 40, 30));
  ASSERT_EQ(picture->layers.size(), 1u);
  EXPECT_EQ(picture->layers[0]->width, 160);
  EXPECT_THAT(drawn(), ::testing::Contains(picture->layers[0].get()));
  EXPECT_THAT(tk.at(g.mainWindow).status, ::testing::HasSubstr("preview at 1/4 density"));

  // Back at zoom 1: the bake's own tiles again, and no mark.
  shell.mapView().zoom = 1;
  settle();
  EXPECT_EQ(baker.shownPicture(), nullptr);
  EXPECT_THAT(tk.at(g.mainWindow).status, ::testing::Not(::testing::HasSubstr("density")));
}

// The baker alone: a newer request cancels the bake in flight, clear forgets everything.
TEST(PreviewBaker, TheNewestRequestWinsAndClearDropsWhatIsInFlight) {
  auto big = map::Map::create(64, 64, 1, 32, 32);
  auto tile = std::make_shared<tiles::Tile>();
  tile->image = std::make_shared<platform::Image>(solidImage(32, 32, 100, 100, 100));
  big->fillLayer(0, tile);
  for (int k = 0; k < 4; ++k) big->addLight(map::Light::createLight(100.0f * k, 50, 1, 255, 255, 255));
  const lighting::Settings slow{1024, 1024, true, lighting::kBlurRadius, {}, 1};
  const lighting::Settings quick{16, 16, false, lighting::kBlurRadius, {}, 1};

  app::PreviewBaker baker;
  int owner1 = 0, owner2 = 0;
  baker.request(lighting::Snapshot(*big), slow, &owner1);
  baker.request(lighting::Snapshot(*big), quick, &owner2);
  baker.wait();
  ASSERT_TRUE(baker.poll());
  EXPECT_EQ(baker.shownOwner(), &owner2);
  EXPECT_EQ(baker.shown()->width, 16);
  EXPECT_FALSE(baker.busy());

  baker.request(lighting::Snapshot(*big), slow, &owner1);
  EXPECT_TRUE(baker.busy());
  baker.clear();
  baker.wait();
  EXPECT_FALSE(baker.poll());
  EXPECT_EQ(baker.shown(), nullptr);
  EXPECT_FALSE(baker.busy());
}

}  // namespace
}  // namespace vorlane::test
