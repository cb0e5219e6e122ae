// The job list and the option builder's source facts on real media, through the task component.
#include "JobList.h"

#include <gtest/gtest.h>

#include "AVProbe.h"
#include "AppTestSupport.h"
#include "FFmpegLoader.h"
#include "FFmpegVCL.h"
#include "FormatKeys.h"
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
  // The clip is encoded for 3 Mbit/s; its first second holds about 1.8 Mbit/s.
  EXPECT_GT(facts.VideoBitRate, 500000);
  EXPECT_LT(facts.VideoBitRate, 4000000);
  ASSERT_TRUE(probe.LoadFile(NarrowToWide(Fixture("audio.mp3"))));
  facts = SourceFactsOf(probe);
  EXPECT_EQ(facts.VideoStreamCount, 0);
  EXPECT_EQ(facts.Width, 0);
}

// Every zoom mode's options convert, and the frame comes out at the chosen size.
TEST_F(JobListMediaTest, BuiltOptionsConvertToTheChosenFrame) {
  TScratchFolder folder("built-options");
  const std::string section = "[" + FormatSection(5) + "]\n";
  const TIniFile settings(
      folder.Write("settings.ini", section + "paraVideoEncoder=mpeg4\nparaVideoSize=176x144\n"));
  const TIniFile formats(folder.Write("formats.ini", section + "Format=avi\n"));
  TScriptedDialogs dialogs;
  for (const char* mode : {"lbox", "center", "pan", "full"}) {
    for (const int crop : {0, 8}) {
      TlvFilesRecord row;
      row.ZoomMode = mode;
      row.CropTop = row.CropLeft = row.CropBottom = row.CropRight = crop;
      row.TrimLength = 400000;
      TAVProbe probe;
      ASSERT_TRUE(probe.LoadFile(NarrowToWide(Fixture("av.mp4"))));
      TInputOptions input;
      TOutputOptions output;
      TOptionBuilder(settings, formats, dialogs).BuildOptions(row, 5, output, SourceFactsOf(probe), input);

      TFFmpegVCL component;
      std::string error = "no termination";
      component.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
        if (info.TaskIndex >= 0) error = info.Exception ? info.ExceptionMsg : "";
      };
      const std::string name = folder.File(std::string(mode) + std::to_string(crop) + ".avi");
      const int task = component.AddTask(NarrowToWide(Fixture("av.mp4")), &input);
      ASSERT_GE(task, 0) << component.LastErrMsg();
      ASSERT_TRUE(component.SetOutputFile(task, NarrowToWide(name), &output)) << component.LastErrMsg();
      component.StartTask(0);
      EXPECT_EQ(error, "") << mode << crop << " " << output.VideoFilters;

      ASSERT_TRUE(probe.LoadFile(NarrowToWide(name))) << mode << crop;
      TVideoStreamInfo video;
      probe.GetVideoInfo(-1, video);
      EXPECT_EQ(video.Width, 176) << mode << crop;
      EXPECT_EQ(video.Height, 144) << mode << crop;
    }
  }
  EXPECT_TRUE(dialogs.Questions.empty());
}

} // namespace
} // namespace kavro::test
