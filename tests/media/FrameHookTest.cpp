// Frame hooks on real conversions: the custom hook, hook modules and previews.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <vector>

#include "FFmpegLogger.h"
#include "FFmpegVCL.h"
#include "FixtureMedia.h"
#include "HookModules.h"
#include "Previewer.h"
#include "fixtures/FrameCounter.h"
#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/WideString.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace kavro::test {
namespace {

struct TPixel {
  int Red = -1, Green = -1, Blue = -1;
};

// The decoded pictures of a file's video stream as 24-bit BGR bitmaps.
std::vector<TBitmap*> DecodePictures(const std::string& fileName,
                                     std::vector<std::unique_ptr<TBitmap>>& store) {
  std::vector<TBitmap*> pictures;
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, fileName.c_str(), nullptr, nullptr) < 0) return pictures;
  avformat_find_stream_info(input, nullptr);
  const int stream = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const AVCodec* codec =
      stream >= 0 ? avcodec_find_decoder(input->streams[stream]->codecpar->codec_id) : nullptr;
  AVCodecContext* decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (decoder && avcodec_parameters_to_context(decoder, input->streams[stream]->codecpar) >= 0 &&
      avcodec_open2(decoder, codec, nullptr) >= 0) {
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    const auto receive = [&] {
      while (avcodec_receive_frame(decoder, frame) >= 0) {
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetSize(frame->width, frame->height);
        scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                                      static_cast<AVPixelFormat>(frame->format), frame->width, frame->height,
                                      AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
        uint8_t* target[4] = {bitmap->ScanLine(0)};
        const int stride[4] = {bitmap->RowStride()};
        sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, target, stride);
        pictures.push_back(bitmap.get());
        store.push_back(std::move(bitmap));
      }
    };
    while (av_read_frame(input, packet) >= 0) {
      if (packet->stream_index == stream && avcodec_send_packet(decoder, packet) >= 0) receive();
      av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    receive();
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
  }
  avcodec_free_context(&decoder);
  avformat_close_input(&input);
  return pictures;
}

TPixel PixelAt(const TBitmap& bitmap, int x, int y) {
  const uint8_t* pixel = bitmap.ScanLine(y) + 3 * x;
  return {pixel[2], pixel[1], pixel[0]};
}

bool IsRed(const TPixel& pixel) {
  return pixel.Red > 180 && pixel.Green < 80 && pixel.Blue < 80;
}

void PaintRed(TBitmap& bitmap) {
  for (int y = 16; y < 48; ++y)
    for (int x = 16; x < 48; ++x) {
      uint8_t* pixel = bitmap.ScanLine(y) + 3 * x;
      pixel[0] = 0;
      pixel[1] = 0;
      pixel[2] = 255;
    }
}

class FrameHookTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Component.LoadAVLib(L""));
    Out = OutputFolder();
    Component.TriggerEventInMainThread = false;
    Component.OnTerminate = [this](TObject*, const TTerminateInfo& info) {
      if (info.TaskIndex == 0) Result = info;
    };
    TFFLogger::Instance().SetTriggerEventInMainThread(false);
    TFFLogger::Instance().SetOnLog([this](TObject*, uint32_t, TLogLevel, const std::string& line) {
      std::lock_guard lock(FLock);
      Log.push_back(line);
    });
  }
  void TearDown() override {
    TFFLogger::Instance().SetOnLog(nullptr);
    TFFLogger::Instance().SetTriggerEventInMainThread(true);
  }
  // Converts in this thread with the hook asked for.
  void Convert(const std::string& input, const std::string& output, TOutputOptions options,
               const std::string& inputText = "") {
    TInputOptions inputOptions;
    inputOptions.ExtOptions = inputText;
    ASSERT_EQ(Component.AddTask(NarrowToWide(Fixture(input)), &inputOptions), 0) << Component.LastErrMsg();
    ASSERT_TRUE(Component.SetOutputFile(0, NarrowToWide(Out + output), &options)) << Component.LastErrMsg();
    Component.StartTask(0);
    ASSERT_TRUE(Result.Finished) << Result.ExceptionMsg;
  }
  bool Logged(const std::string& part) {
    std::lock_guard lock(FLock);
    for (const std::string& line : Log)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  TFFmpegVCL Component;
  TTerminateInfo Result{-2, false, true, "not run"};
  std::string Out;
  std::mutex FLock; // the log comes from the worker
  std::vector<std::string> Log;
  std::vector<std::unique_ptr<TBitmap>> Decoded;
};

