// vorlane-tool bake on TMX and TMJ maps: the peer's renderer draws the map baked in place as
// the png command draws the project bake of the same map, and the document comes back whole.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <nlohmann/json.hpp>

#include "formats/samples.h"
#include "platform/decode.h"
#include "support/tool_run.h"

namespace vorlane::formats::test {
namespace {

namespace fs = std::filesystem;
using vorlane::test::runProgram;
using vorlane::test::runTool;

std::string quoted(const std::string& path) { return "'" + path + "'"; }

void writeText(const std::string& path, const std::string& text) {
  vorlane::test::writeFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

std::string readText(const std::string& path) {
  const auto bytes = vorlane::test::readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

platform::Image readPng(const std::string& path) {
  auto decoded = platform::decodeByContent(vorlane::test::readFile(path));
  EXPECT_TRUE(decoded) << path;
  return decoded ? decoded->image : platform::Image{};
}

// Two 4 × 4 tiles of distinct opaque pixels, and a normal map that leans every way, so a
// flip that goes wrong shows in the picture and in the light.
void writeGradientTiles(const TempDir& dir) {
  platform::Image image = vorlane::test::patternImage(8, 4);
  platform::Image normals(8, 4);
  for (std::int32_t y = 0; y < 4; ++y)
    for (std::int32_t x = 0; x < 8; ++x) {
      image.at(x, y)[3] = 255;
      const std::uint8_t n[4] = {200, static_cast<std::uint8_t>(40 + 50 * y), static_cast<std::uint8_t>(30 + 25 * x), 255};
      std::memcpy(normals.at(x, y), n, 4);
    }
  vorlane::test::writeFile(dir.file("grad.png"), vorlane::test::encodePng(image));
  vorlane::test::writeFile(dir.file("NMgrad.bmp"), vorlane::test::encodeBmp(normals));
}

constexpr const char* kLight =
    R"(<objectgroup id="9" name="Lamps"><object id="1" type="light" x="1" y="5"><point/></object></objectgroup>)";

std::string tmxMap(const std::string& attributes, const std::string& tileset, const std::string& layers) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map version=\"1.10\" orientation=\"orthogonal\" "
         "renderorder=\"right-down\" tilewidth=\"4\" tileheight=\"4\" " +
         attributes + " nextlayerid=\"10\" nextobjectid=\"2\">\n" + tileset + layers + kLight + "\n</map>\n";
}

constexpr const char* kGradTileset =
    R"(<tileset firstgid="1" name="grad" tilewidth="4" tileheight="4" tilecount="2" columns="2">)"
    R"(<image source="grad.png" width="8" height="4"/>)"
    R"(<tile id="1" type="fence"><properties><property name="solid" type="bool" value="true"/></properties>)"
    R"(<objectgroup draworder="index"><object id="1" x="0" y="0" width="4" height="2"/></objectgroup></tile></tileset>)";

struct MapCase {
  const char* name;
  const char* file;
  std::string text;  // written into the folder; empty: a map of the peer's examples
};

std::vector<MapCase> smallCases() {
  std::vector<MapCase> cases;
  // Every flip and mix of them, in CSV, and again zlib-compressed.
  cases.push_back({"flips", "flips.tmx",
                   tmxMap("width=\"3\" height=\"2\" infinite=\"0\"", kGradTileset,
                          "<layer id=\"1\" name=\"Ground\" width=\"3\" height=\"2\"><data encoding=\"csv\">\n"
                          "1,2147483649,1073741825,\n536870913,3758096385,2684354562\n</data></layer>\n")});
  // The tileset file was saved when its image held one tile; the map uses the second.
  cases.push_back({"stale tileset", "stale.tmx",
                   tmxMap("width=\"2\" height=\"1\" infinite=\"0\"",
                          R"(<tileset firstgid="1" name="grad" tilewidth="4" tileheight="4" tilecount="1" columns="1">)"
                          R"(<image source="grad.png" width="4" height="4"/></tileset>)",
                          "<layer id=\"1\" name=\"Ground\" width=\"2\" height=\"1\"><data encoding=\"csv\">2,1</data></layer>\n")});
  // Chunks left of and above the origin as the editor writes them (16 × 16 on the grid of
  // 16), and an empty layer as it writes one.
  auto chunk = [](int x, int y, std::uint32_t a, std::uint32_t b) {
    std::string text = "<chunk x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"16\" height=\"16\">\n";
    for (int i = 0; i < 256; ++i) text += std::to_string(i == 17 ? a : i == 18 ? b : 0) + (i == 255 ? "\n" : ",");
    return text + "</chunk>";
  };
  cases.push_back({"infinite", "infinite.tmx",
                   tmxMap("width=\"30\" height=\"20\" infinite=\"1\"", kGradTileset,
                          "<layer id=\"1\" name=\"Ground\" width=\"30\" height=\"20\"><data encoding=\"csv\">" +
                              chunk(-16, -16, 1, 2) + chunk(0, 0, 2u | 0x80000000u, 1) +
                              "</data></layer>\n<layer id=\"2\" name=\"Empty\" width=\"30\" height=\"20\"><data encoding=\"csv\"/></layer>\n")});
  // Before 1.2: properties and tiles as objects; a flipped tile too.
  cases.push_back({"old json", "old.json",
                   R"({"type":"map","version":1,"orientation":"orthogonal","renderorder":"right-down","width":2,"height":1,)"
                   R"("tilewidth":4,"tileheight":4,"infinite":false,"properties":{"music":"calm.ogg"},"propertytypes":{"music":"file"},)"
                   R"("tilesets":[{"firstgid":1,"name":"grad","tilewidth":4,"tileheight":4,"tilecount":2,"columns":2,)"
                   R"("image":"grad.png","imagewidth":8,"imageheight":4,"tiles":{"1":{"type":"fence"}},)"
                   R"("tileproperties":{"1":{"solid":true}},"tilepropertytypes":{"1":{"solid":"bool"}}}],)"
                   R"("layers":[{"type":"tilelayer","name":"Ground","width":2,"height":1,"opacity":1,"visible":true,"x":0,"y":0,)"
                   R"("data":[2147483650,1]},{"type":"objectgroup","name":"Lamps","objects":[{"id":1,"type":"light","x":1,"y":5,"point":true}]}]})"});
  return cases;
}

// The names of layers the peer draws but a lit map does not hold as tiles.
std::vector<std::string> objectLayerNames(const std::string& text) {
  std::vector<std::string> names;
  pugi::xml_document doc;
  if (doc.load_string(text.c_str())) {
    for (pugi::xpath_node n : doc.select_nodes("//objectgroup | //imagelayer")) names.push_back(n.node().attribute("name").value());
    return names;
  }
  names.push_back("Lamps");
  return names;
}

// Two pictures over black, alpha ignored where it is 0.
int differingPixels(const platform::Image& raster, const platform::Image& composite) {
  if (raster.width != composite.width || raster.height != composite.height) return -1;
  int differing = 0;
  for (std::int32_t y = 0; y < raster.height; ++y)
    for (std::int32_t x = 0; x < raster.width; ++x) {
      const std::uint8_t* r = raster.at(x, y);
      const std::uint8_t* c = composite.at(x, y);
      for (int k = 0; k < 3; ++k)
        if ((r[3] ? r[k] : 0) != c[k]) {
          ++differing;
          break;
        }
    }
  return differing;
}

// The document without its tilesets and tile layer data: what must come back unchanged.
std::string withoutTiles(const std::string& text) {
  pugi::xml_document doc;
  if (doc.load_string(text.c_str())) {
    pugi::xml_node map = doc.child("map");
    while (map.child("tileset")) map.remove_child(map.child("tileset"));
    for (pugi::xpath_node n : doc.select_nodes("//layer/data")) n.parent().remove_child(n.node());
    // Paths are moved to the output's folder.
    for (pugi::xpath_node n : doc.select_nodes("//@source | //@template | //property[@type='file']/@value"))
      n.parent().remove_attribute(n.attribute());
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw);
    return out.str();
  }
  nlohmann::json j = nlohmann::json::parse(text);
  j.erase("tilesets");
  std::function<void(nlohmann::json&)> strip = [&](nlohmann::json& parent) {
    for (auto& layer : parent["layers"]) {
      layer.erase("data");
      if (layer.contains("layers")) strip(layer);
    }
  };
  strip(j);
  return j.dump();
}

fs::path examplesFolder() {
  for (const char* dir : {"/usr/share/doc/tiled/examples", "/usr/share/tiled/examples"})
    if (fs::exists(dir)) return dir;
  return {};
}

TEST(ToolBake, InPlaceDrawsAsTheProjectBakeAndKeepsTheDocument) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  TempDir dir;
  writeGradientTiles(dir);
  std::vector<MapCase> cases = smallCases();
  if (const fs::path examples = examplesFolder(); !examples.empty()) {
    fs::copy(examples, dir.path(), fs::copy_options::recursive | fs::copy_options::skip_existing);
    // The peer ships one of them gzipped.
    if (fs::exists(dir.file("orthogonal-outside.tmx.gz"))) {
      ASSERT_EQ(std::system(("gzip -dkf " + quoted(dir.file("orthogonal-outside.tmx.gz"))).c_str()), 0);
    }
    for (const char* map : {"desert.tmx", "sewers.tmx", "perspective_walls.tmx", "orthogonal-outside.tmx", "rpg/island.tmx",
                            "sewer_automap/sewers.tmx"})
      if (fs::exists(dir.file(map))) cases.push_back({map, map, ""});
  } else {
    ADD_FAILURE() << "the peer editor's example maps are not installed (scripts/deps.sh installs them)";
  }
  fs::create_directories(dir.file("lit"));
  for (const MapCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.text.empty()) writeText(dir.file(c.file), c.text);
    const std::string in = quoted(dir.file(c.file));
    const std::string stem = fs::path(c.file).stem().string() + (c.text.empty() ? "_example" : "");
    const std::string out = dir.file("lit/" + stem + fs::path(c.file).extension().string());
    const std::string settings = " --width 64 --height 64 --soft --ambient 10,20,30 --quiet";
    auto baked = runTool(dir, "bake " + in + " -o " + quoted(out) + settings);
    ASSERT_EQ(baked.exitCode, 0) << baked.err;
    ASSERT_EQ(runTool(dir, "import " + in + " --lossy -o " + quoted(dir.file("p.vorl"))).exitCode, 0);
    ASSERT_EQ(runTool(dir, "bake " + quoted(dir.file("p.vorl")) + " -o " + quoted(dir.file("p-lit.vorl")) + settings).exitCode, 0);
    ASSERT_EQ(runTool(dir, "png " + quoted(dir.file("p-lit.vorl")) + " -o " + quoted(dir.file("composite.png"))).exitCode, 0);
    std::string hidden = " --ignore-visibility";
    for (const std::string& name : objectLayerNames(readText(dir.file(c.file)))) hidden += " --hide-layer " + quoted(name);
    const auto raster = runProgram("tmxrasterizer", hidden + " " + quoted(out) + " " + quoted(dir.file("raster.png")), dir);
    ASSERT_EQ(raster.exitCode, 0) << raster.err;
    const platform::Image drawn = readPng(dir.file("raster.png")), composite = readPng(dir.file("composite.png"));
    EXPECT_EQ(differingPixels(drawn, composite), 0) << drawn.width << " x " << drawn.height << " drawn, composite "
                                                    << composite.width << " x " << composite.height;
    EXPECT_EQ(withoutTiles(readText(out)), withoutTiles(readText(dir.file(c.file))));
    EXPECT_TRUE(fs::exists(dir.file("lit/" + stem + "_lit.png")));
  }
}

