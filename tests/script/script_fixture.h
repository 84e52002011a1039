#pragma once
// A started engine whose printed lines are collected, with a scratch folder and a document
// map handed to scripts as `vorlane.map`.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/console.h"
#include "map/map.h"
#include "script/engine.h"
#include "script/module.h"
#include "support/fixtures.h"

namespace vorlane::script {

class ScriptTest : public ::testing::Test {
 protected:
  ScriptTest() {
    engine.setPrint([this](std::string_view line) { printed.emplace_back(line); });
    EXPECT_TRUE(engine.start());
    setGlobal("dir", dir.path().string());
  }

  void setGlobal(const char* name, const std::string& value);
  void setDocument(map::MapPtr m) { setDocumentMap(engine.state(), std::move(m)); }
  map::MapPtr document() { return documentMap(engine.state()); }

  // Runs the text and returns what it printed (failing the test on an error).
  std::vector<std::string> run(const std::string& text) {
    printed.clear();
    auto status = engine.run(text, "=test");
    EXPECT_TRUE(status.ok()) << text << "\n" << (status.ok() ? "" : status.error());
    return printed;
  }
  // Runs the text, which must fail, and returns the message.
  std::string fail(const std::string& text) {
    auto status = engine.run(text, "=test");
    EXPECT_FALSE(status.ok()) << text;
    return status.ok() ? "" : status.error();
  }

  test::TempDir dir;
  base::ConsoleCapture console;  // the library's progress lines
  ScriptEngine engine;
  std::vector<std::string> printed;
};

}  // namespace vorlane::script
