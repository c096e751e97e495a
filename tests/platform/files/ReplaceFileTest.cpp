// Replacing a file: what the user set on it stays, a failure is never silent, and no temporary
// file outlives the write, not even one ended by a signal.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/Files.h"
#include "platform/files/TemporaryFiles.h"
#include "tests/support/TempDir.h"

namespace morvane::platform {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;
using test::writeBytes;
using Names = std::vector<std::string>;

Names filesIn(const fs::path& folder) {
  Names names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// The message of the FileError that replacing the file throws; empty when it does not throw.
std::string failureOf(const std::string& path, const std::string& bytes) {
  try {
    replaceFile(path, bytes);
  } catch (const FileError& error) {
    return error.what();
  }
  return {};
}

class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(previous_); }

 private:
  mode_t previous_;
};

TEST(ReplaceFile, ReadOnlyFilesAreRefusedAndOtherFilesKeepTheirMode) {
  TempDir dir;
  const std::string locked = dir.file("locked.sql");
  writeBytes(locked, "old");
  ::chmod(locked.c_str(), 0444);
  const std::string reason = failureOf(locked, "new");
  EXPECT_NE(reason.find(locked), std::string::npos) << reason;
  EXPECT_NE(reason.find("読み取り専用"), std::string::npos) << reason;
  EXPECT_EQ(readBytes(locked), "old");
  EXPECT_EQ(modeOf(locked), 0444u);

  for (const mode_t mode : {0600u, 0640u, 0604u, 0755u, 0200u}) {
    const std::string path = dir.file("kept-" + std::to_string(mode));
    writeBytes(path, "old");
    ::chmod(path.c_str(), mode);
    replaceFile(path, "new");
    EXPECT_EQ(modeOf(path), mode) << std::oct << mode;
    if (mode & 0400) {
      EXPECT_EQ(readBytes(path), "new");
    }
  }
  // A new file gets what the umask leaves of 0666, like any other.
  for (const mode_t mask : {022u, 077u, 002u}) {
    const ScopedUmask scoped(mask);
    const std::string path = dir.file("new-" + std::to_string(mask));
    replaceFile(path, "x");
    EXPECT_EQ(modeOf(path), 0666u & ~mask) << std::oct << mask;
  }
  EXPECT_EQ(filesIn(dir.path()).size(), 9u);  // and nothing left aside
}

TEST(ReplaceFile, SymbolicLinksAreFollowedAndStayLinks) {
  TempDir dir;
  fs::create_directories(dir.path() / "real");
  fs::create_directories(dir.path() / "out");
  const std::string target = dir.file("real/a.sql");
  writeBytes(target, "old");
  ::chmod(target.c_str(), 0640);
  fs::create_symlink("../real/a.sql", dir.path() / "out/a.sql");  // relative to the link's folder
  fs::create_symlink(dir.path() / "out/a.sql", dir.path() / "chain.sql");
  replaceFile(dir.file("chain.sql"), "new");
  EXPECT_TRUE(fs::is_symlink(dir.path() / "chain.sql"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "out/a.sql"));
  EXPECT_EQ(readBytes(target), "new");
  EXPECT_EQ(modeOf(target), 0640u);
  EXPECT_EQ(filesIn(dir.path() / "real"), (Names{"a.sql"}));
  EXPECT_EQ(filesIn(dir.path() / "out"), (Names{"a.sql"}));

  // A link that leads nowhere yet creates the file it names.
  fs::create_symlink("real/b.sql", dir.path() / "dangling.sql");
  replaceFile(dir.file("dangling.sql"), "b");
  EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling.sql"));
  EXPECT_EQ(readBytes(dir.file("real/b.sql")), "b");

  // A link to a read-only file, to a folder or in a loop is refused with the link's name.
  ::chmod(target.c_str(), 0444);
  fs::create_symlink("real", dir.path() / "folder.sql");
  fs::create_symlink("loop2.sql", dir.path() / "loop1.sql");
  fs::create_symlink("loop1.sql", dir.path() / "loop2.sql");
  for (const char* name : {"chain.sql", "folder.sql", "loop1.sql"}) {
    const std::string reason = failureOf(dir.file(name), "x");
    EXPECT_NE(reason.find(dir.file(name)), std::string::npos) << name << ": " << reason;
  }
  EXPECT_EQ(readBytes(target), "new");
  EXPECT_TRUE(fs::is_directory(dir.path() / "real"));
}

TEST(ReplaceFile, FilesThatAreNotRegularAreNeverReplaced) {
  TempDir dir;
  const std::string fifo = dir.file("pipe.sql");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_NE(failureOf(fifo, "x").find(fifo), std::string::npos);
  EXPECT_TRUE(fs::is_fifo(fifo));
  fs::create_directory(dir.path() / "folder.htm");
  EXPECT_NE(failureOf(dir.file("folder.htm"), "x").find("フォルダです"), std::string::npos);
  EXPECT_EQ(filesIn(dir.path()), (Names{"folder.htm", "pipe.sql"}));
}

