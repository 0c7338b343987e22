// Runs one test of this program in a child process of its own: for what only a fresh process
// shows (state before any InitGraph, the program's end) or what needs another environment
// (no display). The child test runs only when HLASIVO_CHILD_TEST is set and is skipped
// otherwise.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace child_process {

inline bool InChild() { return std::getenv("HLASIVO_CHILD_TEST") != nullptr; }

#define SKIP_UNLESS_CHILD() \
  if (!child_process::InChild()) GTEST_SKIP() << "runs in a child process of another test"

// Runs `testName` (Suite.Name) in a child with the environment changed by `set` ("NAME=value")
// and `unset` (names). Returns its exit code, or -1 when it crashed or had to be stopped after
// `limitSeconds` (a hang).
inline int RunChildTest(const std::string& testName, const std::vector<std::string>& set = {},
                        const std::vector<std::string>& unset = {}, int limitSeconds = 120) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    std::string name = entry.substr(0, entry.find('='));
    bool drop = name == "HLASIVO_CHILD_TEST";
    for (const std::string& u : unset) drop = drop || name == u;
    for (const std::string& s : set) drop = drop || name == s.substr(0, s.find('='));
    if (!drop) env.push_back(entry);
  }
  for (const std::string& s : set) env.push_back(s);
  env.push_back("HLASIVO_CHILD_TEST=1");
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  std::string filter = "--gtest_filter=" + testName;
  std::string self = "/proc/self/exe";
  char* argv[] = {self.data(), filter.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return -1;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace child_process
