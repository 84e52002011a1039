// vorlane-tool normals, run as the built program: where it writes, and that it never
// replaces a file unasked.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/decode.h"
#include "support/fixtures.h"
#include "support/tool_run.h"

namespace vorlane::tiles {
namespace {

struct NormalsToolTest : ::testing::Test {
  test::TempDir dir;
  std::string image = dir.file("grass.png");
  void SetUp() override { test::writeFile(image, test::encodePng(test::patternImage(12, 7))); }
  test::ToolRun run(const std::string& args) { return test::runTool(dir, "normals " + args); }
};

TEST_F(NormalsToolTest, WritesTheCompanionBesideTheImageAndKeepsWhatExists) {
  const std::string companion = dir.file("NMgrass.bmp");
  auto first = run("'" + image + "' --strength 5 --blur 1");
  ASSERT_EQ(first.exitCode, 0) << first.err;
  auto decoded = platform::decodeImageFile(companion);
  ASSERT_TRUE(decoded.ok()) << decoded.error();
  EXPECT_EQ(decoded->width, 12);
  EXPECT_EQ(decoded->height, 7);

  test::writeFile(companion, {1, 2, 3});
  auto again = run("'" + image + "'");
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_EQ(test::readFile(companion), (std::vector<std::uint8_t>{1, 2, 3}));

  auto forced = run("'" + image + "' --force --invert-y");
  EXPECT_EQ(forced.exitCode, 0) << forced.err;
  EXPECT_TRUE(platform::decodeImageFile(companion).ok());
}

TEST_F(NormalsToolTest, OutputOptionAndErrors) {
  auto named = run("'" + image + "' -o '" + dir.file("out.bmp") + "'");
  EXPECT_EQ(named.exitCode, 0) << named.err;
  EXPECT_TRUE(std::filesystem::exists(dir.file("out.bmp")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("NMgrass.bmp")));

  test::writeFile(dir.file("notes.txt"), {'h', 'i'});
  struct Case {
    std::string args;
    int exitCode;
  };
  for (const Case& c : {Case{"'" + dir.file("notes.txt") + "' -o '" + dir.file("x.bmp") + "'", 1},
                        Case{"'" + dir.file("missing.png") + "'", 1}, Case{"'" + image + "' --strength -1", 2},
                        Case{"'" + image + "' --blur many", 2}, Case{"", 2}}) {
    auto r = run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args << ": " << r.err;
    EXPECT_FALSE(r.err.empty()) << c.args;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.bmp")));
}

}  // namespace
}  // namespace vorlane::tiles

namespace vorlane::tool {
namespace {

// Every sub-command's help ends with an example line, and the tool's own help lists them all.
TEST(ToolHelp, EveryCommandShowsAnExample) {
  test::TempDir dir;
  auto help = test::runTool(dir, "--help");
  ASSERT_EQ(help.exitCode, 0);
  const auto commands = help.out.substr(help.out.find("Subcommands:"), help.out.find("Examples:") - help.out.find("Subcommands:"));
  std::istringstream lines(commands);
  std::string line;
  int checked = 0;
  std::getline(lines, line);  // the heading
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string name;
    if (!(words >> name)) continue;
    auto sub = test::runTool(dir, name + " --help");
    EXPECT_NE(sub.out.find("Example:\n  vorlane-tool " + name + " "), std::string::npos) << name;
    EXPECT_NE(help.out.find("\n  vorlane-tool " + name + " "), std::string::npos) << name;
    ++checked;
  }
  EXPECT_GE(checked, 6);
}

}  // namespace
}  // namespace vorlane::tool
