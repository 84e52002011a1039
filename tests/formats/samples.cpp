#include "formats/samples.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vorlane::formats::test {

namespace {

using vorlane::test::encodeBmp;
using vorlane::test::encodePng;
using vorlane::test::solidImage;
using vorlane::test::writeFile;

std::string data(std::size_t layer, Encoding encoding, bool json) {
  std::string text;
  encodeGids(kLayers[layer], 3, encoding, text);
  if (json) {
    if (encoding == Encoding::csv) return "\"data\":[" + text + "]";
    std::string out = "\"encoding\":\"base64\",";
    if (encoding != Encoding::base64) out += "\"compression\":\"" + std::string(encodingName(encoding)) + "\",";
    return out + "\"data\":\"" + text + "\"";
  }
  std::string out = "<data encoding=\"" + std::string(encoding == Encoding::csv ? "csv" : "base64") + "\"";
  if (encoding != Encoding::csv && encoding != Encoding::base64)
    out += " compression=\"" + std::string(encodingName(encoding)) + "\"";
  return out + ">\n" + text + "\n</data>";
}

}  // namespace

void writeSampleFiles(const TempDir& dir) {
  // Magenta everywhere, then the four tiles: wrong margins or spacing cut magenta in.
  platform::Image atlas = solidImage(12, 12, 255, 0, 255);
  for (int t = 0; t < 4; ++t)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        std::uint8_t* p = atlas.at(1 + (t % 2) * 6 + x, 1 + (t / 2) * 6 + y);
        std::memcpy(p, kColours[t + 1], 3);
      }
  writeFile(dir.file("atlas.png"), encodePng(atlas));
  writeFile(dir.file("NMatlas.bmp"), encodeBmp(solidImage(12, 12, 200, 100, 50)));
  writeFile(dir.file("rock.png"), encodePng(solidImage(4, 4, 128, 128, 128)));
  writeFile(dir.file("bush.png"), encodePng(solidImage(4, 4, 0, 128, 0)));
  writeFile(dir.file("bush_n.png"), encodePng(solidImage(4, 4, 10, 20, 30)));
  const std::string tsx =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<tileset version=\"1.8\" name=\"things\" tilewidth=\"4\" tileheight=\"4\" tilecount=\"2\" columns=\"0\">\n"
      " <grid orientation=\"orthogonal\" width=\"1\" height=\"1\"/>\n"
      " <tile id=\"0\"><image width=\"4\" height=\"4\" source=\"rock.png\"/></tile>\n"
      " <tile id=\"1\"><properties><property name=\"normalmap\" type=\"file\" value=\"bush_n.png\"/></properties>\n"
      "  <image width=\"4\" height=\"4\" source=\"bush.png\"/></tile>\n"
      "</tileset>\n";
  writeFile(dir.file("things.tsx"), std::vector<std::uint8_t>(tsx.begin(), tsx.end()));
  const std::string tsj =
      R"({"type":"tileset","name":"things","tilewidth":4,"tileheight":4,"tilecount":2,"columns":0,"tiles":[)"
      R"({"id":0,"image":"rock.png","imagewidth":4,"imageheight":4},)"
      R"({"id":1,"image":"bush.png","imagewidth":4,"imageheight":4,)"
      R"("properties":[{"name":"normalmap","type":"file","value":"bush_n.png"}]}]})";
  writeFile(dir.file("things.tsj"), std::vector<std::uint8_t>(tsj.begin(), tsj.end()));
}