TEST_F(FrameHookTest, ARedSquareReachesTheEncodedPictures) {
  std::vector<int> frames;
  Component.OnCustomHook = [&](TObject*, THookInfo* info) {
    frames.push_back(info->FrameNumber);
    EXPECT_EQ(info->Bitmap->Width(), 320);
    if (info->FrameNumber == 10) throw std::runtime_error("no paint today");
    if (info->FrameNumber % 2 == 0)
      PaintRed(*info->Bitmap);
    else
      info->Update = false; // painted, but not wanted
    if (info->FrameNumber % 2 == 1) PaintRed(*info->Bitmap);
  };
  TOutputOptions options;
  options.HookEnabled = true;
  options.VideoCodec = "mpeg4";
  options.ExtOptions = "qscale=2\nan=1";
  Convert("av.mp4", "hooked.avi", options);
  ASSERT_EQ(frames.size(), 75u);
  EXPECT_EQ(frames.front(), 1);
  EXPECT_TRUE(Logged("Error occurs OnCustomHook: no paint today"));
  const std::vector<TBitmap*> pictures = DecodePictures(Out + "hooked.avi", Decoded);
  ASSERT_EQ(pictures.size(), 75u);
  for (int i = 0; i < 75; ++i) {
    const int frameNumber = i + 1;
    const bool painted = frameNumber % 2 == 0 && frameNumber != 10;
    EXPECT_EQ(IsRed(PixelAt(*pictures[i], 32, 32)), painted) << "frame " << frameNumber;
    EXPECT_FALSE(IsRed(PixelAt(*pictures[i], 100, 32))) << "frame " << frameNumber;
  }
}

TEST_F(FrameHookTest, StopHookEndsTheCalls) {
  int calls = 0;
  Component.OnCustomHook = [&](TObject*, THookInfo* info) {
    ++calls;
    info->StopHook = true;
  };
  TOutputOptions options;
  options.HookEnabled = true;
  options.DisableAudio = true;
  Convert("av.mp4", "once.avi", options);
  EXPECT_EQ(calls, 1);
}

// The bitmap's rows are copied back into a picture of the decoded size: a handler that resizes the
// bitmap fails its task instead of making the engine read or write past either.
TEST_F(FrameHookTest, AHandlerThatResizesTheBitmapFailsTheTask) {
  for (const auto& [width, height] : {std::pair{160, 120}, std::pair{640, 480}, std::pair{321, 240}}) {
    Component.ClearTasks();
    Result = TTerminateInfo{-2, false, true, "not run"};
    int calls = 0;
    Component.OnCustomHook = [&](TObject*, THookInfo* info) {
      ++calls;
      if (info->FrameNumber == 5) info->Bitmap->SetSize(width, height);
      PaintRed(*info->Bitmap);
    };
    TOutputOptions options;
    options.HookEnabled = true;
    options.DisableAudio = true;
    ASSERT_EQ(Component.AddTask(NarrowToWide(Fixture("av.mp4"))), 0) << Component.LastErrMsg();
    ASSERT_TRUE(Component.SetOutputFile(0, NarrowToWide(Out + "resized.avi"), &options))
        << Component.LastErrMsg();
    Component.StartTask(0);
    EXPECT_FALSE(Result.Finished) << width << "x" << height;
    EXPECT_TRUE(Result.Exception);
    EXPECT_EQ(Result.ExceptionMsg,
              Format("OnCustomHook changed the picture size from 320x240 to %dx%d", width, height));
    EXPECT_EQ(calls, 5);
  }
}

TEST_F(FrameHookTest, HookSizeIsTheInputsAndPreviewsTheOutputs) {
  std::set<std::pair<int, int>> hookSizes, previewSizes;
  std::vector<std::chrono::steady_clock::time_point> previews;
  Component.OnCustomHook = [&](TObject*, THookInfo* info) {
    hookSizes.insert({info->Bitmap->Width(), info->Bitmap->Height()});
  };
  Component.OnPreviewBitmap = [&](TObject*, const TPreviewInfo& info) {
    previewSizes.insert({info.Bitmap->Width(), info.Bitmap->Height()});
    previews.push_back(std::chrono::steady_clock::now());
  };
  Component.SetPreview(true); // the handler wins over the window
  Component.SetPreviewBitmap(true);
  TOutputOptions options;
  options.HookEnabled = true;
  options.FrameSize = "320x240";
  options.DisableAudio = true;
  Convert("pal.mpg", "small.avi", options, "re=1");
  EXPECT_EQ(hookSizes, (std::set<std::pair<int, int>>{{720, 576}}));
  EXPECT_EQ(previewSizes, (std::set<std::pair<int, int>>{{320, 240}}));
  // One second at 25 frames a second: at most one picture every 100 ms.
  EXPECT_GE(previews.size(), 5u);
  EXPECT_LE(previews.size(), 11u);
  for (size_t i = 1; i < previews.size(); ++i)
    EXPECT_GE(previews[i] - previews[i - 1], std::chrono::milliseconds(95));
}

