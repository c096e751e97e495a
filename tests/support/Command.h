#pragma once
// Runs a shell command for the tests that drive outside tools (a browser, node).
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace morvane::test {

// The text in single quotes for /bin/sh.
inline std::string quote(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct CommandResult {
  int status = -1;
  std::string out;  // standard output (with 2>&1 in the command, errors too)
};

inline CommandResult run(const std::string& command) {
  CommandResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline bool haveCommand(const std::string& name) { return run("command -v " + name + " >/dev/null 2>&1").status == 0; }

}  // namespace morvane::test
