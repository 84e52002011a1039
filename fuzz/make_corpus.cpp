// Writes the seed corpora: small valid files made by the project's own writers and the
// test encoders. Usage: fuzz_make_corpus OUT_DIR (creates OUT_DIR/<target>/...).
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "formats/layer_data.h"
#include "io/project.h"
#include "map/map.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;
using namespace vorlane;
using Bytes = std::vector<std::uint8_t>;

fs::path root;

void put(const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(root / target);
  test::writeFile((root / target / name).string(), bytes);
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

void bmpCorpus() {
  const platform::Image pattern = test::patternImage(5, 3);
  put("bmp", "rgb24.bmp", test::encodeBmp(pattern, 24));
  put("bmp", "rgba32.bmp", test::encodeBmp(pattern, 32));
  struct Variant {
    const char* name;
    int headerSize, bits;
    bool topDown;
    std::uint32_t compression;
  };
  for (const Variant& v : {Variant{"core1.bmp", 12, 1, false, 0}, Variant{"info4.bmp", 40, 4, true, 0},
                           Variant{"v5_8.bmp", 124, 8, false, 0}, Variant{"v3_24.bmp", 56, 24, true, 0},
                           Variant{"v4_32.bmp", 108, 32, false, 0}, Variant{"rgb555.bmp", 40, 16, false, 0},
                           Variant{"fields565.bmp", 40, 16, true, 3}, Variant{"fields32.bmp", 52, 32, false, 3},
                           Variant{"alphafields32.bmp", 40, 32, false, 6}}) {
    test::BmpLayout shape;
    shape.headerSize = v.headerSize;
    shape.width = 5;
    shape.height = v.topDown ? -3 : 3;
    shape.bitsPerPixel = v.bits;
    shape.compression = v.compression;
    if (v.bits <= 8) {
      const std::uint32_t colors = v.bits == 8 ? 6 : 1u << v.bits;
      for (std::uint32_t i = 0; i < colors; ++i) shape.palette.push_back(i * 0x2A1F13u & 0xFFFFFF);
      if (v.bits == 8) shape.colorsUsed = v.headerSize == 12 ? 0 : colors;
      if (v.headerSize == 12) shape.palette.resize(1u << v.bits, 0);
    }
    if (v.bits == 16) shape.masks = {0xF800, 0x07E0, 0x001F, 0};
    if (v.bits == 32) shape.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    for (std::uint32_t i = 0; i < 15; ++i)
      shape.pixels.push_back(v.bits <= 8 ? i % (v.bits == 1 ? 2 : 6) : i * 0x0B1713u + 0x80000000u);
    put("bmp", v.name, test::encodeBmpRaw(shape));
  }
  // Run-length coded 5 × 3: runs, literals with their padding, a delta, ends of line and of bitmap.
  struct Coded {
    const char* name;
    int bits;
    std::uint32_t compression;
    Bytes codes;
  };
  for (const Coded& c : {Coded{"rle8.bmp", 8, 1, {3, 1, 2, 2, 0, 0, 0, 3, 4, 5, 0, 0, 2, 1, 0, 0, 1, 3, 0, 2, 2, 0, 2, 0, 0, 1}},
                         Coded{"rle4.bmp", 4, 2, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 2, 0x10, 0, 0, 0, 2, 1, 0, 4, 0x21, 0, 1}}}) {
    test::BmpLayout shape;
    shape.width = 5;
    shape.height = 3;
    shape.bitsPerPixel = c.bits;
    shape.compression = c.compression;
    for (std::uint32_t i = 0; i < 6; ++i) shape.palette.push_back(i * 0x2A1F13u & 0xFFFFFF);
    shape.colorsUsed = 6;
    shape.runLengthCodes = c.codes;
    put("bmp", c.name, test::encodeBmpRaw(shape));
  }
}