TEST_F(FrameHookTest, HookModulesFromTheVhookOption) {
  TOutputOptions options;
  options.DisableAudio = true;
  options.VideoCodec = "mpeg4";
  options.ExtOptions = std::string("qscale=2\nvhook=") + KAVRO_HOOK_FULL + "|250"; // a bright corner
  Convert("av.mp4", "module.avi", options);
  const std::vector<TBitmap*> pictures = DecodePictures(Out + "module.avi", Decoded);
  ASSERT_EQ(pictures.size(), 75u);
  const std::vector<TBitmap*> originals = DecodePictures(Fixture("av.mp4"), Decoded);
  ASSERT_EQ(originals.size(), 75u);
  const auto brightness = [](const TPixel& pixel) { return pixel.Red + pixel.Green + pixel.Blue; };
  // The module writes luma only; the colour of the picture stays.
  const auto luma = [](const TPixel& pixel) {
    return (299 * pixel.Red + 587 * pixel.Green + 114 * pixel.Blue) / 1000;
  };
  for (int i : {0, 40, 74}) {
    EXPECT_GT(luma(PixelAt(*pictures[i], 8, 8)), 215) << i;
    EXPECT_NEAR(brightness(PixelAt(*pictures[i], 100, 8)), brightness(PixelAt(*originals[i], 100, 8)), 40)
        << i;
  }
}

// The chain of an engine, which the engine keeps to itself.
class THookChainEngine : public TFFmpeg {
public:
  size_t ModuleCount() const { return FHookModules.size(); }
  bool ModulesOn() const { return HasHookModules(); }
};

