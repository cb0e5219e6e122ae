// Results of the libraries that only fail when memory runs out are still checked: such a failure
// ends the task with a message instead of running on with an empty picture or stream.
#include <gtest/gtest.h>

#include <mutex>

#include "AllocationFailure.h"
#include "FFmpegLogger.h"
#include "FFmpegVCL.h"
#include "FixtureMedia.h"
#include "platform/WideString.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace kavro::test {
namespace {

class AllocationFailureTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Component.LoadAVLib(L""));
    Out = OutputFolder();
    Component.TriggerEventInMainThread = false;
    Component.OnTerminate = [this](TObject*, const TTerminateInfo& info) {
      if (info.TaskIndex == 0) Result = info;
    };
  }
  void TearDown() override { StopFailingAllocations(); }
  // Sets the task up; the run itself goes in this thread, where the test arms the failure.
  void Prepare(const std::string& output, TOutputOptions options) {
    Component.ClearTasks();
    Result = TTerminateInfo{-2, false, true, "not run"};
    ASSERT_EQ(Component.AddTask(NarrowToWide(Fixture("av.mp4"))), 0) << Component.LastErrMsg();
    ASSERT_TRUE(Component.SetOutputFile(0, NarrowToWide(Out + output), &options)) << Component.LastErrMsg();
  }

  TFFmpegVCL Component;
  TTerminateInfo Result{-2, false, true, "not run"};
  std::string Out;
};

TEST_F(AllocationFailureTest, AHookedPictureThatCannotBePassedOnFailsTheTask) {
  TOutputOptions options;
  options.DisableAudio = true;
  options.HookEnabled = true;
  // The custom hook alone: the picture it drew goes on by reference.
  int calls = 0;
  Component.OnCustomHook = [&](TObject*, THookInfo* info) {
    ++calls;
    if (info->FrameNumber == 20) KavroFailNextPictureReference();
  };
  Prepare("custom.avi", options);
  Component.StartTask(0);
  EXPECT_EQ(StopFailingAllocations(), 1);
  EXPECT_FALSE(Result.Finished);
  EXPECT_EQ(Result.ExceptionMsg, "Cannot pass on the prepared picture: Not enough memory");
  EXPECT_EQ(calls, 20);

  // A hook module works on a copy, which goes on the same way.
  options.HookEnabled = false;
  options.ExtOptions = std::string("vhook=") + KAVRO_HOOK_FULL + "|200|failref|20";
  Prepare("module.avi", options);
  Component.StartTask(0);
  EXPECT_EQ(StopFailingAllocations(), 1);
  EXPECT_FALSE(Result.Finished);
  EXPECT_EQ(Result.ExceptionMsg, "Cannot pass on the prepared picture: Not enough memory");
}

// The picture's round trip through the hook bitmap reuses its pictures: what the hook drew goes on in
// pictures of the engine's small pool, not in memory taken anew for every picture.
TEST_F(AllocationFailureTest, AHookedRunTakesNoPictureMemoryPerPicture) {
  TOutputOptions options;
  options.DisableAudio = true;
  options.HookEnabled = true;
  // From the tenth picture to the sixtieth, past the set-up of the run; a quarter picture's chroma plane
  // is the smallest a picture needs.
  int calls = 0, counted = -1;
  Component.OnCustomHook = [&](TObject*, THookInfo* info) {
    ++calls;
    info->Bitmap->ScanLine(info->Bitmap->Height() / 2)[0] ^= 0xFF; // a picture that changed goes on
    ASSERT_EQ(info->Bitmap->Width(), 320);
    if (calls == 10) CountAllocations(320 * 240 / 4);
    if (calls == 60) counted = StopCountingAllocations();
  };
  Prepare("hooked.avi", options);
  Component.StartTask(0);
  ASSERT_TRUE(Result.Finished) << Result.ExceptionMsg;
  ASSERT_GE(calls, 60);
  EXPECT_LE(counted, 4) << "over 50 pictures";
}

TEST_F(AllocationFailureTest, ABitstreamFilterWithoutItsParametersFailsTheTask) {
  AVFormatContext* input = nullptr;
  ASSERT_GE(avformat_open_input(&input, Fixture("av.mp4").c_str(), nullptr, nullptr), 0);
  const size_t extradata = static_cast<size_t>(input->streams[0]->codecpar->extradata_size);
  avformat_close_input(&input);
  ASSERT_GT(extradata, 0u);
  // The video stream's parameters are copied four times on the way: into the output stream, into
  // the filter, through it, and back into the stream.
  for (const int skip : {1, 3}) {
    TOutputOptions options;
    options.DisableAudio = true;
    options.VideoCodec = "copy";
    options.ExtOptions = "vbsf=null";
    Prepare("filtered.mkv", options);
    FailAllocations(extradata + AV_INPUT_BUFFER_PADDING_SIZE, skip);
    Component.StartTask(0);
    EXPECT_EQ(StopFailingAllocations(), 1) << skip;
    EXPECT_FALSE(Result.Finished) << skip;
    EXPECT_EQ(Result.ExceptionMsg, "null failed for stream 0, codec copy: Not enough memory") << skip;
  }
  // Unarmed, the same task converts.
  TOutputOptions options;
  options.DisableAudio = true;
  options.VideoCodec = "copy";
  options.ExtOptions = "vbsf=null";
  Prepare("filtered.mkv", options);
  Component.StartTask(0);
  EXPECT_TRUE(Result.Finished) << Result.ExceptionMsg;
}

} // namespace
} // namespace kavro::test
