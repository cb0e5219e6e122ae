// The job list and the option builder's source facts on real media, through the task component.
#include "JobList.h"

#include <gtest/gtest.h>

#include "AVProbe.h"
#include "AppTestSupport.h"
#include "FFmpegLoader.h"
#include "FFmpegVCL.h"
#include "media/FixtureMedia.h"
#include "OptionBuilder.h"
#include "platform/WideString.h"

namespace kavro::test {
namespace {

class JobListMediaTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet)); }
};

TEST_F(JobListMediaTest, TheComponentProbesAndKeepsNoTask) {
  TScratchFolder folder("job-list-media");
  TAppSettings settings(folder.Write("settings.ini", "[settings]\nOutPutDir=" + folder.File("out") + "\n"));
  TIniFile formats(folder.File("none.ini"));
  TScriptedDialogs dialogs;
  TFFmpegVCL component;
  TJobList list(settings, formats, dialogs, ComponentDurationProbe(component));

  const std::vector<std::string> names = {"av.mp4",    "random.avi",  "empty.mp4", "folder.mkv",
                                          "audio.mp3", "missing.avi", "av.mp4"};
  std::vector<std::string> paths;
  for (const std::string& name : names)
    paths.push_back(Fixture(name));
  EXPECT_EQ(list.AddFiles(paths), 2);
  EXPECT_EQ(component.TasksCount(), 0);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Row(0).Length, "3");
  EXPECT_EQ(list.Row(0).DestName, "av_(new).mp4");
  EXPECT_EQ(list.Row(1).Record.SourceFile, Fixture("audio.mp3"));
  EXPECT_EQ(list.Row(1).Record.SelIndex, 4);
}

TEST_F(JobListMediaTest, SourceFacts) {
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(NarrowToWide(Fixture("ntsc.avi"))));
  TSourceFacts facts = SourceFactsOf(probe);
  EXPECT_EQ(facts.VideoStreamCount, 1);
  EXPECT_EQ(facts.Width, 720);
  EXPECT_EQ(facts.Height, 480);
  EXPECT_GE(facts.VideoBitRate, 0);
  ASSERT_TRUE(probe.LoadFile(NarrowToWide(Fixture("audio.mp3"))));
  facts = SourceFactsOf(probe);
  EXPECT_EQ(facts.VideoStreamCount, 0);
  EXPECT_EQ(facts.Width, 0);
}

} // namespace
} // namespace kavro::test