// Cells keep their flip bits (the lit tile is stored the way its source tile faces), and the
// lit tiles made from the fence carry its class, properties and collision shape.
TEST(ToolBake, LitTilesKeepFlipsPropertiesAndShapes) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  TempDir dir;
  writeGradientTiles(dir);
  const MapCase flips = smallCases()[0];
  writeText(dir.file(flips.file), flips.text);
  auto baked = runTool(dir, "bake " + quoted(dir.file(flips.file)) + " -o " + quoted(dir.file("lit.tmx")) + " --quiet");
  ASSERT_EQ(baked.exitCode, 0) << baked.err;
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(dir.file("lit.tmx").c_str()));
  pugi::xml_node map = doc.child("map");
  ASSERT_EQ(std::distance(map.children("tileset").begin(), map.children("tileset").end()), 1);
  pugi::xml_node tileset = map.child("tileset");
  EXPECT_EQ(std::string(tileset.child("image").attribute("source").value()), "lit_lit.png");
  std::vector<std::uint32_t> gids;
  std::stringstream csv(map.child("layer").child("data").text().get());
  for (std::string n; std::getline(csv, n, ',');) gids.push_back(static_cast<std::uint32_t>(std::stoul(n)));
  const std::uint32_t original[] = {1, 2147483649u, 1073741825u, 536870913u, 3758096385u, 2684354562u};
  ASSERT_EQ(gids.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(gids[i] & 0xE0000000u, original[i] & 0xE0000000u);
    const std::uint32_t id = (gids[i] & 0x1FFFFFFFu) - tileset.attribute("firstgid").as_uint();
    pugi::xml_node tile = tileset.find_child_by_attribute("tile", "id", std::to_string(id).c_str());
    const bool fence = (original[i] & 0x1FFFFFFFu) == 2;
    EXPECT_EQ(std::string(tile.attribute("type").value()), fence ? "fence" : "");
    EXPECT_EQ(std::string(tile.child("properties").child("property").attribute("name").value()), fence ? "solid" : "");
    EXPECT_EQ(static_cast<bool>(tile.child("objectgroup").child("object")), fence);
  }
}

