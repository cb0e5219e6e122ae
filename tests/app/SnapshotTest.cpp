// Snapshots on disk: which files the flags choose and in what order, what the files hold, a second
// snapshot in place of the first, the folder fallback, JPEG quality, and writes that fail half-way.
#include <gtest/gtest.h>

#include "AppSettings.h"
#include "AppTestSupport.h"
#include "JpegFile.h"
#include "Snapshot.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace kavro::test {
namespace {

namespace fs = std::filesystem;

struct TColour {
  uint8_t B, G, R;
};

// Four flat quarters, each a whole number of the 16-pixel blocks JPEG codes so that its losses stay
// small; each corner has a colour of its own.
void FillQuarters(TBitmap& bitmap, int width, int height, const TColour (&colours)[4]) {
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const TColour& c = colours[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
      uint8_t* pixel = bitmap.ScanLine(y) + 3 * x;
      pixel[0] = c.B;
      pixel[1] = c.G;
      pixel[2] = c.R;
    }
}

constexpr TColour Red{0, 0, 255}, Green{0, 255, 0}, Blue{255, 0, 0}, White{255, 255, 255};

void FillNoise(TBitmap& bitmap, int width, int height, unsigned seed) {
  bitmap.SetSize(width, height);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 3; ++x)
      bitmap.ScanLine(y)[x] = static_cast<uint8_t>(random());
}

std::set<std::string> FolderEntries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

uint32_t ReadLE(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// The BMP's header says the picture's size, top row first, and its pixel bytes are the bitmap's rows.
void ExpectBmpHolds(const std::string& fileName, const TBitmap& bitmap) {
  const std::string bytes = ReadText(fileName);
  ASSERT_GE(bytes.size(), 54u) << fileName;
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(ReadLE(bytes, 18), static_cast<uint32_t>(bitmap.Width()));
  EXPECT_EQ(static_cast<int32_t>(ReadLE(bytes, 22)), -bitmap.Height());
  const size_t rowBytes = static_cast<size_t>(bitmap.RowStride());
  ASSERT_EQ(bytes.size(), 54 + rowBytes * bitmap.Height()) << fileName;
  for (int y = 0; y < bitmap.Height(); ++y)
    ASSERT_EQ(bytes.compare(54 + y * rowBytes, bitmap.Width() * 3,
                            reinterpret_cast<const char*>(bitmap.ScanLine(y)), bitmap.Width() * 3),
              0)
        << fileName << " row " << y;
}

// The JPEG decodes to the picture's size and, within JPEG's losses, its colour inside each quarter.
void ExpectJpegHolds(const std::string& fileName, const TBitmap& bitmap) {
  TBitmap decoded;
  std::string error;
  ASSERT_TRUE(LoadJpeg(fileName, decoded, error)) << error;
  ASSERT_EQ(decoded.Width(), bitmap.Width());
  ASSERT_EQ(decoded.Height(), bitmap.Height());
  for (int y : {bitmap.Height() / 4, bitmap.Height() * 3 / 4})
    for (int x : {bitmap.Width() / 4, bitmap.Width() * 3 / 4})
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(decoded.ScanLine(y)[3 * x + c], bitmap.ScanLine(y)[3 * x + c], 24)
            << fileName << " at " << x << "," << y;
}

// HOME pointed at a scratch folder for the default folder, and put back.
class THomeAt {
public:
  explicit THomeAt(const std::string& home) {
    const char* old = std::getenv("HOME");
    FHadHome = old != nullptr;
    if (old) FOldHome = old;
    setenv("HOME", home.c_str(), 1);
  }
  ~THomeAt() {
    if (FHadHome)
      setenv("HOME", FOldHome.c_str(), 1);
    else
      unsetenv("HOME");
  }

private:
  bool FHadHome = false;
  std::string FOldHome;
};

// Files of this process may grow to limit bytes only; a write beyond fails with EFBIG instead of
// the signal that would end the test.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t limit) {
    FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &FOld);
    rlimit lowered = FOld;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    std::signal(SIGXFSZ, FOldHandler);
  }

