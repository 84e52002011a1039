#include "support/child.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>

namespace vorlane::test {

std::string ChildOutcome::describe() const {
  return (exited ? "exited with " : "killed by signal ") + std::to_string(status) + ": " + text;
}

bool memoryLimitsApply() {
#if defined(__SANITIZE_ADDRESS__)
  return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
  return false;
#else
  return true;
#endif
#else
  return true;
#endif
}

ChildOutcome runInChild(const std::function<std::string()>& work, std::uint64_t addressSpaceBytes) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {false, -1, "no pipe"};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    const rlimit limit{addressSpaceBytes, addressSpaceBytes};
    if (addressSpaceBytes != 0) ::setrlimit(RLIMIT_AS, &limit);
    std::string text;
    try {
      text = work();
    } catch (const std::exception& e) {
      text = std::string("threw ") + e.what();
    }
    for (std::size_t done = 0; done < text.size();) {
      const ::ssize_t n = ::write(pipeFds[1], text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  ChildOutcome outcome;
  char buffer[4096];
  for (::ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) outcome.text.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  outcome.exited = WIFEXITED(status);
  outcome.status = outcome.exited ? WEXITSTATUS(status) : WTERMSIG(status);
  return outcome;
}

pid_t spawnProgram(std::vector<std::string> args) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return child;
}

}  // namespace vorlane::test
