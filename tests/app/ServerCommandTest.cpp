// morvane-batch --server against the TDS test server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "document/clsExcelDBDoc.h"
#include "model/clsXML.h"
#include "sqlserver/TypeNotationFile.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace morvane {
namespace {

using test::TdsTestServer;

const std::string kExamples = std::string(MORVANE_SOURCE_DIR) + "/examples/";
const std::string kExample = kExamples + "design-document.xlsx";

struct BatchRun {
  int status = -1;
  std::string out;
  std::string err;
};

// The environment of this process without MORVANE_PASSWORD, plus the given entries.
std::vector<std::string> environment(const std::vector<std::string>& extra) {
  std::vector<std::string> entries;
  for (char** e = environ; *e; ++e) {
    if (!std::string(*e).starts_with("MORVANE_PASSWORD=")) entries.emplace_back(*e);
  }
  entries.insert(entries.end(), extra.begin(), extra.end());
  return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (auto& text : texts) out.push_back(text.data());
  out.push_back(nullptr);
  return out;
}

// Runs morvane-batch in a session of its own, so it has no controlling terminal, with input
// from /dev/null.
BatchRun runBatch(std::vector<std::string> args, const std::vector<std::string>& extraEnvironment) {
  test::TempDir dir;
  args.insert(args.begin(), MORVANE_BATCH);
  auto argv = pointers(args);
  auto envTexts = environment(extraEnvironment);
  auto envp = pointers(envTexts);
  const std::string outPath = dir.file("out");
  const std::string errPath = dir.file("err");
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
  run.out = test::readBytes(outPath);
  run.err = test::readBytes(errPath);
  return run;
}

std::vector<std::string> serverArgs(const TdsTestServer& server) {
  return {"--layout",   kExamples + "design-document.edf",
          "--types",    kExamples + "types-ja.sfa",
          "--server",   server.address(),
          "--database", "販売",
          "--user",     "sa",
          kExample};
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find('\n', start);
    out.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

// What the generator makes of the example's tables, in sheet order, with the example's types.
std::vector<std::string> exampleScripts() {
  clsXML typesFile;
  if (!typesFile.fnReadFile(kExamples + "types-ja.sfa")) return {};
  auto types = std::make_shared<clsSQLServerFieldAttr>();
  sbReadDataType(typesFile, *types);
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(test::exampleLayout());
  if (!reader.fnReadDBDoc(kExample)) return {};
  clsSQLServerDB generator;
  generator.sbSetFieldAttr(types);
  std::vector<std::string> scripts;
  for (const auto& table : reader.getDBInfo().getTables()) scripts.push_back(generator.makeCreateSQL(*table).value());
  return scripts;
}

#define SKIP_WITHOUT_EXAMPLE()                                                         \
  do {                                                                                 \
    if (!std::filesystem::exists(kExample)) GTEST_SKIP() << "no example workbook yet"; \
  } while (false)

TdsTestServer::Config account() {
  TdsTestServer::Config config;
  config.user = "sa";
  config.password = "p;w={x}";
  config.database = "販売";
  return config;
}

TEST(ServerCommand, CreatesTheExamplesTablesThenReportsEachExistingOne) {
  SKIP_WITHOUT_EXAMPLE();
  TdsTestServer server(account());
  const BatchRun first = runBatch(serverArgs(server), {"MORVANE_PASSWORD=p;w={x}"});
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err, "");
  const auto scripts = exampleScripts();
  ASSERT_EQ(scripts.size(), 4u);
  EXPECT_EQ(server.batches(), scripts);
  EXPECT_EQ(server.tables(), (std::set<std::string>{"顧客", "受注", "受注明細", "商品"}));

  const BatchRun second = runBatch(serverArgs(server), {"MORVANE_PASSWORD=p;w={x}"});
  EXPECT_EQ(second.status, 1);
  const auto errors = lines(second.err);
  ASSERT_EQ(errors.size(), scripts.size()) << second.err;
  for (const auto& line : errors) {
    EXPECT_TRUE(line.starts_with("morvane-batch: table ")) << line;
    EXPECT_NE(line.find(": not created: [FreeTDS][SQL Server]There is already an object named '"), std::string::npos)
        << line;
  }
}

TEST(ServerCommand, WrongPasswordFailsWithTheServersReason) {
  SKIP_WITHOUT_EXAMPLE();
  TdsTestServer server(account());
  const BatchRun run = runBatch(serverArgs(server), {"MORVANE_PASSWORD=wrong"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Login failed for user 'sa'."), std::string::npos) << run.err;
  EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
  EXPECT_TRUE(server.batches().empty());
}

TEST(ServerCommand, NoPasswordAndNoTerminalIsAnError) {
  SKIP_WITHOUT_EXAMPLE();
  TdsTestServer server(account());
  const BatchRun run = runBatch(serverArgs(server), {});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("MORVANE_PASSWORD"), std::string::npos) << run.err;
  EXPECT_EQ(server.connectionCount(), 0u);
}

TEST(ServerCommand, FindsTheDriverLibraryWhenNoDriverIsRegistered) {
  SKIP_WITHOUT_EXAMPLE();
  TdsTestServer server(account());
  test::TempDir emptyConfig;  // an odbcinst.ini-less configuration folder
  const BatchRun run =
      runBatch(serverArgs(server), {"MORVANE_PASSWORD=p;w={x}", "ODBCSYSINI=" + emptyConfig.path().string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(server.batches().empty());
}

// Reads from the terminal's master side until the text appears or the child is gone.
std::string readUntil(int master, const std::string& wanted, std::string seen = {}) {
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

TEST(ServerCommand, AsksForThePasswordOnTheTerminalWithoutEcho) {
  SKIP_WITHOUT_EXAMPLE();
  TdsTestServer server(account());
  std::vector<std::string> args = serverArgs(server);
  args.insert(args.begin(), MORVANE_BATCH);
  auto argv = pointers(args);
  auto envTexts = environment({});
  auto envp = pointers(envTexts);

  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::execve(MORVANE_BATCH, argv.data(), envp.data());
    ::_exit(127);
  }
  const std::string prompt = "Password for sa on " + server.address() + ": ";
  std::string screen = readUntil(master, prompt);
  EXPECT_NE(screen.find(prompt), std::string::npos) << screen;
  const std::string typed = "p;w={x}\n";
  ASSERT_EQ(::write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  screen = readUntil(master, "", screen);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::close(master);

  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
  EXPECT_EQ(screen.find("p;w={x}"), std::string::npos) << "the password was echoed: " << screen;
  ASSERT_EQ(server.logins().size(), 1u);
  EXPECT_EQ(server.logins()[0].password, "p;w={x}");
}

}  // namespace
}  // namespace morvane
