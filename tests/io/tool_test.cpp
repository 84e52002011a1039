// vorlane-tool info and check, run as the built program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "samples.h"
#include "support/tool_run.h"

namespace vorlane::io {
namespace {

using vorlane::test::TempDir;

using vorlane::test::runTool;
using vorlane::test::ToolRun;

TEST(Tool, InfoAndCheck) {
  TempDir dir;
  auto sample = test::sampleProject();
  const auto project = test::projectBytes(sample);
  vorlane::test::writeFile(dir.file("level.vorl"), project);
  vorlane::test::writeFile(dir.file("game.vorl"), test::mapBytes(*sample.map));
  vorlane::test::writeFile(dir.file("cut.vorl"), test::Bytes(project.begin(), project.end() - 1));
  vorlane::test::writeFile(dir.file("bad.vorl"), test::Builder().i32s({1, 1, 1, 8, 8, 0, 3, 0, 0, 0}).bytes);
  const std::string level = "'" + dir.file("level.vorl") + "'";

  struct Case {
    std::string args;
    int exitCode;
    std::string out;
    std::string errContains;
  };
  const Case cases[] = {
      {"info " + level, 0,
       "kind: project\nwidth: 3\nheight: 2\ndepth: 2\ntileWidth: 32\ntileHeight: 16\ntileCount: 2\n"
       "occupiedCells: 3\nlights: 2\npivots: 1\nrecords: 2\ntilesets: 2\n",
       ""},
      {"info --json '" + dir.file("game.vorl") + "'", 0,
       "{\"kind\": \"export\", \"width\": 3, \"height\": 2, \"depth\": 2, \"tileWidth\": 32, \"tileHeight\": 16, "
       "\"tileCount\": 2, \"occupiedCells\": 3, \"lights\": 2, \"pivots\": 1, \"records\": 2, \"tilesets\": 0}\n",
       ""},
      {"check " + level, 0, "ok\n", ""},
      {"check '" + dir.file("game.vorl") + "'", 0, "ok\n", ""},
      {"check '" + dir.file("cut.vorl") + "'", 1, "", "Error reading from stream"},
      {"check '" + dir.file("bad.vorl") + "'", 1, "", "cell index 3 out of range"},
      {"info '" + dir.file("absent.vorl") + "'", 1, "", "Unable to open file."},
      {"check", 2, "", ""},
      {"info --frobnicate " + level, 2, "", ""},
  };
  for (const auto& c : cases) {
    ToolRun run = runTool(dir, c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args;
    if (c.exitCode != 2) {
      EXPECT_EQ(run.out, c.out) << c.args;
    }
    EXPECT_NE(run.err.find(c.errContains), std::string::npos) << c.args << ": " << run.err;
    if (c.exitCode == 1) {
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.args;
    }
  }
}

}  // namespace
}  // namespace vorlane::io
