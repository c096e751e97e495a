// Runs morvane-batch as a user's shell would, but in a session of its own (no controlling
// terminal), with input from /dev/null and without the caller's MORVANE_PASSWORD.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

extern char** environ;

namespace morvane::test {

struct BatchRun {
  int status = -1;
  std::string out;
  std::string err;
  int errLines() const { return static_cast<int>(std::count(err.begin(), err.end(), '\n')); }
};

inline const std::string kExamples = std::string(MORVANE_SOURCE_DIR) + "/examples/";
inline const std::string kExampleBook = kExamples + "design-document.xlsx";
// The example's layout: five sheets, fields from row 6.
inline const std::string kExampleLayout = "1,5,6,3,3,4,5,6,7,9";
// The optional positions examples/design-document.edf adds to it.
inline const std::string kExampleLayoutExtra =
    "ColLogicalName=10,ColDefault=11,ColRemarks=8,ColUnique=12,ColIndex=13,ColReference=14,RowTableLogicalName=3,"
    "ColTableLogicalName=5";

inline std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (auto& text : texts) out.push_back(text.data());
  out.push_back(nullptr);
  return out;
}

inline std::vector<std::string> batchEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> entries;
  for (char** e = environ; *e; ++e) {
    if (!std::string(*e).starts_with("MORVANE_PASSWORD=")) entries.emplace_back(*e);
  }
  entries.insert(entries.end(), extra.begin(), extra.end());
  return entries;
}

inline BatchRun batch(std::vector<std::string> args, const std::vector<std::string>& extraEnvironment = {}) {
  TempDir dir;
  args.insert(args.begin(), MORVANE_BATCH);
  auto argv = pointers(args);
  auto envTexts = batchEnvironment(extraEnvironment);
  auto envp = pointers(envTexts);
  const std::string outPath = dir.file("out"), errPath = dir.file("err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, MORVANE_BATCH, &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  BatchRun run;
  if (spawned != 0) return run;
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = readBytes(outPath);
  run.err = readBytes(errPath);
  return run;
}

// Waits for the child's exit status; -1 when it did not exit by itself within a minute.
inline int waitFor(pid_t pid) {
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Reads from a terminal's master side until the text appears (or, for none, the end) or a
// minute has passed.
inline std::string readUntil(int master, const std::string& wanted, std::string seen = {}) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (wanted.empty() || seen.find(wanted) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) break;
    pollfd fd{master, POLLIN, 0};
    if (::poll(&fd, 1, 1000) <= 0) continue;
    char buffer[256];
    const ssize_t got = ::read(master, buffer, sizeof buffer);
    if (got <= 0) break;
    seen.append(buffer, static_cast<std::size_t>(got));
  }
  return seen;
}

// morvane-batch on a terminal of its own: what the terminal showed, and the exit status. Once
// the prompt appears, the answer is typed.
inline BatchRun batchOnTerminal(std::vector<std::string> args, const std::string& prompt = {},
                                const std::string& answer = {}) {
  args.insert(args.begin(), MORVANE_BATCH);
  auto argv = pointers(args);
  auto envTexts = batchEnvironment({});
  auto envp = pointers(envTexts);
  BatchRun run;
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return run;
  if (pid == 0) {
    ::execve(MORVANE_BATCH, argv.data(), envp.data());
    ::_exit(127);
  }
  if (!prompt.empty()) {
    run.out = readUntil(master, prompt);
    if (run.out.find(prompt) != std::string::npos &&
        ::write(master, answer.data(), answer.size()) != static_cast<ssize_t>(answer.size())) {
      run.out += "(the answer could not be typed)";
    }
  }
  run.out = readUntil(master, "", run.out);
  ::close(master);
  run.status = waitFor(pid);
  return run;
}

}  // namespace morvane::test
