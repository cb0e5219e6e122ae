// Opening inputs and creating outputs with real files, through the task component.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "FFmpegLoader.h"
#include "FFmpegVCL.h"
#include "FixtureMedia.h"
#include "platform/WideString.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace kavro::test {
namespace {

using ::testing::HasSubstr;

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}

class InputOutputTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Component.LoadAVLib(L""));
    Out = OutputFolder();
    // Tests count what their folder holds: start from an empty one.
    std::filesystem::remove_all(Out);
    std::filesystem::create_directories(Out);
  }
  int Add(const std::string& name, TInputOptions* options = nullptr) {
    return Component.AddTask(NarrowToWide(Fixture(name)), options);
  }
  bool Output(int task, const std::string& name, TOutputOptions* options = nullptr) {
    return Component.SetOutputFile(task, NarrowToWide(Out + name), options);
  }
  TFFmpeg& Task(int index) { return *Tasks[static_cast<size_t>(index)]; }

  std::vector<TFFmpeg*> Tasks;
  TFFmpegVCL Component{[this] {
    auto task = std::make_unique<TFFmpeg>();
    Tasks.push_back(task.get());
    return task;
  }};
  std::string Out;
};

TEST_F(InputOutputTest, InputHandsItsSettingsOnAndTheProbeDescribesIt) {
  ASSERT_EQ(Add("ntsc.avi"), 0) << Component.LastErrMsg();
  const TTaskSettings& settings = Task(0).Settings();
  EXPECT_EQ(settings.FrameWidth, 720);
  EXPECT_EQ(settings.FrameHeight, 480);
  EXPECT_EQ(settings.FrameRate, (TFrameRate{30000, 1001}));
  EXPECT_FLOAT_EQ(settings.FrameAspectRatio, 4.0f / 3);
  EXPECT_EQ(settings.AudioSampleRate, 48000);
  EXPECT_EQ(settings.AudioChannels, 2);
  EXPECT_EQ(Task(0).ExpectedDuration(), Task(0).InputFormatContext(0)->duration);
  TAVProbe* probe = Component.AVProbes(0, 0);
  EXPECT_EQ(probe->FormatContext(), Task(0).InputFormatContext(0));
  EXPECT_EQ(probe->VideoStreamCount(), 1);
}

TEST_F(InputOutputTest, ForcedDecoderAndFormatAreConsumedByTheInput) {
  TInputOptions options;
  options.ExtOptions = "vcodec=mpeg4<CRLF>f=avi";
  ASSERT_EQ(Add("av.avi", &options), 0) << Component.LastErrMsg();
  EXPECT_EQ(Task(0).Settings().VideoCodecName, "");
  EXPECT_EQ(Task(0).Settings().FileFormat, "");
  ASSERT_NE(Task(0).InputFiles()[0]->Decoders[0], nullptr);
  EXPECT_STREQ(Task(0).InputFiles()[0]->Decoders[0]->name, "mpeg4");
  options.ExtOptions = "f=nosuchformat";
  EXPECT_EQ(Add("av.avi", &options), -1);
  EXPECT_EQ(Component.LastErrMsg(), "Unknown input format: \"nosuchformat\"");
  options.ExtOptions = "acodec=nosuchcodec";
  EXPECT_EQ(Add("av.avi", &options), -1);
  EXPECT_EQ(Component.LastErrMsg(), "Unknown decoder 'nosuchcodec'");
  options.ExtOptions = "acodec=mpeg4";
  EXPECT_EQ(Add("av.avi", &options), -1);
  EXPECT_EQ(Component.LastErrMsg(), "Invalid decoder type 'mpeg4'");
}

TEST_F(InputOutputTest, ProgramSelection) {
  TInputOptions options;
  options.ProgramID = 2;
  ASSERT_EQ(Add("programs.ts", &options), 0) << Component.LastErrMsg();
  const AVFormatContext* input = Task(0).InputFormatContext(0);
  for (unsigned i = 0; i < input->nb_streams; ++i)
    EXPECT_EQ(input->streams[i]->discard == AVDISCARD_ALL, input->streams[i]->id < 0x102) << i;
  EXPECT_EQ(Task(0).Settings().ProgramID, 0);
  options.ProgramID = 7;
  EXPECT_EQ(Add("programs.ts", &options), -1);
  EXPECT_EQ(Component.LastErrMsg(), "Specified program id not found");
}

TEST_F(InputOutputTest, DamagedAndMissingInputs) {
  for (const char* name : {"empty.mp4", "truncated.mp4", "random.avi", "folder.mkv", "missing.avi"}) {
    EXPECT_EQ(Add(name), -1) << name;
    EXPECT_THAT(Component.LastErrMsg(), HasSubstr(Fixture(name) + ":")) << name;
  }
  EXPECT_EQ(Component.LastErrMsg(), Fixture("missing.avi") + ": No such file or directory");
  EXPECT_EQ(Component.TasksCount(), 0);
}

