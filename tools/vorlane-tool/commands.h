#pragma once
// Each sub-command of vorlane-tool registers itself on the application; one file each.
// Exit codes: 0 success, 1 bad input or file error (one-line reason on standard error),
// 2 usage error.
#include <CLI/CLI.hpp>
#include <initializer_list>
#include <optional>
#include <string>

#include "base/result.h"
#include "io/project.h"

namespace vorlane::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitUsage = 2;

// Each adds its sub-command; its callback stores the exit code in `exitCode`.
void addInfoCommand(CLI::App& app, int& exitCode);
void addCheckCommand(CLI::App& app, int& exitCode);
void addBakeCommand(CLI::App& app, int& exitCode);
void addPngCommand(CLI::App& app, int& exitCode);
void addScanCommand(CLI::App& app, int& exitCode);
void addImportCommand(CLI::App& app, int& exitCode);
void addExportCommand(CLI::App& app, int& exitCode);
void addNormalsCommand(CLI::App& app, int& exitCode);
void addRunCommand(CLI::App& app, int& exitCode);

// Shared by the sub-commands (common.cpp).
// An error of several lines as one.
std::string oneLine(std::string text);
// Writes "PATH: REASON" to standard error as one line (oneLine) and returns kExitBadInput.
int fail(const std::string& path, const std::string& reason);
// The same for a message that names its file already.
int failWhole(const std::string& message);
// Option checks whose refusal is a usage error saying what is accepted, in words.
CLI::Validator wholeNumberFrom(int low, int high);
CLI::Validator numberFrom(double low, double high);
CLI::Validator nonEmptyPath();
// Keeps the cause of a refused write to standard output for closeStandardOutput; call it
// right after the write, while errno holds the cause.
void noteOutputError();
// Flushes and closes standard output: a refused write (a full disk, /dev/full) is an error.
base::Status closeStandardOutput();
// A bare file name names a file of the current folder: the companion rule needs a folder.
std::string inThisFolder(const std::string& path);
// Refuses with the estimate when `need` bytes exceed what this process can take.
base::Status checkMemoryFor(const std::string& what, std::uint64_t need);
// Whether both paths name one existing file (device and inode: links and other spellings too).
bool sameFile(const std::string& a, const std::string& b);
// kExitBadInput, after the message, when `output` is one of `inputs`.
std::optional<int> refuseOwnInput(const std::string& output, std::initializer_list<std::string> inputs);
// Reads a project or export file; the reader's progress lines are not the tool's output.
base::Result<io::Project> readProject(const std::string& path);

}  // namespace vorlane::tool