private:
  rlimit FOld{};
  void (*FOldHandler)(int) = nullptr;
};

class SnapshotTest : public ::testing::Test {
protected:
  SnapshotTest() : FScratch("snapshot"), FSettings(FScratch.File("settings.ini")) {
    FSettings.SetSnapOutputDir(Folder());
    FillQuarters(FFull, 64, 32, {Red, Green, Blue, White});
    FillQuarters(FSmall, 32, 32, {White, Blue, Green, Red});
  }

  // Not made yet: the snapshot makes it.
  std::string Folder() const { return FScratch.File("snaps/deeper"); }
  std::string InFolder(const std::string& name) const { return Folder() + "/" + name; }
  void SetFlags(int fullSize, int smallSize, int bmp, int jpg) {
    TIniFile& ini = FSettings.Ini();
    ini.WriteInteger(SettingsSection, "snapFullSize", fullSize);
    ini.WriteInteger(SettingsSection, "snapSmallSize", smallSize);
    ini.WriteInteger(SettingsSection, "snapBmp", bmp);
    ini.WriteInteger(SettingsSection, "snapJpg", jpg);
  }
  TSnapshotResult Take() { return TakeSnapshot(FSettings, FDialogs, FFull, FSmall); }

  TScratchFolder FScratch;
  TAppSettings FSettings;
  TScriptedDialogs FDialogs;
  TBitmap FFull;
  TBitmap FSmall;
};

TEST_F(SnapshotTest, AllFourFlagsWriteBothPicturesAsBmpThenJpeg) {
  const TSnapshotResult result = Take();
  EXPECT_TRUE(result.Taken);
  EXPECT_EQ(result.Error, "");
  EXPECT_TRUE(FDialogs.Messages.empty());
  EXPECT_EQ(result.Folder, Folder() + "/");
  EXPECT_EQ(result.Files,
            (std::vector<std::string>{InFolder("Snapshot_full.bmp"), InFolder("Snapshot_small.bmp"),
                                      InFolder("Snapshot_full.jpg"), InFolder("Snapshot_small.jpg")}));
  EXPECT_EQ(FolderEntries(Folder()), (std::set<std::string>{"Snapshot_full.bmp", "Snapshot_small.bmp",
                                                            "Snapshot_full.jpg", "Snapshot_small.jpg"}));
  ExpectBmpHolds(InFolder("Snapshot_full.bmp"), FFull);
  ExpectBmpHolds(InFolder("Snapshot_small.bmp"), FSmall);
  ExpectJpegHolds(InFolder("Snapshot_full.jpg"), FFull);
  ExpectJpegHolds(InFolder("Snapshot_small.jpg"), FSmall);
}

TEST_F(SnapshotTest, TheFlagsChooseTheFilesAndOnlyOneCountsAsSet) {
  SetFlags(1, 1, 1, 0);
  EXPECT_EQ(Take().Files,
            (std::vector<std::string>{InFolder("Snapshot_full.bmp"), InFolder("Snapshot_small.bmp")}));
  EXPECT_EQ(FolderEntries(Folder()), (std::set<std::string>{"Snapshot_full.bmp", "Snapshot_small.bmp"}));

  fs::remove_all(Folder());
  SetFlags(1, 0, 0, 1);
  EXPECT_EQ(Take().Files, std::vector<std::string>{InFolder("Snapshot_full.jpg")});
  EXPECT_EQ(FolderEntries(Folder()), std::set<std::string>{"Snapshot_full.jpg"});

  // Any value but 1 leaves a flag clear.
  fs::remove_all(Folder());
  SetFlags(2, 1, -1, 1);
  EXPECT_EQ(Take().Files, std::vector<std::string>{InFolder("Snapshot_small.jpg")});
}

