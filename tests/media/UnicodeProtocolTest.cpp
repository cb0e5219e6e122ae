// File names at the libraries: the URL form and the file access behind it, under the C locale and
// a UTF-8 locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "UnicodeProtocol.h"
#include "platform/WideString.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

namespace kavro::test {
namespace {

const std::wstring Foreign = L"Sm\u00f6rg\u00e5s_\u65e5\u672c.avi";

class LocaleScope {
public:
  explicit LocaleScope(const char* name) : FSaved(std::setlocale(LC_ALL, nullptr)) {
    std::setlocale(LC_ALL, name);
  }
  ~LocaleScope() { std::setlocale(LC_ALL, FSaved.c_str()); }

private:
  std::string FSaved;
};

TEST(UnicodeUrl, UnderTheCLocale) {
  LocaleScope locale("C");
  EXPECT_FALSE(NeedsUnicodeURL(L"/tmp/plain.avi"));
  EXPECT_EQ(FileNameToURL(L"/tmp/plain.avi"), "/tmp/plain.avi");
  EXPECT_TRUE(NeedsUnicodeURL(Foreign));
  const std::string url = FileNameToURL(Foreign);
  EXPECT_EQ(url, "unicode:utf8:" + WideToUtf8(Foreign));
  EXPECT_EQ(URLToFileName(url), Foreign);
  // Known protocols pass through; a drive-letter name is a file name.
  EXPECT_FALSE(NeedsUnicodeURL(L"http://example.invalid/\u65e5.avi"));
  EXPECT_EQ(FileNameToURL(L"C:\\a.avi"), "C:\\a.avi");
  EXPECT_TRUE(NeedsUnicodeURL(L"C:\\\u65e5.avi"));
  EXPECT_EQ(URLToFileName("unicode:utf8"), L"unicode:utf8");
}

TEST(UnicodeUrl, UnderAUtf8Locale) {
  LocaleScope locale("C.UTF-8");
  EXPECT_FALSE(NeedsUnicodeURL(Foreign));
  EXPECT_EQ(FileNameToURL(Foreign), WideToUtf8(Foreign));
  EXPECT_EQ(URLToFileName(WideToUtf8(Foreign)), Foreign);
  EXPECT_EQ(URLToFileName("unicode:utf8:" + WideToUtf8(Foreign)), Foreign);
}

TEST(UnicodeUrl, LongNamesKeepEveryCharacter) {
  LocaleScope locale("C");
  const std::wstring name = L"/tmp/" + std::wstring(3000, L'\u00e9') + L".avi";
  // Compared as a whole: a failure would print thousands of characters.
  EXPECT_TRUE(URLToFileName(FileNameToURL(name)) == name);
  const std::wstring plain = L"/tmp/" + std::wstring(3000, L'a') + L".avi";
  EXPECT_TRUE(FileNameToURL(plain) == WideToNarrow(plain));
}

class UnicodeFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    // One name per test: CTest runs tests side by side.
    Path = KAVRO_TEST_OUTPUT + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
           WideToUtf8(Foreign);
    Url = std::string(UnicodeUrlPrefix) + Path;
  }
  void TearDown() override { std::remove(Path.c_str()); }
  std::string Path;
  std::string Url;
};

TEST_F(UnicodeFileTest, WriteReadSeekAndSize) {
  TUnicodeFile* file = nullptr;
  ASSERT_EQ(TUnicodeFile::Open(Url, omWrite, file), 0);
  EXPECT_EQ(file->Write(reinterpret_cast<const uint8_t*>("hello"), 5), 5);
  EXPECT_EQ(file->Seek(0, TUnicodeFile::SeekSize), 5);
  delete file;
  ASSERT_EQ(TUnicodeFile::Open(Url, omRead, file), 0);
  uint8_t buffer[8] = {};
  EXPECT_EQ(file->Seek(1, SEEK_SET), 1);
  EXPECT_EQ(file->Read(buffer, 8), 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "ello");
  EXPECT_EQ(file->Seek(-2, SEEK_END), 3);
  EXPECT_EQ(file->Seek(0, 7), -1);
  EXPECT_EQ(file->Write(buffer, 1), -1); // opened for reading
  delete file;
  // Read-write truncates what was there.
  ASSERT_EQ(TUnicodeFile::Open(Url, omReadWrite, file), 0);
  EXPECT_EQ(file->Seek(0, TUnicodeFile::SeekSize), 0);
  delete file;
}

