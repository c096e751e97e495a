// Replacing a file: what the user set on it stays, and a failure is never silent and never
// leaves a partial file. (Signals ending a write are tried with the batch tool, in tests/app.)
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/files/Files.h"
#include "tests/support/TempDir.h"

namespace morvane::platform {
namespace {

namespace fs = std::filesystem;
using test::filesIn;
using test::readBytes;
using test::TempDir;
using test::writeBytes;
using Names = std::vector<std::string>;

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

TEST(ReplaceFile, ModesAreKeptAndReadOnlyFilesRefused) {
  TempDir dir;
  const std::string locked = dir.file("locked.sql");
  writeBytes(locked, "old");
  ::chmod(locked.c_str(), 0444);
  const std::string reason = failureOf(locked, "new");
  EXPECT_NE(reason.find(locked + ": 読み取り専用"), std::string::npos) << reason;
  EXPECT_EQ(readBytes(locked), "old");
  for (const mode_t mode : {0600u, 0604u, 0755u}) {
    const std::string path = dir.file("kept-" + std::to_string(mode));
    writeBytes(path, "old");
    ::chmod(path.c_str(), mode);
    replaceFile(path, "new");
    replaceFile(path, "newer");
    EXPECT_EQ(modeOf(path), mode) << std::oct << mode;
    EXPECT_EQ(readBytes(path), "newer");
  }
  // A new file gets what the umask leaves of 0666, like any other.
  for (const mode_t mask : {022u, 077u}) {
    const mode_t previous = ::umask(mask);
    replaceFile(dir.file("new-" + std::to_string(mask)), "x");
    ::umask(previous);
    EXPECT_EQ(modeOf(dir.file("new-" + std::to_string(mask))), 0666u & ~mask) << std::oct << mask;
  }
  EXPECT_NE(failureOf(dir.file("missing/a.txt"), "x"), "");
  {
    PendingFile abandoned(dir.file("kept-384"));  // a write given up before its commit
    abandoned.write("partial");
  }
  EXPECT_EQ(readBytes(dir.file("kept-384")), "newer");
  EXPECT_EQ(filesIn(dir.path()).size(), 6u);  // and nothing left aside
}

TEST(ReplaceFile, SymbolicLinksAreFollowedAndWhatIsNoRegularFileIsRefused) {
  TempDir dir;
  fs::create_directories(dir.path() / "real");
  fs::create_directories(dir.path() / "out");
  const std::string target = dir.file("real/a.sql");
  writeBytes(target, "old");
  ::chmod(target.c_str(), 0640);
  fs::create_symlink("../real/a.sql", dir.path() / "out/a.sql");  // relative to the link's folder
  fs::create_symlink(dir.path() / "out/a.sql", dir.path() / "chain.sql");
  replaceFile(dir.file("chain.sql"), "new");
  EXPECT_TRUE(fs::is_symlink(dir.path() / "chain.sql") && fs::is_symlink(dir.path() / "out/a.sql"));
  EXPECT_EQ(readBytes(target), "new");
  EXPECT_EQ(modeOf(target), 0640u);
  EXPECT_EQ(filesIn(dir.path() / "real"), (Names{"a.sql"}));
  // A link that leads nowhere yet creates the file it names.
  fs::create_symlink("real/b.sql", dir.path() / "dangling.sql");
  replaceFile(dir.file("dangling.sql"), "b");
  EXPECT_EQ(readBytes(dir.file("real/b.sql")), "b");
  // Through a link to a read-only file, a folder, a link loop, a named pipe: refused, by name.
  ::chmod(target.c_str(), 0444);
  fs::create_symlink("real", dir.path() / "folder.sql");
  fs::create_symlink("loop2.sql", dir.path() / "loop1.sql");
  fs::create_symlink("loop1.sql", dir.path() / "loop2.sql");
  ASSERT_EQ(::mkfifo(dir.file("pipe.sql").c_str(), 0644), 0);
  for (const char* name : {"chain.sql", "folder.sql", "loop1.sql", "pipe.sql"}) {
    EXPECT_NE(failureOf(dir.file(name), "x").find(dir.file(name) + ": "), std::string::npos) << name;
  }
  EXPECT_EQ(readBytes(target), "new");
  EXPECT_TRUE(fs::is_directory(dir.path() / "real") && fs::is_fifo(dir.file("pipe.sql")));
}

// The temporary name is hidden and never longer than the longest legal name.
TEST(ReplaceFile, NamesUpToTheLongestLegalOneAreWritten) {
  TempDir dir;
  std::string japanese = "kk";  // then 84 three-byte kana: the longest stem would end inside one
  while (japanese.size() < 254) japanese += "\xE3\x81\x82";
  for (const std::string& name :
       {std::string(244, 'n'), std::string(245, 'n'), std::string(255, 'n'), japanese}) {
    SCOPED_TRACE(std::to_string(name.size()) + " bytes");
    const std::string path = dir.file(name);
    writeBytes(path, "old");
    PendingFile pending(path);
    const std::string temp = fs::path(pending.temporaryPath()).filename().string();
    const std::size_t stem = name.size() <= 244 ? name.size() : name.front() == 'k' ? 242 : 244;
    EXPECT_EQ(temp.substr(0, stem + 5), "." + name.substr(0, stem) + ".tmp") << temp;
    EXPECT_EQ(temp.size(), stem + 11) << temp;
    pending.write("new");
    EXPECT_EQ(readBytes(path), "old");  // untouched until committed
    pending.commit();
    EXPECT_EQ(readBytes(path), "new");
  }
  EXPECT_EQ(filesIn(dir.path()).size(), 4u);
  EXPECT_NE(failureOf(dir.file(std::string(256, 'n')), "x").find("ファイル名が長すぎます"),
            std::string::npos);
  // A folder that went away before the commit is reported with the file.
  fs::create_directory(dir.path() / "out");
  PendingFile pending(dir.file("out/a.sql"));
  pending.write("x");
  fs::rename(dir.path() / "out", dir.path() / "moved");
  EXPECT_THROW(pending.commit(), FileError);
  EXPECT_FALSE(fs::exists(dir.file("out/a.sql")));
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
}

}  // namespace
}  // namespace morvane::platform