// The temporary name is hidden and never longer than the longest legal name.
TEST(ReplaceFile, NamesUpToTheLongestLegalOneAreWritten) {
  TempDir dir;
  const std::string kana = "\xE3\x81\x82";  // three bytes
  std::vector<std::string> names;
  for (std::size_t length = 240; length <= 255; ++length) names.push_back(std::string(length, 'n'));
  std::string japanese = "kk";
  while (japanese.size() + kana.size() <= 254) japanese += kana;
  names.push_back(japanese);  // 254 bytes: the longest stem that fits would end inside a character
  for (const auto& name : names) {
    SCOPED_TRACE(std::to_string(name.size()) + " bytes");
    const std::string path = dir.file(name);
    writeBytes(path, "old");
    {
      PendingFile pending(path);
      const std::string temp = fs::path(pending.temporaryPath()).filename().string();
      EXPECT_LE(temp.size(), 255u);
      EXPECT_EQ(temp.front(), '.');
      EXPECT_NE(temp.find(".tmp"), std::string::npos) << temp;
      // Cut on a character boundary: the name stays valid UTF-8 up to ".tmp".
      const std::string stem = temp.substr(1, temp.rfind(".tmp") - 1);
      if (name.size() + 11 <= 255) {
        EXPECT_EQ(stem, name);
      } else {
        EXPECT_EQ(name.compare(0, stem.size(), stem), 0);
        EXPECT_EQ(stem.size(), name.front() == 'k' ? 242u : 244u);
      }
      pending.write("new");
      EXPECT_EQ(readBytes(path), "old");  // untouched until committed
      pending.commit();
    }
    EXPECT_EQ(readBytes(path), "new");
  }
  EXPECT_EQ(filesIn(dir.path()).size(), names.size());
  const std::string tooLong = dir.file(std::string(256, 'n'));
  EXPECT_NE(failureOf(tooLong, "x").find("ファイル名が長すぎます"), std::string::npos);
}

TEST(ReplaceFile, AnUncommittedWriteLeavesTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir.file("a.htm");
  writeBytes(path, "old");
  {
    PendingFile pending(path);
    pending.write("half");
    EXPECT_EQ(filesIn(dir.path()).size(), 2u);
    EXPECT_TRUE(fs::exists(pending.temporaryPath()));
  }
  EXPECT_EQ(filesIn(dir.path()), (Names{"a.htm"}));
  EXPECT_EQ(readBytes(path), "old");
}

TEST(ReplaceFile, AFolderThatWentAwayIsReportedWithTheFile) {
  TempDir dir;
  EXPECT_NE(failureOf(dir.file("missing/a.sql"), "x").find(dir.file("missing/a.sql") + ": ファイルまたはフォルダがありません"),
            std::string::npos);
  fs::create_directory(dir.path() / "out");
  const std::string path = dir.file("out/a.sql");
  PendingFile pending(path);
  pending.write("x");
  fs::rename(dir.path() / "out", dir.path() / "moved");
  try {
    pending.commit();
    ADD_FAILURE() << "the commit into a folder that went away succeeded";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    EXPECT_NE(error.code(), 0);
  }
  EXPECT_FALSE(fs::exists(path));
}

// A tmpfs of 64 KiB fills up; only root may mount one, so elsewhere the case is skipped.
TEST(ReplaceFile, AFullDiskIsReportedAndTheOldFileStays) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  TempDir dir;
  const fs::path disk = dir.path() / "disk";
  fs::create_directory(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "tmpfs cannot be mounted here: " << std::strerror(errno);
  }
  struct Unmount {
    const fs::path& at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{disk};
  const std::string path = (disk / "a.sql").string();
  writeBytes(path, "old");
  const std::string reason = failureOf(path, std::string(1 << 20, 'x'));
  EXPECT_NE(reason.find(path + ": ディスクに空きがありません"), std::string::npos) << reason;
  EXPECT_EQ(readBytes(path), "old");
  EXPECT_EQ(filesIn(disk), (Names{"a.sql"}));
  // Space again: the next write goes through.
  replaceFile(path, "new");
  EXPECT_EQ(readBytes(path), "new");
}

// A child process starts a write and stops half way; the parent then sends the signal.
class SignalledWrite : public ::testing::TestWithParam<int> {};

TEST_P(SignalledWrite, EndsTheProgramAndRemovesTheTemporaryFile) {
  TempDir dir;
  const std::string path = dir.file("a.htm");
  writeBytes(path, "old");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    removeTemporaryFilesOnSignals();
    PendingFile pending(path);
    pending.write("half");
    const std::string temp = pending.temporaryPath() + "\n";
    if (::write(ready[1], temp.data(), temp.size()) != static_cast<ssize_t>(temp.size())) ::_exit(3);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  std::string temp;
  char c;
  while (::read(ready[0], &c, 1) == 1 && c != '\n') temp += c;
  ::close(ready[0]);
  ASSERT_FALSE(temp.empty());
  EXPECT_TRUE(fs::exists(temp));
  ::kill(child, GetParam());
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), GetParam());  // ended as the signal would have ended it
  EXPECT_FALSE(fs::exists(temp)) << temp;
  EXPECT_EQ(filesIn(dir.path()), (Names{"a.htm"}));
  EXPECT_EQ(readBytes(path), "old");
}

// SIGKILL cannot be caught: what it leaves is the old file and a hidden file of another name.
TEST(ReplaceFile, AKilledWriteLeavesTheOldFileAndNothingThatLooksLikeOutput) {
  TempDir dir;
  const std::string path = dir.file("a.htm");
  writeBytes(path, "old");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    PendingFile pending(path);
    pending.write("half");
    if (::write(ready[1], "\n", 1) != 1) ::_exit(3);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ::close(ready[0]);
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(readBytes(path), "old");
  const Names left = filesIn(dir.path());
  ASSERT_EQ(left.size(), 2u);
  for (const auto& name : left) {
    if (name == "a.htm") continue;
    EXPECT_EQ(name.rfind(".a.htm.tmp", 0), 0u) << name;
    EXPECT_FALSE(name.ends_with(".htm")) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalledWrite, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

}  // namespace
}  // namespace morvane::platform
