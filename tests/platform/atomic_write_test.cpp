// The one write path: names of any legal length, symbolic links, failures that name the file
// and the cause and leave the old file, and temporaries that earlier writers left behind.
#include "platform/atomic_write.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/console.h"
#include "support/child.h"
#include "support/fixtures.h"

namespace vorlane::platform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test::TempDir;

base::Status write(const std::string& path, const Bytes& bytes) {
  return writeFileAtomically(path, [&](base::ByteWriter& out) { out.bytes(bytes.data(), bytes.size()); });
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AtomicWrite, AnyLegalNameWorks) {
  TempDir dir;
  const std::string longest(255, 'n');
  const std::string name245 = std::string(241, 'a') + ".png";
  for (const std::string& name : {longest, name245, std::string(".hidden"), std::string("-dash")}) {
    SCOPED_TRACE(name.size());
    ASSERT_TRUE(write(dir.file(name), {1, 2, 3}).ok());
    EXPECT_EQ(test::readFile(dir.file(name)), (Bytes{1, 2, 3}));
  }
  EXPECT_EQ(namesIn(dir.path()).size(), 4u);  // no temporary left
}

// The file the link names is replaced as a whole; the link stays a link to it.
TEST(AtomicWrite, SymbolicLinksKeepPointingAtTheReplacedFile) {
  TempDir dir;
  fs::create_directory(dir.path() / "real");
  test::writeFile(dir.file("real/level.vorl"), {9, 9});
  fs::create_symlink("real/level.vorl", dir.path() / "link.vorl");
  fs::create_symlink("link.vorl", dir.path() / "chain.vorl");
  fs::create_symlink("real/fresh.vorl", dir.path() / "dangling.vorl");

  ASSERT_TRUE(write(dir.file("chain.vorl"), {1}).ok());
  ASSERT_TRUE(write(dir.file("dangling.vorl"), {2}).ok());
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.vorl"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "chain.vorl"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling.vorl"));
  EXPECT_EQ(test::readFile(dir.file("real/level.vorl")), Bytes{1});
  EXPECT_EQ(test::readFile(dir.file("real/fresh.vorl")), Bytes{2});
  EXPECT_EQ(namesIn(dir.path() / "real"), (std::vector<std::string>{"fresh.vorl", "level.vorl"}));
}