TEST_F(FrameHookTest, HookModuleFailures) {
  THookChainEngine engine;
  engine.ResetTask();
  const auto errorOf = [&](const std::string& value) {
    try {
      engine.ParseOption("vhook", value);
    } catch (const std::exception& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  const std::string refused = "Failed to add video hook function: ";
  EXPECT_EQ(errorOf(KAVRO_HOOK_NO_PROCESS), refused + KAVRO_HOOK_NO_PROCESS);
  EXPECT_TRUE(Logged(std::string("Failed to find Process entrypoint in ") + KAVRO_HOOK_NO_PROCESS));
  EXPECT_FALSE(engine.ModulesOn());
  EXPECT_EQ(errorOf(KAVRO_HOOK_NO_CONFIGURE), "no error");
  const std::string withArgument = std::string(KAVRO_HOOK_NO_CONFIGURE) + " 7";
  EXPECT_EQ(errorOf(withArgument), refused + withArgument);
  EXPECT_TRUE(Logged(std::string("Failed to find Configure entrypoint in ") + KAVRO_HOOK_NO_CONFIGURE));
  const std::string failing = std::string(KAVRO_HOOK_FULL) + " 7 fail";
  EXPECT_EQ(errorOf(failing), refused + failing);
  EXPECT_TRUE(Logged(std::string("Failed to Configure ") + KAVRO_HOOK_FULL));
  EXPECT_EQ(errorOf("/nowhere/module.so"), refused + "/nowhere/module.so");
  EXPECT_TRUE(Logged("/nowhere/module.so: cannot open shared object file: No such file or directory"));
  EXPECT_EQ(errorOf(std::string(KAVRO_HOOK_FULL) + "|128"), "no error");
  // Only the modules that loaded and configured are in the chain.
  EXPECT_EQ(engine.ModuleCount(), 2u);
  EXPECT_TRUE(engine.ModulesOn());
}

// Other threads run while a module loads: the working folder and PATH stay as they are, and a
// file is known by its exact name.
TEST(HookModules, LoadedByTheirExactPathWithoutProcessWideChanges) {
  const std::string folder = OutputFolder();
  const std::string upper = folder + "Hook.so";
  const std::string lower = folder + "hook.so";
  for (const std::string& copy : {upper, lower})
    std::filesystem::copy_file(KAVRO_HOOK_FULL, copy, std::filesystem::copy_options::overwrite_existing);
  char workingFolder[PATH_MAX];
  ASSERT_NE(getcwd(workingFolder, sizeof workingFolder), nullptr);
  const char* pathBefore = std::getenv("PATH");
  const std::string searchPath = pathBefore ? pathBefore : "";

  THookChain chain;
  ASSERT_EQ(AddHookModule(chain, {upper, "9"}), 0);
  ASSERT_EQ(AddHookModule(chain, {lower, "9"}), 0);
  ASSERT_EQ(AddHookModule(chain, {upper, "9"}), 0);
  const char* pathAfter = std::getenv("PATH");
  EXPECT_EQ(pathAfter ? pathAfter : "", searchPath);
  char folderAfter[PATH_MAX];
  ASSERT_NE(getcwd(folderAfter, sizeof folderAfter), nullptr);
  EXPECT_STREQ(folderAfter, workingFolder);
  ASSERT_EQ(chain.size(), 3u);
  EXPECT_NE(chain[0].Process, chain[1].Process) << "two files, two modules";
  EXPECT_EQ(chain[0].Process, chain[2].Process) << "one file is loaded once";
  for (const std::string& module : {upper, lower}) {
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr) << module << " was never loaded";
    const auto loadFolder = reinterpret_cast<const char* (*)()>(dlsym(handle, "LoadFolder"));
    ASSERT_NE(loadFolder, nullptr);
    EXPECT_STREQ(loadFolder(), workingFolder) << "the folder while " << module << " loaded";
    dlclose(handle);
  }
  ReleaseHookModules(chain);
  EXPECT_TRUE(chain.empty());
}

TEST_F(FrameHookTest, CopiedVideoCannotBeHookedOrPreviewed) {
  const auto runCopy = [&](bool hook, bool preview, const std::string& text) {
    TFFmpegVCL component;
    EXPECT_TRUE(component.LoadAVLib(L""));
    TTerminateInfo result;
    component.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
      if (info.TaskIndex == 0) result = info;
    };
    component.OnCustomHook = [](TObject*, THookInfo*) {};
    component.SetPreview(preview);
    EXPECT_EQ(component.AddTask(NarrowToWide(Fixture("av.mp4"))), 0);
    TOutputOptions options;
    options.VideoCodec = "copy";
    options.HookEnabled = hook;
    options.ExtOptions = text;
    EXPECT_TRUE(component.SetOutputFile(0, NarrowToWide(Out + "copy.mkv"), &options))
        << component.LastErrMsg();
    component.StartTask(0);
    return result.ExceptionMsg;
  };
  EXPECT_EQ(runCopy(true, true, ""), "-vcodec copy and CustomHook are incompatible (frames are not decoded)");
  EXPECT_EQ(runCopy(false, true, std::string("vhook=") + KAVRO_HOOK_FULL),
            "-vcodec copy and -vhook are incompatible (frames are not decoded)");
  EXPECT_EQ(runCopy(false, true, ""), "-vcodec copy and PostHooks are incompatible (frames are not decoded)");
  EXPECT_EQ(runCopy(false, false, ""), "");
}

TEST(Previewer, WindowCaptionSizeAndClose) {
  TBitmap bitmap;
  bitmap.SetSize(160, 120);
  TPreviewer previewer;
  ASSERT_TRUE(previewer.ShowFrame(&bitmap, 1, 3723004000LL));
  ASSERT_NE(previewer.Window(), nullptr);
  EXPECT_STREQ(SDL_GetWindowTitle(previewer.Window()), "01:02:03.004");
  int width = 0, height = 0;
  SDL_GetWindowSize(previewer.Window(), &width, &height);
  EXPECT_EQ(width, 160);
  EXPECT_EQ(height, 120);
  ASSERT_TRUE(previewer.ShowFrame(&bitmap, 2, NoTimeValue));
  EXPECT_STREQ(SDL_GetWindowTitle(previewer.Window()), "N/A");
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = SDL_GetWindowID(previewer.Window());
  SDL_PushEvent(&close);
  EXPECT_FALSE(previewer.ShowFrame(&bitmap, 3, 0));
  EXPECT_EQ(previewer.Window(), nullptr);
}

} // namespace
} // namespace kavro::test