TEST_F(InputOutputTest, OutputStreamsFollowTheInputAndTheOptions) {
  ASSERT_EQ(Add("av.mkv"), 0);
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.AudioCodec = "copy";
  options.FrameSize = "160x120";
  options.AudioLanguage = "fra";
  options.ExtOptions = "newaudio=<CRLF>acodec=libmp3lame";
  ASSERT_TRUE(Output(0, "out.avi", &options)) << Component.LastErrMsg();
  const auto& files = Task(0).OutputFiles();
  ASSERT_EQ(files.size(), 1u);
  // AVI has no subtitle codec of its own, so no subtitle stream is made.
  ASSERT_EQ(files[0]->Streams.size(), 3u);
  const TOutputStream& video = files[0]->Streams[0];
  EXPECT_EQ(video.MediaType, AVMEDIA_TYPE_VIDEO);
  EXPECT_STREQ(video.Encoder->name, "mpeg4");
  EXPECT_EQ(video.Codec->width, 160);
  EXPECT_EQ(video.Codec->height, 120);
  EXPECT_EQ(video.Codec->time_base.den, 25);
  EXPECT_TRUE(files[0]->Streams[1].StreamCopy);
  const AVDictionaryEntry* language =
      av_dict_get(files[0]->Streams[1].Stream->metadata, "language", nullptr, 0);
  ASSERT_NE(language, nullptr);
  EXPECT_STREQ(language->value, "fra");
  EXPECT_STREQ(files[0]->Streams[2].Encoder->name, "libmp3lame");
  // Copy keeps the source's channels and rate.
  EXPECT_EQ(Task(0).Settings().AudioSampleRate, 44100);
  EXPECT_EQ(Task(0).Settings().AudioChannels, 2);
  EXPECT_TRUE(files[0]->CreatedFile);
  EXPECT_TRUE(Exists(Out + "out.avi"));
}

TEST_F(InputOutputTest, OutputFailures) {
  ASSERT_EQ(Add("audio.mp3"), 0);
  EXPECT_FALSE(Output(0, "out.qqq"));
  EXPECT_EQ(Component.LastErrMsg(), "Unable to find a suitable output format for '" + Out + "out.qqq'");
  TOutputOptions options;
  options.FileFormat = "nosuchformat";
  EXPECT_FALSE(Output(0, "out.avi", &options));
  EXPECT_EQ(Component.LastErrMsg(), "Requested output format 'nosuchformat' is not a suitable output format");
  EXPECT_FALSE(Component.SetOutputFile(0, NarrowToWide(Out + "no/folder/out.mp3")));
  EXPECT_EQ(Component.LastErrMsg(), Out + "no/folder/out.mp3: No such file or directory");
  options = TOutputOptions();
  options.AudioCodec = "nosuchcodec";
  EXPECT_FALSE(Output(0, "out.mp3", &options));
  EXPECT_EQ(Component.LastErrMsg(), "new_audio_stream fail: Unknown encoder 'nosuchcodec'");
  EXPECT_FALSE(Exists(Out + "out.mp3"));
  options = TOutputOptions();
  options.TargetType = 1; // vcd with the norm taken from the input: an audio file has no frame rate
  EXPECT_FALSE(Output(0, "out.mpg", &options));
  EXPECT_EQ(Component.LastErrMsg(), "frame_rate is invalid.");
  EXPECT_EQ(Task(0).OutputFileCount(), 0);
  TInputOptions input;
  input.ExtOptions = "newaudio=";
  EXPECT_EQ(Add("audio.mp3", &input), 1); // skipped on the input side
}

TEST_F(InputOutputTest, AutomaticNormFromA2997Input) {
  ASSERT_EQ(Add("ntsc.avi"), 0);
  TOutputOptions options;
  options.TargetType = 1;
  options.TargetFallbackNorm = 1; // PAL, not used: the input decides
  ASSERT_TRUE(Output(0, "vcd.mpg", &options)) << Component.LastErrMsg();
  const AVCodecContext* video = Task(0).OutputFiles()[0]->Streams[0].Codec;
  EXPECT_EQ(video->width, 352);
  EXPECT_EQ(video->height, 240);
  EXPECT_EQ(video->time_base.num, 1001);
  EXPECT_EQ(video->time_base.den, 30000);
}

