// Runs morvane-batch as a user's shell would, but in a session of its own; and shell commands for
// the tests that drive outside tools (node, a browser, xmllint).
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
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/TdsTestServer.h"
#include "tests/support/TempDir.h"

extern char** environ;

// A text holds a part; the whole text is shown when it does not.
#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)
#define EXPECT_LACKS(text, part) EXPECT_EQ((text).find(part), std::string::npos) << (text)

namespace morvane::test {

using Names = std::vector<std::string>;

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

// Starts morvane-batch in a session of its own, its standard files opened from the paths given
// (a terminal's as the first makes it the controlling one), with the environment given before the
// caller's, less its MORVANE_PASSWORD.
inline pid_t startBatch(std::vector<std::string> args, std::vector<std::string> env, const std::string& in,
                        const std::string& out, const std::string& err) {
  args.insert(args.begin(), MORVANE_BATCH);
  for (char** e = environ; *e; ++e) {
    if (!std::string(*e).starts_with("MORVANE_PASSWORD=")) env.emplace_back(*e);
  }
  std::vector<char*> argv, envp;
  for (auto& text : args) argv.push_back(text.data());
  for (auto& text : env) envp.push_back(text.data());
  argv.push_back(nullptr), envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDWR, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Signals as a shell gives a job in the foreground, however the tests themselves were started.
  sigset_t signals;
  sigfillset(&signals);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  if (posix_spawn(&pid, MORVANE_BATCH, &actions, &attributes, argv.data(), envp.data())) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return pid;
}

// The exit status, or 128 + the signal that ended it; -1 when it did not end within a minute.
inline int waitFor(pid_t pid) {
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (pid <= 0 || std::chrono::steady_clock::now() > deadline) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

inline BatchRun batch(std::vector<std::string> args, const std::vector<std::string>& extraEnvironment = {}) {
  TempDir dir;
  const pid_t pid = startBatch(std::move(args), extraEnvironment, "/dev/null", dir.file("out"), dir.file("err"));
  return {waitFor(pid), readBytes(dir.file("out")), readBytes(dir.file("err"))};
}

// The options that log in to the test server as sa.
inline std::vector<std::string> login(const TdsTestServer& server) {
  return {"--server", server.address(), "--database", "販売", "--user", "sa"};
}

// Every file of a folder, each name followed by its bytes.
inline std::string folderBytes(const std::string& folder) {
  std::string all;
  if (!std::filesystem::is_directory(folder)) return "(no folder)";
  for (const auto& name : filesIn(folder)) all += name + "\n" + readBytes(folder + "/" + name);
  return all;
}

// Reads until the text appears (or, for none, the end) or a minute has passed.
inline std::string readUntil(int fd, const std::string& wanted, std::string seen = {}) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while ((wanted.empty() || seen.find(wanted) == std::string::npos) && std::chrono::steady_clock::now() < deadline) {
    pollfd poll{fd, POLLIN, 0};
    if (::poll(&poll, 1, 1000) <= 0) continue;
    char buffer[256];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    seen.append(buffer, static_cast<std::size_t>(got));
  }
  return seen;
}

// morvane-batch on a terminal of its own: what the terminal showed, and the exit status. Once
// the prompt appears, the answer is typed.
inline BatchRun batchOnTerminal(std::vector<std::string> args, const std::string& prompt = {},
                                const std::string& answer = {}) {
  BatchRun run;
  int master = -1, slave = -1;
  char name[256];
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return run;
  const pid_t pid = startBatch(std::move(args), {}, name, name, name);
  ::close(slave);
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

// The text in single quotes for /bin/sh.
inline std::string quote(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The exit status (-1 when it did not exit) and the standard output of a shell command.
inline std::pair<int, std::string> run(const std::string& command) {
  std::pair<int, std::string> result{-1, ""};
  FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[4096];
  for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.second.append(buffer, n);
  const int status = pipe ? ::pclose(pipe) : -1;
  if (pipe && WIFEXITED(status)) result.first = WEXITSTATUS(status);
  return result;
}

}  // namespace morvane::test
