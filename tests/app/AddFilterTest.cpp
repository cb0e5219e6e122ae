// What the Add command offers and accepts: the open dialog's filters, the media names it takes and
// the folders a drop expands into.
#include "AddFilter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "AppTestSupport.h"

namespace kavro {
namespace {

using test::TScratchFolder;

TEST(AddFilterTest, TheFilterListStartsWithTheSupportedKindsAndEndsWithAllFiles) {
  const std::vector<TFileFilter>& filters = AddFileFilters();
  ASSERT_EQ(filters.size(), 36u);
  EXPECT_EQ(filters[0].Description, "All Supported Video Formats");
  EXPECT_EQ(filters[0].Patterns,
            "*.AVI;*.AVM;*.ASF;*.WMV;*.AVS;*.FLV;*.MKV;*.MOV;*.3GP;*.3G2;*.M4V;*.MP4;*.MPG;"
            "*.MPEG;*.DAT;*.OGM;*.VOB;*.RM;*.RMVB;*.TS;*.TP;*.IFO;*.NSV;*.SWF;");
  EXPECT_EQ(filters[1].Description, "All Supported Audio Formats");
  EXPECT_EQ(filters[1].Patterns,
            "*.MP3;*.AAC;*.WAV;*.WMA;*.OGG;*.CDA;*.FLAC;*.M4A;*.MID;*.MKA;*.MP2;*.MPA;*.MPC;"
            "*.APE;*.OFR;*.OGG;*.RA;*.WV;*.TTA;*.AC3;*.DTS;");
  EXPECT_EQ(filters[2].Description, "AVI files (*.avi)");
  EXPECT_EQ(filters[15].Description, "H.264/MPEG4 AVC Video files (*.mts,*.m2ts)");
  EXPECT_EQ(filters[15].Patterns, "*.mts;*.m2ts");
  EXPECT_EQ(filters[20].Description, "Maceomeida Flash files (*.swf)");
  EXPECT_EQ(filters[23].Description, "Monkey's Audio files (*.ape)");
  EXPECT_EQ(filters[33].Patterns, "*.ra;*.ram");
  EXPECT_EQ(filters[35].Description, "All files (*.*)");
  EXPECT_EQ(filters[35].Patterns, "*.*");
  // Every line is a description with patterns; none is empty.
  for (const TFileFilter& filter : filters) {
    EXPECT_FALSE(filter.Description.empty());
    EXPECT_EQ(filter.Patterns.rfind("*.", 0), 0u) << filter.Description;
  }
}

TEST(AddFilterTest, SupportedNamesGoByTheExtensionInAnyCase) {
  for (const char* name :
       {"/v/a.avi", "/v/a.AVI", "b.Mp4", "/x.y/c.rmvb", "d.flac", "e.Dts", "f.ifo", "g.3g2"})
    EXPECT_TRUE(IsSupportedMediaName(name)) << name;
  // Only the two supported groups count, not the single-kind lines further down the list.
  for (const char* name : {"a.gif", "a.mts", "a.spx", "a.ram", "a.mpv", "a.txt", "avi", "/v/.avi", "/v.avi/a",
                           "a.", "a.avi.part", "", "a.mp"})
    EXPECT_FALSE(IsSupportedMediaName(name)) << name;
}

TEST(AddFilterTest, DroppedFoldersBecomeTheirMediaFilesSortedAndFilesStayAsGiven) {
  TScratchFolder folder("dropped-paths");
  const std::string clips = folder.File("clips");
  std::filesystem::create_directories(clips + "/inner");
  for (const char* name : {"b.mp4", "a.AVI", "B.mkv", "notes.txt", "inner/deep.avi", "song.mp3", ".hidden"})
    folder.Write(std::string("clips/") + name, "x");
  std::filesystem::create_directory(clips + "/folder.avi");
  std::filesystem::create_symlink(clips + "/b.mp4", clips + "/link.flv");
  std::filesystem::create_symlink(clips + "/missing.avi", clips + "/dangling.avi");

  const std::string loose = folder.Write("z.txt", "x");
  const std::string missing = folder.File("missing.avi");
  EXPECT_EQ(ExpandDroppedPaths({loose, clips, missing}),
            (std::vector<std::string>{loose, clips + "/B.mkv", clips + "/a.AVI", clips + "/b.mp4",
                                      clips + "/link.flv", clips + "/song.mp3", missing}));
  EXPECT_TRUE(ExpandDroppedPaths({}).empty());
  EXPECT_EQ(ExpandDroppedPaths({clips + "/inner/.."}).size(), 5u);
}

TEST(AddFilterTest, AFolderThatCannotBeReadGivesNothing) {
  TScratchFolder folder("dropped-unreadable");
  const std::string a = folder.Write("a.avi", "x");
  std::filesystem::create_directory(folder.File("locked"));
  folder.Write("locked/b.avi", "x");
  std::filesystem::permissions(folder.File("locked"), std::filesystem::perms::owner_write);
  // Root reads every folder, so the expansion runs as an ordinary user in a child of its own.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(ExpandDroppedPaths({folder.File("locked"), folder.Path()}) == std::vector<std::string>{a} ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  std::filesystem::permissions(folder.File("locked"), std::filesystem::perms::owner_all);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the locked folder gave files, 2: no ordinary user to become";
}

} // namespace
} // namespace kavro