void imageCorpus() {
  const platform::Image pattern = test::patternImage(6, 5);
  put("image", "rgba.png", test::encodePng(pattern, true));
  put("image", "rgb.png", test::encodePng(pattern, false));
  test::PngLayout palette;
  palette.width = 4;
  palette.height = 2;
  palette.colorType = PNG_COLOR_TYPE_PALETTE;
  palette.bitDepth = 2;
  palette.palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {10, 20, 30}};
  palette.paletteAlpha = {0, 128};
  palette.data = {0x1B, 0xE4};
  put("image", "palette_trns.png", test::encodePngRaw(palette));
  test::PngLayout grey;
  grey.width = 3;
  grey.height = 2;
  grey.colorType = PNG_COLOR_TYPE_GRAY;
  grey.bitDepth = 16;
  grey.transparentColor = true;
  grey.transparent = {0x1234, 0, 0};
  grey.data = {0x00, 0x00, 0x12, 0x34, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x01, 0x12, 0x34};
  put("image", "grey16_trns.png", test::encodePngRaw(grey));
  test::PngLayout greyAlpha = grey;
  greyAlpha.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  greyAlpha.bitDepth = 8;
  greyAlpha.transparentColor = false;
  greyAlpha.interlaced = true;
  put("image", "grey_alpha_interlaced.png", test::encodePngRaw(greyAlpha));
  put("image", "colour.jpg", test::encodeJpeg(pattern, 3, 90));
  put("image", "grey.jpg", test::encodeJpeg(pattern, 1, 90));
  put("image", "progressive.jpg", test::encodeJpeg(test::patternImage(17, 9), 3, 75, true));
  put("image", "adobe_cmyk.jpg", test::encodeJpeg(pattern, 4, 90));
  put("image", "adobe_ycck.jpg", test::encodeJpeg(pattern, 4, 90, false, {true, true}));
  put("image", "rgb24.bmp", test::encodeBmp(pattern, 24));
}

void textCorpus() {
  int n = 0;
  for (const char* s : {"12.7", "$FF", "$ffffffff", "%101", " -7x", "abc", "2147483648", "\t+42", "-$8000000a", ""})
    put("text_to_int", "t" + std::to_string(n++), text(s));
}

std::shared_ptr<tiles::Tile> tile(const std::string& path, int w, int h) {
  auto t = std::make_shared<tiles::Tile>();
  auto image = std::make_shared<platform::Image>(test::patternImage(w, h));
  t->path = path;
  (void)t->setImages(image, image.get());
  return t;
}

Bytes project(const map::Map& m, const std::vector<io::TilesetEntry>* tilesets) {
  base::ByteWriter out;
  io::saveMap(m, out);
  if (tilesets) io::writeTilesetSection(*tilesets, out);
  return out.data();
}

void projectCorpus() {
  auto empty = map::Map::create(1, 1, 1, 32, 32);
  put("project", "empty.export", project(*empty, nullptr));
  std::vector<io::TilesetEntry> none;
  put("project", "empty_no_tilesets.vorl", project(*empty, &none));

  auto m = map::Map::create(3, 2, 2, 16, 16);
  auto grass = tile("maps/grass.png", 2, 2);
  auto rock = tile("Maps/Rock.png", 1, 3);
  rock->castShadows = 1;
  m->setCell(0, 0, 0, grass);
  m->setCell(2, 1, 1, grass);
  m->setCell(1, 0, 1, rock);
  auto light = map::Light::createLight(10.5f, 20, 1, 255, 128, 0);
  light->castShadows = 1;
  m->addLight(light);
  m->addLight(map::Light::createLight(-3, 4.25f, 0, 1, 2, 3));
  auto pivot = map::Pivot::createPivot(5, 6, 1);
  pivot->link = "levels/next.vorl";
  pivot->addRecord("name", "door");
  pivot->addRecord("", "value");
  m->addPivot(pivot);
  put("project", "small.export", project(*m, nullptr));

  auto set = map::Map::createTileset();
  set->setCell(0, 0, 0, tile("MAPS/GRASS.PNG", 1, 1));
  set->setCell(3, 1, 0, tile("other.png", 2, 1));
  std::vector<io::TilesetEntry> tilesets = {{"Tileset 1", set}};
  put("project", "small.vorl", project(*m, &tilesets));
  put("bake", "small.export", project(*m, nullptr));
}

// Walls on layer 1 between lights and a floor on layer 0, with a normal map that is not flat.
void bakeCorpus() {
  auto m = map::Map::create(4, 3, 2, 8, 8);
  auto floor = tile("floor.png", 4, 4);
  floor->normalGrid = tiles::ChannelGrid::fromImage(test::patternImage(3, 4));
  m->fillLayer(0, floor);
  auto wall = tile("wall.png", 3, 5);
  wall->castShadows = 1;
  m->setCell(1, 1, 1, wall);
  m->setCell(2, 1, 1, wall);
  auto lamp = map::Light::createLight(4, 12, 2, 255, 220, 180);
  lamp->range = 40;
  lamp->castShadows = 1;
  m->addLight(lamp);
  auto far = map::Light::createLight(30, 20, 1, 90, 120, 255);
  far->range = 18;
  m->addLight(far);
  put("bake", "walls.export", project(*m, nullptr));
}

