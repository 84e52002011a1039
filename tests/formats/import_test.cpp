// Importing TMX and TMJ maps: every data encoding, embedded and external tilesets, what
// cannot be held, and broken files.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "formats/flips.h"
#include "formats/samples.h"
#include "lighting/render.h"

namespace vorlane::formats::test {
namespace {

using Syntax = std::string (*)(const SampleParts&);

struct Variant {
  const char* name;
  Syntax text;
  const char* file;
};
const Variant kVariants[] = {{"tmx", sampleTmx, "map.tmx"}, {"tmj", sampleTmj, "map.tmj"}};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

base::Result<Imported> importText(const TempDir& dir, const Variant& v, const std::string& text, bool lossy = false) {
  vorlane::test::writeFile(dir.file(v.file), std::vector<std::uint8_t>(text.begin(), text.end()));
  return importMapFile(dir.file(v.file), {lossy});
}

TEST(Import, SampleInEverySyntaxAndEncoding) {
  TempDir dir;
  writeSampleFiles(dir);
  for (const Variant& v : kVariants)
    for (Encoding e : {Encoding::csv, Encoding::base64, Encoding::zlib, Encoding::gzip, Encoding::zstd}) {
      SCOPED_TRACE(std::string(v.name) + " " + std::string(encodingName(e)));
      SampleParts parts;
      parts.encoding = e;
      auto imported = importText(dir, v, v.text(parts));
      ASSERT_TRUE(imported) << imported.error();
      expectSample(*imported);
    }
}

TEST(Import, OldestTmxDataFormOfOneElementPerTile) {
  TempDir dir;
  writeSampleFiles(dir);
  SampleParts parts;
  for (int layer = 0; layer < 2; ++layer) {
    parts.layerData[layer] = "<data>";
    for (std::uint32_t gid : kLayers[layer]) parts.layerData[layer] += "<tile gid=\"" + std::to_string(gid) + "\"/>";
    parts.layerData[layer] += "</data>";
  }
  auto imported = importText(dir, kVariants[0], sampleTmx(parts));
  ASSERT_TRUE(imported) << imported.error();
  expectSample(*imported);
}

// Each case adds something Vorlane cannot hold: refused with the list, or imported without it.
TEST(Import, WhatCannotBeHeldIsRefusedOrLeftOutAndListed) {
  TempDir dir;
  writeSampleFiles(dir);
  std::string manyTilesets;
  for (int i = 0; i < 255; ++i) manyTilesets += " <tileset firstgid=\"" + std::to_string(100 + i) + "\" source=\"things.tsx\"/>\n";
  auto with = [](Syntax syntax, std::function<void(SampleParts&)> f) {
    return [syntax, f] {
      SampleParts p;
      f(p);
      return syntax(p);
    };
  };
  struct Case {
    const char* name;
    int variant;  // 0 tmx, 1 tmj
    std::function<std::string()> text;
    std::string listed;
  };
  const Case cases[] = {
      {"isometric", 0, [] { return replaced(sampleTmx(), "\"orthogonal\"", "\"isometric\""); }, "isometric orientation"},
      {"hexagonal turn", 1, with(sampleTmj, [](SampleParts& p) { p.layerData[1] = R"("data":[0,268435462,0,0,1,0])"; }),
       "hexagonal turns"},
      // Strict imports once dropped these silently.
      {"layer name", 0, [] { return replaced(sampleTmx(), "name=\"Layer 2\"", "name=\"Ground\""); }, "names of tile layers"},
      {"layer name (json)", 1, [] { return replaced(sampleTmj(), "\"name\":\"Layer 1\"", "\"name\":\"Ground\""); },
       "names of tile layers"},
      {"group", 0,
       with(sampleTmx, [](SampleParts& p) { p.extra = " <group id=\"8\" name=\"Deco\"><objectgroup id=\"9\"/></group>\n"; }),
       "layer groups"},
      {"group (json)", 1, with(sampleTmj, [](SampleParts& p) { p.extra = R"(,{"type":"group","name":"Deco","layers":[]})"; }),
       "layer groups"},
      {"object type", 0, [] { return replaced(sampleTmx(), "name=\"door.lua\"", "name=\"door.lua\" type=\"Door\""); },
       "types of objects"},
      {"typed property", 1,
       [] { return replaced(sampleTmj(), R"({"name":"a","type":"string","value":"1"})", R"({"name":"a","type":"int","value":1})"); },
       "types of object properties"},
      {"animation", 0,
       with(sampleTmx,
            [](SampleParts& p) {
              p.tilesetExtra = "<tile id=\"0\"><animation><frame tileid=\"1\" duration=\"100\"/></animation></tile>";
            }),
       "tile animations"},
      {"image layer", 0, with(sampleTmx, [](SampleParts& p) { p.extra = " <imagelayer id=\"9\" name=\"Sky\"/>\n"; }),
       "image layer 'Sky'"},
      {"image layer (json)", 1, with(sampleTmj, [](SampleParts& p) { p.extra = R"(,{"type":"imagelayer","name":"Sky"})"; }),
       "image layer 'Sky'"},
      {"more than 255 tilesets", 0,
       with(sampleTmx, [&](SampleParts& p) { p.tilesetExtra = "</tileset>\n" + manyTilesets + "<tileset firstgid=\"999\" name=\"x\">"; }),
       "past the 255"},
      {"layer opacity", 1,
       with(sampleTmj,
            [](SampleParts& p) {
              p.extra = R"(,{"type":"tilelayer","name":"Fog","width":3,"height":2,"opacity":0.5,"data":[0,0,0,0,0,0]})";
            }),
       "opacity of tilelayer 'Fog'"},
      {"rectangles", 0,
       with(sampleTmx,
            [](SampleParts& p) {
              p.extra = " <objectgroup><object id=\"7\" x=\"1\" y=\"1\" width=\"3\" height=\"3\"/></objectgroup>\n";
            }),
       "not points"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Variant& v = kVariants[c.variant];
    const std::string text = c.text();
    auto refused = importText(dir, v, text);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().find(kCannotHold), dir.file(v.file).size() + 2) << refused.error();
    EXPECT_NE(refused.error().find(c.listed), std::string::npos) << refused.error();
    auto lossy = importText(dir, v, text, true);
    ASSERT_TRUE(lossy) << lossy.error();
    bool listed = false;
    for (const auto& item : lossy->leftOut) listed = listed || item.find(c.listed) != std::string::npos;
    EXPECT_TRUE(listed);
    EXPECT_EQ(lossy->map->width, 3);
  }
}

// Each flip of GID 2 (red) on the second layer: a copy of the tile turned with its normal
// map (the sample's is (200, 100, 50) everywhere: z, y up, x).
TEST(Import, FlippedCellsHoldTurnedCopiesOfTheirTile) {
  TempDir dir;
  writeSampleFiles(dir);
  struct Case {
    std::uint32_t flags;
    std::vector<int> normal;
  };
  const Case cases[] = {
      {0x80000000u, {200, 100, 205, 255}},  // mirrored left-right: x negated
      {0x40000000u, {200, 155, 50, 255}},   // top-bottom: y negated
      {0x20000000u, {200, 205, 155, 255}},  // transposed: x := -y, y := -x
      {0xE0000000u, {200, 50, 100, 255}},   // all three: transposed, then both mirrors
  };
  for (const Case& c : cases)
    for (const Variant& v : kVariants) {
      SCOPED_TRACE(std::string(v.name) + " " + std::to_string(c.flags >> 29));
      SampleParts parts;
      const std::string gid = std::to_string(c.flags | 2u);
      parts.layerData[1] = v.file == std::string("map.tmx") ? "<data encoding=\"csv\">0," + gid + ",0,0,1," + gid + "</data>"
                                                           : "\"data\":[0," + gid + ",0,0,1," + gid + "]";
      auto imported = importText(dir, v, v.text(parts));
      ASSERT_TRUE(imported) << imported.error();
      const map::Map& m = *imported->map;
      const tiles::TilePtr& flipped = m.cell(1, 0, 1);
      ASSERT_TRUE(flipped);
      EXPECT_EQ(flipped, m.cell(2, 1, 1));  // one copy per flipped GID
      EXPECT_NE(flipped, m.cell(1, 0, 0));
      EXPECT_EQ(flipped->castShadows, 1);  // the flags come along
      const std::uint8_t* n = flipped->normalGrid->at(2, 1);
      EXPECT_EQ(std::vector<int>(n, n + 4), c.normal);
      EXPECT_EQ(flipped->image->pixels, m.cell(1, 0, 0)->image->pixels);  // a solid tile looks the same
    }
}

// The pixels move as the peer draws the flags: transposed first, then mirrored.
TEST(Import, FlipsMovePixelsInTheOrderTheEditorsDrawThem) {
  const platform::Image source = vorlane::test::patternImage(3, 2);
  auto pixel = [](const platform::Image& image, int x, int y) { return std::vector<int>(image.at(x, y), image.at(x, y) + 4); };
  struct Case {
    std::uint32_t flags;
    int width, height;
    int x, y;  // where the source's pixel (0, 1) lands
  };
  const Case cases[] = {{0x80000000u, 3, 2, 2, 1}, {0x40000000u, 3, 2, 0, 0}, {0x20000000u, 2, 3, 1, 0},
                        {0xA0000000u, 2, 3, 0, 0}, {0x60000000u, 2, 3, 1, 2}, {0xE0000000u, 2, 3, 0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags >> 29);
    const platform::Image flipped = flipImage(source, c.flags);
    ASSERT_EQ(flipped.width, c.width);
    ASSERT_EQ(flipped.height, c.height);
    EXPECT_EQ(pixel(flipped, c.x, c.y), pixel(source, 0, 1));
    EXPECT_EQ(flipImage(flipped, c.flags, true).pixels, source.pixels);
  }
}

// The normal map turns with the picture: a flipped tile lit from one side looks as the tile
// lit from the mirrored side, mirrored. Up to one step of rounding, as 2b/255 - 1 and its
// negation 2(255 - b)/255 - 1 need not round alike in 32 bits.
TEST(Import, FlippedTileLightsAsTheFlippedPicture) {
  platform::Image picture(8, 8), normals(8, 8);
  for (std::int32_t y = 0; y < 8; ++y)
    for (std::int32_t x = 0; x < 8; ++x) {
      const std::uint8_t c[4] = {200, 180, 160, 255};
      const std::uint8_t n[4] = {190, static_cast<std::uint8_t>(60 + 17 * y), static_cast<std::uint8_t>(40 + 23 * x), 255};
      std::memcpy(picture.at(x, y), c, 4);
      std::memcpy(normals.at(x, y), n, 4);
    }
  tiles::Tile tile;
  ASSERT_TRUE(tile.setImages(std::make_shared<platform::Image>(picture), &normals));
  auto litAlone = [](const tiles::TilePtr& t, float lx, float ly) {
    auto m = map::Map::create(1, 1, 1, 8, 8);
    m->cells[0] = t;
    m->addLight(map::Light::createLight(lx, ly, 0, 255, 200, 150));
    lighting::Settings settings;
    auto lit = lighting::render(lighting::Snapshot(*m), settings);
    EXPECT_TRUE(lit);
    return lit ? *lit->map->cells[0]->image : platform::Image{};
  };
  struct Case {
    std::uint32_t flags;
    float lx, ly;          // the light on the flipped tile
    float mx, my;          // the mirrored light on the tile itself
  };
  const Case cases[] = {{kFlipHorizontal, -20, 3, 27, 3}, {kFlipVertical, 2, -20, 2, 27}, {kFlipDiagonal, -20, 5, 5, -20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags >> 29);
    const platform::Image flippedLit = litAlone(flippedTile(tile, c.flags), c.lx, c.ly);
    const platform::Image mirrored = flipImage(litAlone(std::make_shared<tiles::Tile>(tile), c.mx, c.my), c.flags);
    ASSERT_EQ(flippedLit.pixels.size(), mirrored.pixels.size());
    int worst = 0;
    for (std::size_t i = 0; i < mirrored.pixels.size(); ++i)
      worst = std::max(worst, std::abs(int(flippedLit.pixels[i]) - int(mirrored.pixels[i])));
    EXPECT_LE(worst, 1);
    EXPECT_NE(flippedLit.pixels, litAlone(std::make_shared<tiles::Tile>(tile), c.lx, c.ly).pixels);  // the light does differ
  }
}

TEST(Import, BadFilesGiveAClearError) {
  TempDir dir;
  writeSampleFiles(dir);
  vorlane::test::writeFile(dir.file("broken.tsx"), {'<', 't', 'i'});
  std::string bomb;  // 1 MiB of zeros where 6 GIDs (24 bytes) belong
  {
    std::vector<std::uint32_t> zeros(1 << 18, 0);
    encodeGids(zeros, 0, Encoding::zlib, bomb);
  }
  std::string zstdBomb;
  {
    std::vector<std::uint32_t> zeros(1 << 18, 0);
    encodeGids(zeros, 0, Encoding::zstd, zstdBomb);
  }
  struct Case {
    const char* name;
    int variant;
    std::function<std::string()> text;
    std::string error;
  };
  auto tmx = [](std::function<void(SampleParts&)> f) {
    return [f] {
      SampleParts p;
      f(p);
      return sampleTmx(p);
    };
  };
  auto tmj = [](std::function<void(SampleParts&)> f) {
    return [f] {
      SampleParts p;
      f(p);
      return sampleTmj(p);
    };
  };
  const Case cases[] = {
      {"broken XML", 0, [] { return sampleTmx().substr(0, 300); },
       "map.tmx: broken XML in the map at line 3, column 96: an attribute is not written as name=\"value\""},
      {"broken JSON", 1, [] { return sampleTmj().substr(0, 300); }, "map.tmj: broken JSON in the map at line 1, column 301: the text breaks off"},
      {"stray JSON", 1, [] { return std::string("{\n \"type\": map}"); }, "at line 2, column 10: this is not where JSON allows it"},
      // The extension decides: a JSON text under .tmx is not read as JSON.
      {"JSON named .tmx", 0, [] { return sampleTmj(); }, "map.tmx: broken XML in the map at line 3, column 659: there is no XML element in it"},
      {"a picture named .tmx", 0, [] { return std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16); }, "not a tile map but binary data"},
      {"not a map", 0, [] { return std::string("<tileset/>"); }, "no <map> element"},
      {"missing tileset file", 0, [&] { return replaced(sampleTmx(), "things.tsx", "gone.tsx"); }, "cannot open the tileset file"},
      {"broken tileset file", 0, [&] { return replaced(sampleTmx(), "things.tsx", "broken.tsx"); }, "broken XML in the tileset"},
      {"missing image", 1, [&] { return replaced(sampleTmj(), "atlas.png", "gone.png"); }, "cannot open the image"},
      {"GID past the last tile", 0, tmx([](SampleParts& p) { p.layerData[0] = "<data encoding=\"csv\">1,2,3,4,0,7</data>"; }),
       "GID 7 at column 2, row 1 is past the last tile"},
      {"short CSV", 0, tmx([](SampleParts& p) { p.layerData[0] = "<data encoding=\"csv\">1,2,3</data>"; }),
       "does not hold exactly 6 tiles"},
      {"long JSON list", 1, tmj([](SampleParts& p) { p.layerData[0] = R"("data":[1,2,3,4,0,5,0])"; }),
       "does not hold exactly 6 tiles"},
      {"short base64", 0, tmx([](SampleParts& p) { p.layerData[0] = "<data encoding=\"base64\">AQAAAAIAAAA=</data>"; }),
       "does not hold exactly 6 tiles"},
      {"not base64", 1, tmj([](SampleParts& p) { p.layerData[0] = R"("encoding":"base64","data":"AQ*A")"; }),
       "not valid base64"},
      {"not zlib", 0, tmx([](SampleParts& p) { p.layerData[0] = "<data encoding=\"base64\" compression=\"zlib\">AQAAAAIAAAA=</data>"; }),
       "not valid zlib"},
      {"zlib bomb", 0, tmx([&](SampleParts& p) { p.layerData[0] = "<data encoding=\"base64\" compression=\"zlib\">" + bomb + "</data>"; }),
       "inflates to more than"},
      {"zstd bomb", 1, tmj([&](SampleParts& p) { p.layerData[0] = R"("encoding":"base64","compression":"zstd","data":")" + zstdBomb + "\""; }),
       "inflates to more than"},
      {"unknown compression", 0, tmx([](SampleParts& p) { p.layerData[0] = "<data encoding=\"base64\" compression=\"lzma\">AA==</data>"; }),
       "unknown data encoding"},
      {"letters in CSV", 0, tmx([](SampleParts& p) { p.layerData[0] = "<data encoding=\"csv\">1,2,x,4,0,5</data>"; }),
       "not a list of numbers"},
      {"huge map", 0, [&] { return replaced(sampleTmx(), "width=\"3\" height=\"2\" tilewidth", "width=\"100000\" height=\"100000\" tilewidth"); },
       "more than the 33554432 an import may hold"},
      {"map without size", 1, [] { return std::string(R"({"type":"map","layers":[]})"); }, "must be at least 1"},
      {"bad light colour", 0,
       [&] { return replaced(sampleTmx(), "#ff102030", "#ff10203"); }, "is not #AARRGGBB or #RRGGBB"},
      {"bad number", 0, [&] { return replaced(sampleTmx(), "tilewidth=\"4\" tileheight=\"4\" infinite", "tilewidth=\"4px\" tileheight=\"4\" infinite"); },
       "is not a whole number"},
      // 2^32 + 2 once wrapped to a spacing of 2 and imported as if nothing were wrong.
      {"tileset number past int32", 0, [&] { return replaced(sampleTmx(), "spacing=\"2\"", "spacing=\"4294967298\""); },
       "is out of range"},
      {"tileset number past int32", 1, [&] { return replaced(sampleTmj(), R"("spacing":2)", R"("spacing":4294967298)"); },
       "is out of range"},
      {"number past int64", 1, [&] { return replaced(sampleTmj(), R"("width":3)", R"("width":2.5e60)"); },
       "is not a whole number"},
      // Both once ended the program from a number conversion that threw.
      {"bad transparent colour", 0,
       [&] { return replaced(sampleTmx(), "<image source=\"atlas.png\"", "<image source=\"atlas.png\" trans=\"zzzzzz\""); },
       "tileset 'atlas': the transparent colour 'zzzzzz' is not #RRGGBB"},
      {"bad transparent colour", 1,
       [&] { return replaced(sampleTmj(), R"("image":"atlas.png",)", R"("image":"atlas.png","transparentcolor":"#gggggg",)"); },
       "the transparent colour '#gggggg' is not #RRGGBB"},
      {"signed transparent colour", 0,
       [&] { return replaced(sampleTmx(), "<image source=\"atlas.png\"", "<image source=\"atlas.png\" trans=\"+f+f+f\""); },
       "is not #RRGGBB"},
      {"signed light colour", 0, [&] { return replaced(sampleTmx(), "#ff102030", "#ff10-030"); }, "is not #AARRGGBB or #RRGGBB"},
      // XML 1.0 forbids these even as references; other readers refuse them.
      {"control character reference", 0, [&] { return replaced(sampleTmx(), "door.lua", "door&#x1;.lua"); },
       "the control character U+0001 is not allowed in XML"},
      {"raw control character", 0, [&] { return replaced(sampleTmx(), "door.lua", "door\x1f.lua"); },
       "the control character U+001F is not allowed in XML"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto imported = importText(dir, kVariants[c.variant], c.text());
    ASSERT_FALSE(imported);
    EXPECT_NE(imported.error().find(c.error), std::string::npos) << imported.error();
  }
}

// Images are decoded only once nothing is refused for what the files say: a strict import
// refuses before it reads a pixel (an image whose pixels are broken shows which came first).
TEST(Import, RefusalsComeBeforeAnyImageIsDecoded) {
  TempDir dir;
  writeSampleFiles(dir);
  auto png = vorlane::test::readFile(dir.file("atlas.png"));
  png.resize(40);  // the header and no pixels
  vorlane::test::writeFile(dir.file("atlas.png"), png);
  SampleParts sky;
  sky.extra = " <imagelayer id=\"9\" name=\"Sky\"/>\n";
  auto strict = importText(dir, kVariants[0], sampleTmx(sky));
  ASSERT_FALSE(strict);
  EXPECT_EQ(strict.error().rfind(kCannotHold, 0), 0u) << strict.error();
  auto lossy = importText(dir, kVariants[0], sampleTmx(sky), true);
  ASSERT_FALSE(lossy);
  EXPECT_NE(lossy.error().find("cannot read the image"), std::string::npos) << lossy.error();
}

// Maps as the editors wrote them over the years, and as they are found in game repositories.
TEST(Import, OlderAndOddButSoundMapsImportWithNotes) {
  TempDir dir;
  writeSampleFiles(dir);
  struct Case {
    const char* name;
    int variant;
    std::string text;
    std::string note;  // "" when none
  };
  const Case cases[] = {
      // The image grew after the tileset was saved: its tiles come from the image as it is.
      {"stale tilecount", 0,
       replaced(replaced(sampleTmx(), "tilecount=\"4\" columns=\"2\"", "tilecount=\"1\" columns=\"1\""),
                "width=\"12\" height=\"12\"", "width=\"6\" height=\"6\""),
       "the image holds 4 tiles where the tileset says 1"},
      {"stale tilecount (json)", 1,
       replaced(replaced(sampleTmj(), R"("tilecount":4,)", R"("tilecount":2,)"), R"("imagewidth":12,"imageheight":12)",
                R"("imagewidth":12,"imageheight":6)"),
       "the image holds 4 tiles where the tileset says 2"},
      // Before 1.2: tiles and tile properties as objects by id.
      {"old json", 1,
       replaced(sampleTmj(), R"("tiles":[{"id":1,"properties":[{"name":"castShadows","type":"bool","value":true}]}])",
                R"("tiles":{"1":{}},"tileproperties":{"1":{"castShadows":true}},"tilepropertytypes":{"1":{"castShadows":"bool"}})"),
       ""},
      {"old json properties", 1,
       replaced(sampleTmj(), R"("properties":[{"name":"castShadows","type":"bool","value":true}])",
                R"("properties":{"castShadows":true},"propertytypes":{"castShadows":"bool"})"),
       ""},
      // An infinite map whose one chunk per layer starts at cell 0, 0.
      {"infinite", 1,
       [] {
         SampleParts p;
         p.layerData[0] = R"("chunks":[{"x":0,"y":0,"width":3,"height":2,"data":[1,2,3,4,0,5]}])";
         p.layerData[1] = R"("encoding":"base64","chunks":[{"x":0,"y":0,"width":3,"height":2,"data":"AAAAAAYAAAAAAAAAAAAAAAEAAAAAAAAA"}])";
         return replaced(sampleTmj(p), "\"infinite\":false", "\"infinite\":true");
       }(),
       "infinite map"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto imported = importText(dir, kVariants[c.variant], c.text);
    ASSERT_TRUE(imported) << imported.error();
    expectSample(*imported);
    const bool noted = std::any_of(imported->notes.begin(), imported->notes.end(),
                                   [&](const std::string& n) { return n.find(c.note) != std::string::npos; });
    EXPECT_TRUE(c.note.empty() ? imported->notes.empty() : noted);
  }
}

// Chunks anywhere: the map covers them from its top-left chunk on; objects move along; an
// empty layer in any encoding is an empty layer.
TEST(Import, InfiniteMapCoversItsChunks) {
  TempDir dir;
  writeSampleFiles(dir);
  SampleParts parts;
  parts.layerData[0] = "<data encoding=\"csv\"><chunk x=\"-3\" y=\"-2\" width=\"3\" height=\"2\">1,2,3,4,0,5</chunk>"
                       "<chunk x=\"3\" y=\"0\" width=\"1\" height=\"1\">6</chunk></data>";
  parts.layerData[1] = "<data encoding=\"base64\" compression=\"zlib\"/>";
  auto imported = importText(dir, kVariants[0], replaced(sampleTmx(parts), "infinite=\"0\"", "infinite=\"1\""));
  ASSERT_TRUE(imported) << imported.error();
  const map::Map& m = *imported->map;
  EXPECT_EQ(std::vector<int>({m.width, m.height, m.depth}), std::vector<int>({7, 3, 2}));
  EXPECT_EQ(m.cell(1, 0, 0)->path, m.cell(1, 0, 0)->path);
  EXPECT_EQ(std::vector<int>(m.cell(0, 0, 0)->image->at(0, 0), m.cell(0, 0, 0)->image->at(0, 0) + 3),
            std::vector<int>({255, 0, 0}));
  EXPECT_FALSE(m.cell(1, 1, 0));
  EXPECT_EQ(m.cell(6, 2, 0)->path, dir.file("bush.png"));
  for (int x = 0; x < 7; ++x) EXPECT_FALSE(m.cell(x, 0, 1));
  EXPECT_EQ(imported->originColumn, -3);
  EXPECT_EQ(imported->originRow, -2);
  ASSERT_EQ(m.pivots.size(), 1u);
  EXPECT_EQ(m.pivots[0]->x, 5.0f + 12);
  EXPECT_EQ(m.pivots[0]->y, 6.5f + 8);
  EXPECT_NE(imported->notes.back().find("start at column -3, row -2"), std::string::npos);
}

TEST(Import, TmxMapMayNameAJsonTileset) {
  TempDir dir;
  writeSampleFiles(dir);
  auto imported = importText(dir, kVariants[0], replaced(sampleTmx(), "things.tsx", "things.tsj"));
  ASSERT_TRUE(imported) << imported.error();
  expectSample(*imported);
}

TEST(Import, NamedNormalMapMustExist) {
  TempDir dir;
  writeSampleFiles(dir);
  SampleParts parts;
  parts.tilesetExtra = "<properties><property name=\"normalmap\" type=\"file\" value=\"gone.png\"/></properties>";
  auto imported = importText(dir, kVariants[0], sampleTmx(parts));
  ASSERT_FALSE(imported);
  EXPECT_NE(imported.error().find("cannot read the normal map"), std::string::npos) << imported.error();
}

}  // namespace
}  // namespace vorlane::formats::test
