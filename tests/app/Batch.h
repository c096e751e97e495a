// Runs morvane-batch as a user's shell would, but in a session of its own (no controlling
// terminal), with input from /dev/null and without the caller's MORVANE_PASSWORD.
#pragma once
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
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

// The names in a folder, sorted.
inline std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace morvane::test
