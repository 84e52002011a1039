// Importing TMX and TMJ maps: every data encoding, embedded and external tilesets, what
// cannot be held, and broken files.
#include <gtest/gtest.h>

#include <functional>

#include "formats/samples.h"

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
      {"infinite", 1, [] { return replaced(sampleTmj(), "\"infinite\":false", "\"infinite\":true"); }, "infinite map"},
      {"flipped", 1, with(sampleTmj, [](SampleParts& p) { p.layerData[1] = R"("data":[0,2147483654,0,0,1,0])"; }),
       "flips and turns"},
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
    EXPECT_EQ(refused.error().rfind(kCannotHold, 0), 0u) << refused.error();
    EXPECT_NE(refused.error().find(c.listed), std::string::npos) << refused.error();
    auto lossy = importText(dir, v, text, true);
    ASSERT_TRUE(lossy) << lossy.error();
    bool listed = false;
    for (const auto& item : lossy->leftOut) listed = listed || item.find(c.listed) != std::string::npos;
    EXPECT_TRUE(listed);
    EXPECT_EQ(lossy->map->width, 3);
  }
}

TEST(Import, FlippedCellsImportUnflippedWhenLossy) {
  TempDir dir;
  writeSampleFiles(dir);
  SampleParts parts;
  parts.layerData[1] = R"("data":[0,2147483654,0,0,1,0])";  // GID 6 flipped horizontally
  auto imported = importText(dir, kVariants[1], sampleTmj(parts), true);
  ASSERT_TRUE(imported) << imported.error();
  EXPECT_EQ(imported->map->cell(1, 0, 1)->path, dir.file("bush.png"));
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
      {"broken XML", 0, [] { return sampleTmx().substr(0, 300); }, "broken XML"},
      {"broken JSON", 1, [] { return sampleTmj().substr(0, 300); }, "broken JSON"},
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