std::string sampleTmx(const SampleParts& parts) {
  auto layer = [&](int i) {
    return " <layer id=\"" + std::to_string(i + 1) + "\" name=\"Layer " + std::to_string(i + 1) +
           "\" width=\"3\" height=\"2\">\n  " +
           (parts.layerData[i].empty() ? data(static_cast<std::size_t>(i), parts.encoding, false) : parts.layerData[i]) +
           "\n </layer>\n";
  };
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<map version=\"1.8\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"3\" height=\"2\" "
         "tilewidth=\"4\" tileheight=\"4\" infinite=\"0\" nextlayerid=\"4\" nextobjectid=\"4\">\n"
         " <tileset firstgid=\"1\" name=\"atlas\" tilewidth=\"4\" tileheight=\"4\" spacing=\"2\" margin=\"1\" "
         "tilecount=\"4\" columns=\"2\">\n"
         "  <image source=\"atlas.png\" width=\"12\" height=\"12\"/>\n"
         "  <tile id=\"1\"><properties><property name=\"castShadows\" type=\"bool\" value=\"true\"/></properties></tile>\n" +
         parts.tilesetExtra +
         " </tileset>\n"
         " <tileset firstgid=\"5\" source=\"things.tsx\"/>\n" +
         layer(0) + layer(1) +
         " <objectgroup id=\"3\" name=\"Things\">\n"
         "  <object id=\"1\" name=\"door.lua\" x=\"5\" y=\"6.5\">\n"
         "   <properties>\n"
         "    <property name=\"a\" value=\"1\"/>\n"
         "    <property name=\"b\" value=\"x y\"/>\n"
         "    <property name=\"c\" value=\"true\"/>\n"
         "   </properties>\n"
         "   <point/>\n"
         "  </object>\n"
         "  <object id=\"2\" type=\"light\" x=\"2\" y=\"3\">\n"
         "   <properties>\n"
         "    <property name=\"color\" type=\"color\" value=\"#ff102030\"/>\n"
         "    <property name=\"layer\" type=\"int\" value=\"1\"/>\n"
         "    <property name=\"range\" type=\"float\" value=\"123.5\"/>\n"
         "   </properties>\n"
         "   <point/>\n"
         "  </object>\n"
         "  <object id=\"3\" type=\"light\" x=\"10\" y=\"0\">\n"
         "   <properties><property name=\"color\" type=\"color\" value=\"#405060\"/></properties>\n"
         "  </object>\n"
         " </objectgroup>\n" +
         parts.extra + "</map>\n";
}

std::string sampleTmj(const SampleParts& parts) {
  auto layer = [&](int i) {
    return R"({"id":)" + std::to_string(i + 1) + R"(,"name":"Layer )" + std::to_string(i + 1) +
           R"(","type":"tilelayer","x":0,"y":0,"width":3,"height":2,"opacity":1,"visible":true,)" +
           (parts.layerData[i].empty() ? data(static_cast<std::size_t>(i), parts.encoding, true) : parts.layerData[i]) +
           "}";
  };
  return R"({"type":"map","version":"1.8","orientation":"orthogonal","renderorder":"right-down",)"
         R"("width":3,"height":2,"tilewidth":4,"tileheight":4,"infinite":false,"nextlayerid":4,"nextobjectid":4,)"
         R"("tilesets":[{"firstgid":1,"name":"atlas","tilewidth":4,"tileheight":4,"spacing":2,"margin":1,)"
         R"("tilecount":4,"columns":2,"image":"atlas.png","imagewidth":12,"imageheight":12,)" +
         parts.tilesetExtra +
         R"("tiles":[{"id":1,"properties":[{"name":"castShadows","type":"bool","value":true}]}]},)"
         R"({"firstgid":5,"source":"things.tsj"}],"layers":[)" +
         layer(0) + "," + layer(1) +
         R"(,{"id":3,"name":"Things","type":"objectgroup","x":0,"y":0,"opacity":1,"visible":true,"objects":[)"
         R"({"id":1,"name":"door.lua","type":"","x":5,"y":6.5,"point":true,"properties":[)"
         R"({"name":"a","type":"string","value":"1"},{"name":"b","type":"string","value":"x y"},)"
         R"({"name":"c","type":"string","value":"true"}]},)"
         R"({"id":2,"name":"","type":"light","x":2,"y":3,"point":true,"properties":[)"
         R"({"name":"color","type":"color","value":"#ff102030"},{"name":"layer","type":"int","value":1},)"
         R"({"name":"range","type":"float","value":123.5}]},)"
         R"({"id":3,"name":"","type":"light","x":10,"y":0,"width":8,"height":8,)"
         R"("properties":[{"name":"color","type":"color","value":"#405060"}]}]})" +
         parts.extra + "]}";
}