// A refused bake says which file and why, and leaves nothing behind.
TEST(ToolBake, RefusalsNameTheFileAndWriteNothing) {
  TempDir dir;
  writeGradientTiles(dir);
  const MapCase flips = smallCases()[0];
  writeText(dir.file("map.tmx"), flips.text);
  writeText(dir.file("broken.tmx"), flips.text.substr(0, 150));
  vorlane::test::writeFile(dir.file("picture.tmx"), vorlane::test::readFile(dir.file("grad.png")));
  writeText(dir.file("gone.tmx"), replaced(flips.text, "grad.png", "gone.png"));
  struct Case {
    std::string args, error;
  };
  const Case cases[] = {
      {"broken.tmx -o out.tmx", "broken.tmx: broken XML in the map at line "},
      {"picture.tmx -o out.tmx", "picture.tmx: this is not a tile map but binary data"},
      {"gone.tmx -o out.tmx", "cannot open the image"},
      {"absent.tmx -o out.tmx", "absent.tmx: "},
      {"map.tmx -o out.tmj", "out.tmj: a baked map keeps the syntax of its source; name it .tmx"},
      {"map.tmx -o map.tmx", "map.tmx: the lit map would replace the map it is baked from"},
      {"map.tmx -o out.tmx --export", "--export is for projects"},
      {"map.tmx -o nofolder/out.tmx", "nofolder/out.tmx: "},
  };
  runTool(dir, "--help");  // its output files are there from now on
  const auto before = std::distance(fs::directory_iterator(dir.path()), {});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    std::string args;
    std::stringstream words(c.args);
    for (std::string w; words >> w;) args += " " + (w[0] == '-' || w.find('.') == std::string::npos ? w : quoted(dir.file(w)));
    auto run = runTool(dir, "bake" + args + " --quiet");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), before);
  }
}

}  // namespace
}  // namespace vorlane::formats::test
