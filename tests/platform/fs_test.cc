#include "platform/fs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <algorithm>
#include <string>

namespace {

class FsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("velmfs." + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    velm::fs::clearFaultPlan();
    std::filesystem::remove_all(dir_);
  }
  std::string path(const char *name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

TEST_F(FsTest, CreatedFilesArePrivateWhateverTheUmask) {
  const mode_t old = ::umask(0);
  FILE *fp = velm::fs::open(path("a").c_str(), "ab+");
  ::umask(old);
  ASSERT_NE(fp, nullptr);
  velm::fs::close(fp);
  struct stat st{};
  ASSERT_EQ(::stat(path("a").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(FsTest, NthWriteFailsAndPartialWriteLeavesHalf) {
  velm::fs::setFaultPlan({{velm::fs::Op::Write, 2, 1, ENOSPC, true}});
  FILE *fp = velm::fs::open(path("w").c_str(), "ab+");
  ASSERT_NE(fp, nullptr);
  EXPECT_EQ(velm::fs::write(fp, "0123456789", 10), 10u);
  errno = 0;
  EXPECT_EQ(velm::fs::write(fp, "abcdefgh", 8), 4u);
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(velm::fs::write(fp, "XY", 2), 2u);  // only the second call fails
  velm::fs::close(fp);
  EXPECT_EQ(std::filesystem::file_size(path("w")), 16u);
  EXPECT_EQ(velm::fs::callCount(velm::fs::Op::Write), 3);
}

TEST_F(FsTest, FaultsOnOpenFlushAndForever) {
  velm::fs::setFaultPlan({{velm::fs::Op::Open, 1, 1, EMFILE},
                          {velm::fs::Op::Flush, 1, -1, EIO}});
  errno = 0;
  EXPECT_EQ(velm::fs::open(path("o").c_str(), "ab+"), nullptr);
  EXPECT_EQ(errno, EMFILE);
  FILE *fp = velm::fs::open(path("o").c_str(), "ab+");
  ASSERT_NE(fp, nullptr);
  for (int i = 0; i < 3; ++i) {
    errno = 0;
    EXPECT_EQ(velm::fs::flush(fp), EOF);
    EXPECT_EQ(errno, EIO);
  }
  velm::fs::clearFaultPlan();
  EXPECT_EQ(velm::fs::flush(fp), 0);
  velm::fs::close(fp);
}

TEST_F(FsTest, ListDirSkipsDotEntries) {
  for (const char *n : {"x", "y"}) velm::fs::close(velm::fs::open(path(n).c_str(), "ab+"));
  std::vector<std::string> names;
  ASSERT_EQ(velm::fs::listDir(dir_.c_str(), names), 0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(velm::fs::listDir(path("missing").c_str(), names), -1);
}

}  // namespace