void expectSample(const Imported& imported) {
  const map::Map& m = *imported.map;
  ASSERT_EQ(m.width, 3);
  ASSERT_EQ(m.height, 2);
  ASSERT_EQ(m.depth, 2);
  EXPECT_EQ(m.tileWidth, 4);
  EXPECT_EQ(m.tileHeight, 4);
  std::vector<const tiles::Tile*> byGid(7, nullptr);
  for (int layer = 0; layer < 2; ++layer)
    for (int i = 0; i < 6; ++i) {
      SCOPED_TRACE("layer " + std::to_string(layer) + " cell " + std::to_string(i));
      const std::uint32_t gid = kLayers[layer][i];
      const tiles::TilePtr& tile = m.cell(i % 3, i / 3, layer);
      if (gid == 0) {
        EXPECT_FALSE(tile);
        continue;
      }
      ASSERT_TRUE(tile);
      // One Tile object per GID, shared by every cell that shows it.
      if (!byGid[gid]) byGid[gid] = tile.get();
      EXPECT_EQ(byGid[gid], tile.get());
      ASSERT_EQ(tile->image->width, 4);
      ASSERT_EQ(tile->image->height, 4);
      for (int p = 0; p < 16; ++p) {
        const std::uint8_t* px = tile->image->at(p % 4, p / 4);
        EXPECT_EQ(std::vector<int>(px, px + 4),
                  (std::vector<int>{kColours[gid][0], kColours[gid][1], kColours[gid][2], 255}))
            << "pixel " << p;
      }
      const std::uint8_t* normal = tile->normalGrid->at(3, 3);
      const std::vector<int> expected = gid <= 4 ? std::vector<int>{200, 100, 50, 255}
                                        : gid == 5 ? std::vector<int>{255, 128, 128, 255}
                                                   : std::vector<int>{10, 20, 30, 255};
      EXPECT_EQ(std::vector<int>(normal, normal + 4), expected);
      EXPECT_EQ(tile->castShadows, gid == 2 ? 1 : 0);
    }

  ASSERT_EQ(imported.tilesets.size(), 2u);
  EXPECT_EQ(imported.tilesets[0].label, "atlas");
  EXPECT_EQ(imported.tilesets[1].label, "things");
  EXPECT_EQ(imported.tilesets[0].tileset->cell(1, 0, 0).get(), byGid[2]);
  EXPECT_TRUE(imported.tilesets[0].tileset->cell(3, 0, 0));  // the unused fourth tile is there too
  EXPECT_FALSE(imported.tilesets[0].tileset->cell(4, 0, 0));
  EXPECT_EQ(imported.tilesets[1].tileset->cell(1, 0, 0).get(), byGid[6]);

  ASSERT_EQ(m.pivots.size(), 1u);
  const map::Pivot& pivot = *m.pivots[0];
  EXPECT_EQ(pivot.link, "door.lua");
  EXPECT_EQ(pivot.x, 5.0f);
  EXPECT_EQ(pivot.y, 6.5f);
  EXPECT_EQ(pivot.layer, 1);  // the group follows the second tile layer
  ASSERT_EQ(pivot.recordCount, 3);
  const std::pair<std::string, std::string> records[] = {{"a", "1"}, {"b", "x y"}, {"c", "true"}};
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(pivot.records[r]->name, records[r].first);
    EXPECT_EQ(pivot.records[r]->value, records[r].second);
  }

  ASSERT_EQ(m.lights.size(), 2u);
  const map::Light& a = *m.lights[0];
  EXPECT_EQ(std::vector<float>({a.red, a.green, a.blue, a.x, a.y, a.range}),
            std::vector<float>({16, 32, 48, 2, 3, 123.5f}));
  EXPECT_EQ(a.layer, 1);
  const map::Light& b = *m.lights[1];
  EXPECT_EQ(std::vector<float>({b.red, b.green, b.blue, b.x, b.y, b.range}),
            std::vector<float>({64, 80, 96, 10, 0, 700}));
  EXPECT_EQ(b.layer, 0);
  EXPECT_TRUE(imported.leftOut.empty());
}

}  // namespace vorlane::formats::test