TEST_F(InputOutputTest, JoinModeRepeatsTheOutputPerInput) {
  ASSERT_EQ(Add("av.mp4"), 0);
  ASSERT_TRUE(Component.AddInput(0, NarrowToWide(Fixture("av.avi"))));
  TOutputOptions options;
  options.Join = true;
  ASSERT_TRUE(Output(0, "joined.mp4", &options)) << Component.LastErrMsg();
  EXPECT_TRUE(Task(0).JoinMode());
  ASSERT_EQ(Task(0).OutputFileCount(), 2);
  EXPECT_EQ(Task(0).OutputFiles()[0], Task(0).OutputFiles()[1]);
  EXPECT_NEAR(static_cast<double>(Task(0).ExpectedDuration()), 6030000, 50000);
  EXPECT_FALSE(Output(0, "second.mp4"));
  EXPECT_EQ(Component.LastErrMsg(), "Cannot join more than one output file.");
}

TEST_F(InputOutputTest, MetadataAndTimestampReachTheOutput) {
  ASSERT_EQ(Add("av.mp4"), 0);
  TOutputOptions options;
  options.Metadata.Title = "Holiday";
  options.Metadata.Year = 2010;
  options.ExtOptions = "timestamp=2010-05-01 12:00:00Z";
  ASSERT_TRUE(Output(0, "tagged.mkv", &options));
  const AVDictionary* metadata = Task(0).OutputFiles()[0]->Context->metadata;
  EXPECT_STREQ(av_dict_get(metadata, "title", nullptr, 0)->value, "Holiday");
  EXPECT_STREQ(av_dict_get(metadata, "year", nullptr, 0)->value, "2010");
  EXPECT_STREQ(av_dict_get(metadata, "creation_time", nullptr, 0)->value, "2010-05-01T12:00:00.000000Z");
  EXPECT_TRUE(Task(0).Settings().Metadata.empty());
}

TEST_F(InputOutputTest, AnOutputThatNeverRanLeavesNoFile) {
  ASSERT_EQ(Add("av.mp4"), 0);
  ASSERT_TRUE(Output(0, "never.mp4"));
  EXPECT_TRUE(Exists(Out + "never.mp4"));
  Component.ClearTasks();
  // Nothing is left, not even what the run would have written aside.
  EXPECT_TRUE(FolderEntries(Out).empty());
}

// An output that would overwrite one of the task's inputs is refused before anything is written,
// however the name is spelled.
TEST_F(InputOutputTest, AnOutputThatIsAnInputIsRefused) {
  const std::string source = Out + "s.mp4";
  std::filesystem::copy_file(Fixture("av.mp4"), source, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::remove(Out + "link.mp4");
  std::filesystem::create_symlink("s.mp4", Out + "link.mp4");
  const std::string before = Contents(source);
  ASSERT_EQ(Component.AddTask(NarrowToWide(source)), 0);
  const std::string folder = Out.substr(Out.rfind('/', Out.size() - 2) + 1);
  for (const std::string& name : {std::string("s.mp4"), std::string("link.mp4"), "../" + folder + "s.mp4"}) {
    EXPECT_FALSE(Output(0, name)) << name;
    EXPECT_THAT(Component.LastErrMsg(), HasSubstr("is the same file as the input '" + source + "'")) << name;
  }
  // The second input of a join counts too.
  ASSERT_EQ(Add("av.avi"), 1);
  ASSERT_TRUE(Component.AddInput(1, NarrowToWide(source)));
  TOutputOptions join;
  join.Join = true;
  EXPECT_FALSE(Output(1, "s.mp4", &join));
  EXPECT_EQ(Task(0).OutputFileCount(), 0);
  EXPECT_EQ(Task(1).OutputFileCount(), 0);
  EXPECT_TRUE(Contents(source) == before);
  // Another name in the same folder is fine.
  EXPECT_TRUE(Output(0, "t.mp4")) << Component.LastErrMsg();
}

// A second writer of a file that is being written is told the file is busy; the file keeps its
// bytes.
TEST_F(InputOutputTest, ASecondWriterOfAnOutputIsRefused) {
  const std::string target = Out + "busy.mp4";
  std::ofstream(target) << "the user's file";
  ASSERT_EQ(Add("av.mp4"), 0);
  ASSERT_EQ(Add("av.mp4"), 1);
  ASSERT_TRUE(Output(0, "busy.mp4")) << Component.LastErrMsg();
  EXPECT_FALSE(Output(1, "busy.mp4"));
  EXPECT_EQ(Component.LastErrMsg(), target + ": Device or resource busy");
  EXPECT_EQ(Contents(target), "the user's file");
  // The same for a name that no file has yet.
  ASSERT_EQ(Add("av.mp4"), 2);
  ASSERT_TRUE(Output(1, "fresh.mp4")) << Component.LastErrMsg();
  EXPECT_FALSE(Output(2, "fresh.mp4"));
  EXPECT_EQ(Component.LastErrMsg(), Out + "fresh.mp4: Device or resource busy");
  Component.ClearTasks();
  EXPECT_EQ(Contents(target), "the user's file");
  EXPECT_EQ(FolderEntries(Out).size(), 1u);
}

} // namespace
} // namespace kavro::test