TEST_F(SnapshotTest, ASecondSnapshotReplacesTheFilesOfTheFirst) {
  ASSERT_EQ(Take().Files.size(), 4u);
  FillQuarters(FFull, 96, 64, {Blue, Blue, Red, Red});
  FillQuarters(FSmall, 64, 32, {Green, Green, White, White});
  const TSnapshotResult second = Take();
  EXPECT_EQ(second.Error, "");
  ASSERT_EQ(second.Files.size(), 4u);
  ExpectBmpHolds(InFolder("Snapshot_full.bmp"), FFull);
  ExpectBmpHolds(InFolder("Snapshot_small.bmp"), FSmall);
  ExpectJpegHolds(InFolder("Snapshot_full.jpg"), FFull);
  ExpectJpegHolds(InFolder("Snapshot_small.jpg"), FSmall);
  // No numbered copies and no temporary files beside them.
  EXPECT_EQ(FolderEntries(Folder()).size(), 4u);
}

TEST_F(SnapshotTest, NoPictureWritesNothing) {
  TBitmap none;
  const TSnapshotResult result = TakeSnapshot(FSettings, FDialogs, none, FSmall);
  EXPECT_FALSE(result.Taken);
  EXPECT_TRUE(result.Files.empty());
  EXPECT_TRUE(FDialogs.Messages.empty());
  EXPECT_FALSE(fs::exists(Folder()));
}

TEST_F(SnapshotTest, AFolderThatCannotBeMadeSendsTheFilesToTheStoredDefault) {
  const std::string home = FScratch.File("home");
  fs::create_directories(home);
  THomeAt homeAt(home);
  FSettings.SetOutputDir(FScratch.File("converted"));
  const std::string blocked = FScratch.Write("plain-file", "x") + "/snaps";
  FSettings.SetSnapOutputDir(blocked);

  const TSnapshotResult result = Take();
  ASSERT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_EQ(FDialogs.Messages[0].Text, "Cannot create output directory:" + blocked +
                                           ".It will create default directory " + home + "/videoconverter!");
  EXPECT_EQ(FDialogs.Messages[0].Caption, "Warning");
  EXPECT_EQ(result.Folder, home + "/videoconverter/");
  EXPECT_EQ(result.Files.size(), 4u);
  ExpectBmpHolds(home + "/videoconverter/Snapshot_full.bmp", FFull);
  EXPECT_EQ(FSettings.SnapOutputDir(), home + "/videoconverter");
  // The output folder is a setting of its own and stays.
  EXPECT_EQ(FSettings.OutputDir(), FScratch.File("converted"));
}

TEST_F(SnapshotTest, TheJpegQualityIsTheStoredOne) {
  FillNoise(FFull, 96, 64, 7);
  SetFlags(1, 0, 0, 1);
  FSettings.SetJpgQuality(1);
  ASSERT_EQ(Take().Error, "");
  const auto smallest = fs::file_size(InFolder("Snapshot_full.jpg"));
  FSettings.SetJpgQuality(100);
  ASSERT_EQ(Take().Error, "");
  const auto best = fs::file_size(InFolder("Snapshot_full.jpg"));
  EXPECT_LT(smallest * 2, best);
}

