// SPDX-License-Identifier: MIT
// Dump files on disk: written whole through a temporary file and a rename, never into a FIFO or
// a device, the permissions of a replaced file and a link to it kept.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "dump/DumpFile.h"

using namespace norvex::dump;
namespace fs = std::filesystem;

namespace {

class DumpFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/norvex-dump-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    folder = name;
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::size_t entries() {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
  }

  fs::path folder;
};

CardImage fullImage(uint8_t fill) {
  CardImage image(CardSize::Classic1K);
  for (std::size_t i = 0; i < image.byteCount(); ++i) image.setByte(i, fill);
  return image;
}

}  // namespace

TEST_F(DumpFile, ReplacesAFileWholeKeepingItsModeAndLinks) {
  const fs::path file = folder / "card.mfd", link = folder / "link.mfd";
  std::ofstream(file) << "an older dump";
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  fs::create_symlink("card.mfd", link);

  ASSERT_EQ(saveDumpFile(link, fullImage(0x5A)), "");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(contentsOf(file), std::string(1024, '\x5A'));
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(entries(), 2u);  // no temporary file left behind

  // A new file in a .partial name, its format given.
  ASSERT_EQ(saveDumpFile(file.string() + ".partial", fullImage(1), DumpFormat::Raw), "");
  EXPECT_EQ(contentsOf(file.string() + ".partial"), std::string(1024, '\x01'));
}

TEST_F(DumpFile, RefusesWhatIsNotARegularFile) {
  // Opening the FIFO to write would block until a reader came: the refusal comes first.
  const fs::path fifo = folder / "pipe.mfd", sub = folder / "sub.mfd";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(sub);
  const struct {
    fs::path path;
    const char* error;
  } cases[] = {{fifo, "pipe.mfd: exists and is not a regular file"},
               {sub, "sub.mfd: is a folder"},
               {folder / "missing" / "card.mfd", "card.mfd: No such file or directory"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_NE(saveDumpFile(c.path, fullImage(0)).find(c.error), std::string::npos);
  }
  EXPECT_NE(checkOutputPath(fifo), "");
  EXPECT_EQ(checkOutputPath(folder / "new.mfd"), "");
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(entries(), 2u);
}