TEST_F(UnicodeFileTest, MissingFileAndFolder) {
  TUnicodeFile* file = nullptr;
  EXPECT_EQ(TUnicodeFile::Open(Url, omRead, file), AVERROR(ENOENT));
  EXPECT_EQ(file, nullptr);
  EXPECT_NE(TUnicodeFile::Open("unicode:utf8:" + ::testing::TempDir(), omRead, file), 0);
}

// A name longer than the old 2,047-byte cut reaches its own file, not the one its first bytes name;
// a name the system refuses gives the system's error.
TEST_F(UnicodeFileTest, LongNamesOpenTheirOwnFile) {
  const std::string top = KAVRO_TEST_OUTPUT + std::string("long-names");
  std::filesystem::remove_all(top);
  std::string folder = top;
  while (folder.size() + 101 < 1950)
    folder += "/" + std::string(100, 'd');
  std::filesystem::create_directories(folder);
  const std::string longName =
      folder + "/" + std::string(2047 - folder.size() - 1 + 10, 'x') + "-whole-\u00e9.avi";
  // Where a cut of the plain name and of the "unicode:utf8:" form would land: other files.
  for (const size_t cut : {size_t{2047}, size_t{2047 - 13}})
    std::ofstream(longName.substr(0, cut)) << "wrong";
  std::ofstream(longName) << "right";
  for (const char* locale : {"C", "C.UTF-8"}) {
    LocaleScope scope(locale);
    TUnicodeFile* file = nullptr;
    ASSERT_EQ(TUnicodeFile::Open(FileNameToURL(Utf8ToWide(longName)), omRead, file), 0) << locale;
    char buffer[8] = {};
    EXPECT_EQ(file->Read(reinterpret_cast<uint8_t*>(buffer), 8), 5);
    EXPECT_STREQ(buffer, "right") << locale;
    delete file;
  }
  TUnicodeFile* file = nullptr;
  const std::string tooLong = folder + "/" + std::string(300, 'n');
  EXPECT_EQ(TUnicodeFile::Open(FileNameToURL(Utf8ToWide(tooLong)), omWrite, file), AVERROR(ENAMETOOLONG));
  EXPECT_EQ(file, nullptr);
  std::filesystem::remove_all(top);
}

// A second writer of a file is told the file is busy and leaves the first writer's bytes alone.
TEST_F(UnicodeFileTest, ASecondWriterKeepsItsHandsOff) {
  for (const TUnicodeOpenMode second : {omWrite, omReadWrite}) {
    TUnicodeFile* first = nullptr;
    ASSERT_EQ(TUnicodeFile::Open(Url, omWrite, first), 0);
    ASSERT_EQ(first->Write(reinterpret_cast<const uint8_t*>("hello"), 5), 5);
    TUnicodeFile* other = nullptr;
    EXPECT_EQ(TUnicodeFile::Open(Url, second, other), AVERROR(EBUSY));
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(std::filesystem::file_size(Path), 5u);
    delete first;
    // Once the first writer is done, a new writer may replace the file.
    ASSERT_EQ(TUnicodeFile::Open(Url, second, other), 0);
    EXPECT_EQ(std::filesystem::file_size(Path), 0u);
    delete other;
  }
}

TEST_F(UnicodeFileTest, ThroughAnIOContext) {
  AVIOContext* io = nullptr;
  ASSERT_EQ(TUnicodeFile::OpenIOContext(Url, omWrite, &io), 0);
  for (int i = 0; i < 10000; ++i)
    avio_wb32(io, static_cast<unsigned>(i));
  EXPECT_EQ(TUnicodeFile::CloseIOContext(&io), 0);
  EXPECT_EQ(io, nullptr);
  ASSERT_EQ(TUnicodeFile::OpenIOContext(Url, omRead, &io), 0);
  EXPECT_EQ(avio_size(io), 40000);
  avio_seek(io, 4 * 9999, SEEK_SET);
  EXPECT_EQ(avio_rb32(io), 9999u);
  avio_r8(io);
  EXPECT_TRUE(avio_feof(io));
  EXPECT_EQ(TUnicodeFile::CloseIOContext(&io), 0);
}

} // namespace
} // namespace kavro::test