// The first picture is tiny, the second large: a limit between them lets the first file be written
// and makes the second fail half-way, where the last snapshot's file must survive.
TEST_F(SnapshotTest, AFailedWriteKeepsWhatWasWrittenAndTheLastSnapshotsFile) {
  FillQuarters(FFull, 32, 32, {Red, Green, Blue, White});
  FillNoise(FSmall, 200, 150, 3);
  SetFlags(1, 1, 0, 1);
  ASSERT_EQ(Take().Files.size(), 2u);
  const std::string lastSmallJpeg = ReadText(InFolder("Snapshot_small.jpg"));

  FillQuarters(FFull, 32, 32, {White, White, Blue, Blue});
  FillNoise(FSmall, 200, 150, 4);
  TSnapshotResult result;
  {
    TFileSizeLimit limit(4096);
    result = Take();
  }
  EXPECT_TRUE(result.Taken);
  EXPECT_EQ(result.Files, std::vector<std::string>{InFolder("Snapshot_full.jpg")});
  ExpectJpegHolds(InFolder("Snapshot_full.jpg"), FFull);
  // libjpeg's own words, after the file's name.
  EXPECT_EQ(result.Error, "Cannot write " + InFolder("Snapshot_small.jpg") +
                              ": Output file write error --- out of disk space?");
  ASSERT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_EQ(FDialogs.Messages[0].Text, result.Error);
  EXPECT_EQ(FDialogs.Messages[0].Caption, "Warning");
  EXPECT_EQ(ReadText(InFolder("Snapshot_small.jpg")), lastSmallJpeg);
  EXPECT_EQ(FolderEntries(Folder()), (std::set<std::string>{"Snapshot_full.jpg", "Snapshot_small.jpg"}));

  // The same for a BMP; the JPEGs after the failure are not written.
  SetFlags(1, 1, 1, 1);
  FDialogs.Messages.clear();
  const std::string lastFullJpeg = ReadText(InFolder("Snapshot_full.jpg"));
  {
    TFileSizeLimit limit(4096);
    result = Take();
  }
  EXPECT_EQ(result.Files, std::vector<std::string>{InFolder("Snapshot_full.bmp")});
  EXPECT_EQ(result.Error, "Cannot write " + InFolder("Snapshot_small.bmp") + ": File too large");
  EXPECT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_FALSE(fs::exists(InFolder("Snapshot_small.bmp")));
  EXPECT_EQ(ReadText(InFolder("Snapshot_full.jpg")), lastFullJpeg);
  EXPECT_EQ(FolderEntries(Folder()).size(), 3u);
}

TEST_F(SnapshotTest, SomethingElseInAFilesPlaceIsNotReplaced) {
  fs::create_directories(InFolder("Snapshot_small.bmp"));
  const TSnapshotResult result = Take();
  EXPECT_EQ(result.Files, std::vector<std::string>{InFolder("Snapshot_full.bmp")});
  EXPECT_EQ(result.Error, "Cannot write " + InFolder("Snapshot_small.bmp") + ": it is a folder");
  EXPECT_TRUE(fs::is_directory(InFolder("Snapshot_small.bmp")));
}

TEST(JpegFileTest, FilesThatCannotBeReadOrWrittenAreRefusedInWords) {
  TScratchFolder scratch("jpeg-file");
  TBitmap bitmap;
  bitmap.SetSize(3, 2);
  std::string error;
  const std::string notJpeg = scratch.Write("not.jpg", "GIF89a and more");
  EXPECT_FALSE(LoadJpeg(notJpeg, bitmap, error));
  EXPECT_EQ(error, "Cannot read " + notJpeg + ": Not a JPEG file: starts with 0x47 0x49");
  EXPECT_EQ(bitmap.Width(), 3);

  // A header that claims 65000 × 65000 pixels is not believed: 12 GB would be asked for.
  const std::string huge = scratch.File("huge.jpg");
  FillQuarters(bitmap, 16, 16, {Red, Green, Blue, White});
  ASSERT_TRUE(SaveJpeg(bitmap, huge, 50, error)) << error;
  std::string bytes = ReadText(huge);
  const size_t frame = bytes.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  for (const size_t at : {frame + 5, frame + 7}) {
    bytes[at] = static_cast<char>(0xFD);
    bytes[at + 1] = static_cast<char>(0xE8);
  }
  scratch.Write("huge.jpg", bytes);
  EXPECT_FALSE(LoadJpeg(huge, bitmap, error));
  EXPECT_EQ(error, "Cannot read " + huge + ": the picture is too large");
  EXPECT_EQ(bitmap.Width(), 16);

  EXPECT_FALSE(SaveJpeg(bitmap, scratch.File("missing/x.jpg"), 90, error));
  EXPECT_EQ(error, "Cannot write " + scratch.File("missing/x.jpg") + ": No such file or directory");
}

} // namespace
} // namespace kavro::test