// 3 × 2 maps over the fuzz check's folder: an embedded tileset of tiles.png (GIDs 1-4) and
// the external set.tsx / set.tsj (GIDs 5-8), in each layer data encoding.
void importCorpus() {
  const std::uint32_t gids[6] = {1, 2, 3, 4, 0, 5};
  for (const formats::Encoding e :
       {formats::Encoding::csv, formats::Encoding::base64, formats::Encoding::zlib, formats::Encoding::gzip,
        formats::Encoding::zstd}) {
    const std::string name(formats::encodingName(e));
    std::string data;
    formats::encodeGids(gids, 3, e, data);
    const bool compressed = e != formats::Encoding::csv && e != formats::Encoding::base64;
    std::string tmx =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<map version=\"1.8\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"3\" height=\"2\" "
        "tilewidth=\"4\" tileheight=\"4\" infinite=\"0\">\n"
        " <tileset firstgid=\"1\" name=\"tiles\" tilewidth=\"4\" tileheight=\"4\" tilecount=\"4\" columns=\"2\">\n"
        "  <image source=\"tiles.png\" width=\"8\" height=\"8\"/>\n"
        "  <tile id=\"1\"><properties><property name=\"castShadows\" type=\"bool\" value=\"true\"/>"
        "</properties></tile>\n"
        " </tileset>\n"
        " <tileset firstgid=\"5\" source=\"set.tsx\"/>\n"
        " <layer id=\"1\" name=\"ground\" width=\"3\" height=\"2\">\n"
        "  <data encoding=\"" +
        std::string(e == formats::Encoding::csv ? "csv" : "base64") + "\"" +
        (compressed ? " compression=\"" + name + "\"" : "") + ">" + data +
        "</data>\n"
        " </layer>\n"
        " <objectgroup id=\"2\" name=\"things\">\n"
        "  <object id=\"1\" name=\"lamp\" type=\"light\" x=\"6\" y=\"2\"><point/></object>\n"
        " </objectgroup>\n"
        "</map>\n";
    put("import", name + ".tmx", text(tmx));
    const std::string jsonData =
        e == formats::Encoding::csv
            ? "\"data\":[" + data + "]"
            : "\"encoding\":\"base64\"," + (compressed ? "\"compression\":\"" + name + "\"," : std::string()) +
                  "\"data\":\"" + data + "\"";
    const std::string tmj =
        R"({"type":"map","version":"1.8","orientation":"orthogonal","renderorder":"right-down","width":3,)"
        R"("height":2,"tilewidth":4,"tileheight":4,"infinite":false,"tilesets":[)"
        R"({"firstgid":1,"name":"tiles","tilewidth":4,"tileheight":4,"tilecount":4,"columns":2,)"
        R"("image":"tiles.png","imagewidth":8,"imageheight":8,"tiles":[{"id":1,"properties":)"
        R"([{"name":"castShadows","type":"bool","value":true}]}]},{"firstgid":5,"source":"set.tsj"}],)"
        R"("layers":[{"type":"tilelayer","id":1,"name":"ground","width":3,"height":2,"visible":true,)" +
        jsonData +
        R"(},{"type":"objectgroup","id":2,"name":"things","objects":[)"
        R"({"id":1,"name":"lamp","type":"light","x":6,"y":2,"point":true}]}]})";
    put("import", name + ".tmj", text(tmj));
  }
  // Colours: a transparent colour on the tileset image, a light's color property.
  put("import", "colours.tmx",
      text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<map version=\"1.8\" orientation=\"orthogonal\" width=\"2\" height=\"1\" tilewidth=\"4\" "
           "tileheight=\"4\" backgroundcolor=\"#102030\">\n"
           " <tileset firstgid=\"1\" name=\"tiles\" tilewidth=\"4\" tileheight=\"4\" tilecount=\"4\" columns=\"2\">\n"
           "  <image source=\"tiles.png\" trans=\"ff00ff\" width=\"8\" height=\"8\"/>\n"
           " </tileset>\n"
           " <layer id=\"1\" name=\"ground\" width=\"2\" height=\"1\"><data encoding=\"csv\">1,2</data></layer>\n"
           " <objectgroup id=\"2\" name=\"things\">\n"
           "  <object id=\"1\" name=\"lamp\" type=\"light\" x=\"6\" y=\"2\"><properties>"
           "<property name=\"color\" type=\"color\" value=\"#ffff8000\"/></properties><point/></object>\n"
           "  <object id=\"2\" name=\"a&#x9;b\" x=\"1\" y=\"1\"><point/></object>\n"
           " </objectgroup>\n"
           "</map>\n"));
  put("import", "colours.tmj",
      text(R"({"type":"map","version":"1.8","orientation":"orthogonal","width":2,"height":1,"tilewidth":4,)"
           R"("tileheight":4,"backgroundcolor":"#102030","tilesets":[{"firstgid":1,"name":"tiles","tilewidth":4,)"
           R"("tileheight":4,"tilecount":4,"columns":2,"image":"tiles.png","imagewidth":8,"imageheight":8,)"
           R"("transparentcolor":"#ff00ff"}],"layers":[{"type":"tilelayer","id":1,"name":"ground","width":2,)"
           R"("height":1,"data":[1,2]},{"type":"objectgroup","id":2,"name":"things","objects":[{"id":1,)"
           R"("name":"lamp","type":"light","x":6,"y":2,"point":true,"properties":[{"name":"color",)"
           R"("type":"color","value":"#ffff8000"}]}]}]})"));
  // Flipped cells (every flip bit, and the hexagonal turn), infinite maps of chunks with an
  // empty layer, and the JSON of before 1.2 (properties and tiles as objects).
  const std::string head =
      "<map orientation=\"orthogonal\" width=\"3\" height=\"2\" tilewidth=\"4\" tileheight=\"4\" infinite=\"";
  const std::string tileset =
      "\"><tileset firstgid=\"1\" name=\"tiles\" tilewidth=\"4\" tileheight=\"4\" tilecount=\"9\" columns=\"2\">"
      "<image source=\"tiles.png\" width=\"4\" height=\"4\"/></tileset>";
  put("import", "flips.tmx",
      text(head + "0" + tileset +
           "<layer name=\"Layer 1\" width=\"3\" height=\"2\"><data encoding=\"csv\">2147483649,1073741826,536870915,"
           "3758096388,268435457,2684354562</data></layer></map>"));
  // Flip bits on GID 0: an empty cell (the importer once looked such a cell up as a tile).
  put("import", "flipped-empty-cell.tmx",
      text(head + "0" + tileset +
           "<layer name=\"Layer 1\" width=\"3\" height=\"2\"><data encoding=\"csv\">2147483648,1073741826,536870914,"
           "3758096388,268435458,2684354562</data></layer></map>"));
  put("import", "chunks.tmx",
      text(head + "1" + tileset +
           "<layer name=\"Layer 1\" width=\"3\" height=\"2\"><data encoding=\"csv\"><chunk x=\"-16\" y=\"-16\" "
           "width=\"2\" height=\"1\">1,2</chunk><chunk x=\"16\" y=\"0\" width=\"1\" height=\"2\">3,2147483652</chunk>"
           "</data></layer><layer name=\"Layer 2\" width=\"3\" height=\"2\"><data encoding=\"base64\" "
           "compression=\"zlib\"/></layer><objectgroup><object type=\"light\" x=\"-30\" y=\"2\"><point/></object>"
           "</objectgroup></map>"));
  put("import", "chunks.tmj",
      text(R"({"type":"map","orientation":"orthogonal","width":3,"height":2,"tilewidth":4,"tileheight":4,"infinite":true,)"
           R"("tilesets":[{"firstgid":1,"name":"tiles","tilewidth":4,"tileheight":4,"image":"tiles.png"}],)"
           R"("layers":[{"type":"tilelayer","name":"Layer 1","encoding":"base64","chunks":[{"x":-2,"y":3,"width":1,)"
           R"("height":1,"data":"AQAAgA=="}]},{"type":"tilelayer","name":"Layer 2","data":[]}]})"));
  put("import", "old.json",
      text(R"({"type":"map","version":1,"orientation":"orthogonal","width":2,"height":1,"tilewidth":4,"tileheight":4,)"
           R"("properties":{"music":"a.ogg"},"propertytypes":{"music":"file"},"tilesets":[{"firstgid":1,"name":"tiles",)"
           R"("tilewidth":4,"tileheight":4,"tilecount":4,"image":"tiles.png","imagewidth":8,"imageheight":8,)"
           R"("tiles":{"1":{"type":"fence"}},"tileproperties":{"1":{"castShadows":true}},)"
           R"("tilepropertytypes":{"1":{"castShadows":"bool"}}}],"layers":[{"type":"tilelayer","name":"Layer 1",)"
           R"("width":2,"height":1,"data":[2147483650,1]}]})"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  root = argv[1];
  bmpCorpus();
  imageCorpus();
  textCorpus();
  projectCorpus();
  bakeCorpus();
  importCorpus();
  return 0;
}