// A folder of `bytes` of its own (a tmpfs in a mount namespace of the child), read-only if
// asked; false where the child may not mount.
bool mountSmallFolder(const std::string& folder, const char* bytes, bool readOnly) {
  if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  const std::string options = std::string("size=") + bytes;
  if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
  test::writeFile(folder + "/level.vorl", {7, 7, 7});
  return !readOnly || ::mount("tmpfs", folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

// Gives up root, so permissions count.
bool becomeNobody() { return ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0); }

// What a failed write reports, and that the old file and nothing else is left.
std::string failedWrite(const std::string& target, const Bytes& bytes) {
  base::ConsoleCapture quiet;
  const fs::path folder = fs::path(target).parent_path();
  const bool existed = fs::exists(target);
  const Bytes before = existed && fs::is_regular_file(target) ? test::readFile(target) : Bytes{};
  const auto names = fs::exists(folder) ? namesIn(folder) : std::vector<std::string>{};
  auto status = write(target, bytes);
  if (status) return "written";
  if (existed && fs::is_regular_file(target) && test::readFile(target) != before) return "old file changed";
  if (fs::exists(folder) && namesIn(folder) != names) return "files left behind";
  return status.error();
}

// One case a test of its own: where the child cannot give up root or mount, the runner
// reports the case as skipped rather than passed.
struct FailedWrite {
  const char* name;
  // In a child; "skip" when the case cannot be set up there.
  std::string (*run)(const TempDir& dir);
  std::string (*want)(const TempDir& dir);
};

const Bytes& bigWrite() {
  static const Bytes big(1 << 20, 0xAB);
  return big;
}

const FailedWrite kFailedWrites[] = {
    {"MissingFolder", [](const TempDir& d) { return failedWrite(d.file("no/such/level.vorl"), {1}); },
     [](const TempDir& d) {
       return "Unable to open file.\n" + d.file("no/such/level.vorl") + ": the folder " + d.file("no/such") +
              " does not exist.";
     }},
    {"AFolderAsTheTarget", [](const TempDir& d) { return failedWrite(d.file("folder.vorl"), {1}); },
     [](const TempDir& d) { return "Unable to open file.\n" + d.file("folder.vorl") + ": it is a folder."; }},
    {"AFolderWithoutWritePermission",
     [](const TempDir& d) { return becomeNobody() ? failedWrite(d.file("locked/level.vorl"), {1}) : "skip"; },
     [](const TempDir& d) { return "Unable to open file.\n" + d.file("locked/level.vorl") + ": permission denied."; }},
    {"ANewFileThere",
     [](const TempDir& d) { return becomeNobody() ? failedWrite(d.file("locked/new.vorl"), {1}) : "skip"; },
     [](const TempDir& d) { return "Unable to open file.\n" + d.file("locked/new.vorl") + ": permission denied."; }},
    {"AFullDisk",
     [](const TempDir& d) {
       return mountSmallFolder(d.file("small"), "64k", false) ? failedWrite(d.file("small/level.vorl"), bigWrite())
                                                               : "skip";
     },
     [](const TempDir& d) { return "Error writing to stream\n" + d.file("small/level.vorl") + ": the disk is full."; }},
    {"AReadOnlyFileSystem",
     [](const TempDir& d) {
       return mountSmallFolder(d.file("small"), "64k", true) ? failedWrite(d.file("small/level.vorl"), {1}) : "skip";
     },
     [](const TempDir& d) {
       return "Unable to open file.\n" + d.file("small/level.vorl") + ": the file system is read-only.";
     }},
    {"AFileSizeLimit",
     [](const TempDir& d) {
       std::signal(SIGXFSZ, SIG_IGN);
       const rlimit limit{4096, 4096};
       ::setrlimit(RLIMIT_FSIZE, &limit);
       return failedWrite(d.file("level.vorl"), bigWrite());
     },
     [](const TempDir& d) {
       return "Error writing to stream\n" + d.file("level.vorl") +
              ": the file is larger than the file system or its limit allows.";
     }},
};

struct AtomicWriteFailure : ::testing::TestWithParam<FailedWrite> {};

TEST_P(AtomicWriteFailure, NamesTheFileAndTheCauseAndKeepsTheOldFile) {
  const FailedWrite& c = GetParam();
  TempDir dir;
  fs::create_directory(dir.path() / "folder.vorl");
  fs::create_directory(dir.path() / "locked");
  test::writeFile(dir.file("locked/level.vorl"), {5});
  ::chmod(dir.file("locked").c_str(), 0555);
  fs::create_directory(dir.path() / "small");
  ::chmod(dir.path().c_str(), 0755);  // the unprivileged child must reach "locked"
  const test::ChildOutcome outcome = test::runInChild([&] { return c.run(dir); });
  ::chmod(dir.file("locked").c_str(), 0755);
  ASSERT_TRUE(outcome.exited) << outcome.describe();
  if (outcome.text == "skip") GTEST_SKIP() << "no user to give up root to, or no mounts allowed";
  EXPECT_EQ(outcome.text, c.want(dir));
}

INSTANTIATE_TEST_SUITE_P(AtomicWrite, AtomicWriteFailure, ::testing::ValuesIn(kFailedWrites),
                         [](const ::testing::TestParamInfo<FailedWrite>& c) { return std::string(c.param.name); });

// A temporary of ours by name, locked by this process while `hold` lives (a writer still
// at work), else abandoned.
struct Temporary {
  std::string path;
  int fd = -1;
  Temporary(const TempDir& dir, const std::string& name, bool hold, int ageDays = 0) : path(dir.file(name)) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (hold) ::flock(fd, LOCK_EX);
    if (ageDays > 0) {
      const timeval times[2] = {{::time(nullptr) - ageDays * 86400, 0}, {::time(nullptr) - ageDays * 86400, 0}};
      ::utimes(path.c_str(), times);
    }
  }
  ~Temporary() { ::close(fd); }
};

TEST(AtomicWrite, ALaterSaveRemovesTemporariesTheirWritersLeft) {
  TempDir dir;
  const Temporary abandoned(dir, ".vorl-a1B2c3", false);
  const Temporary live(dir, ".vorl-d4E5f6", true);
  const Temporary hung(dir, ".vorl-g7H8i9", true, 2);
  const Temporary notOurs(dir, ".vorl-toolong", false);
  const Temporary another(dir, "vorl-abcdef", false);
  base::ConsoleCapture console;
  ASSERT_TRUE(write(dir.file("level.vorl"), {1}).ok());
  EXPECT_EQ(namesIn(dir.path()),
            (std::vector<std::string>{".vorl-d4E5f6", ".vorl-toolong", "level.vorl", "vorl-abcdef"}));
  EXPECT_THAT(console.lines(),
              ::testing::UnorderedElementsAre(
                  "Removed " + abandoned.path + ", a temporary file an interrupted save left behind.",
                  "Removed " + hung.path + ", a temporary file an interrupted save left behind."));
}

TEST(AtomicWrite, CheckWritableFindsTheFailuresBeforeAnyWork) {
  TempDir dir;
  EXPECT_TRUE(checkWritable(dir.file("new.vorl")).ok());
  EXPECT_EQ(checkWritable(dir.file("no/x.png")).error(),
            "Unable to open file.\n" + dir.file("no/x.png") + ": the folder " + dir.file("no") + " does not exist.");
  EXPECT_EQ(checkWritable("").error(), "Unable to open file.");
  EXPECT_TRUE(namesIn(dir.path()).empty());
}

}  // namespace
}  // namespace vorlane::platform
