// Parts of the preview player: packet queues and the SDL display surface.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "player/PacketQueue.h"
#include "player/PlayContext.h"
#include "player/SdlSurface.h"
#include "player/SubtitleBlend.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/packet.h>
#include <libavutil/frame.h>
}

namespace kavro::test {
namespace {

using namespace std::chrono_literals;

AVPacket* Packet(int size, int64_t pts) {
  AVPacket* packet = av_packet_alloc();
  av_new_packet(packet, size);
  packet->pts = pts;
  return packet;
}

TEST(PacketQueue, OrderSizesFlushAndReuse) {
  TPacketQueue queue;
  AVPacket* out = av_packet_alloc();
  EXPECT_EQ(queue.Get(out, false), TPacketQueue::grEmpty);
  for (int i = 0; i < 3; ++i) {
    AVPacket* in = Packet(100 * (i + 1), i);
    ASSERT_TRUE(queue.Put(in));
    EXPECT_EQ(in->size, 0); // the queue took the data
    av_packet_free(&in);
  }
  queue.PutFlush();
  EXPECT_EQ(queue.Count(), 4);
  EXPECT_GT(queue.Size(), 600);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(queue.Get(out, false), TPacketQueue::grPacket);
    EXPECT_EQ(out->pts, i);
    EXPECT_EQ(out->size, 100 * (i + 1));
  }
  EXPECT_EQ(queue.Get(out, false), TPacketQueue::grFlush);
  EXPECT_EQ(queue.Size(), 0);
  AVPacket* more = Packet(10, 7);
  queue.Put(more);
  queue.Flush();
  EXPECT_EQ(queue.Count(), 0);
  EXPECT_EQ(queue.Size(), 0);
  av_packet_free(&more);
  av_packet_free(&out);
}

TEST(PacketQueue, BlockingGetWakesOnPutAndAbort) {
  TPacketQueue queue;
  AVPacket* out = av_packet_alloc();
  std::thread producer([&] {
    std::this_thread::sleep_for(20ms);
    AVPacket* in = Packet(8, 42);
    queue.Put(in);
    av_packet_free(&in);
  });
  EXPECT_EQ(queue.Get(out, true), TPacketQueue::grPacket);
  EXPECT_EQ(out->pts, 42);
  producer.join();
  std::thread aborter([&] {
    std::this_thread::sleep_for(20ms);
    queue.Abort();
  });
  EXPECT_EQ(queue.Get(out, true), TPacketQueue::grAborted);
  aborter.join();
  AVPacket* refused = Packet(8, 1);
  EXPECT_FALSE(queue.Put(refused));
  queue.Start();
  EXPECT_TRUE(queue.Put(refused));
  av_packet_free(&refused);
  av_packet_free(&out);
}

TEST(PlayContext, TheSoundPendingIsNeverNegativeBetweenTheCallbacksTwoStores) {
  TPlayContext context;
  context.AudioBufferSize = 4096;
  context.AudioBufferIndex = 1024;
  EXPECT_EQ(context.AudioBytesPending(), 3072u);
  context.AudioBufferSize = 512; // a new, shorter buffer before its index is set back
  EXPECT_EQ(context.AudioBytesPending(), 0u);
}

TEST(SdlSurface, ShowsPicturesInTheirRectangle) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  {
    TSdlSurface surface(64, 48);
    ASSERT_TRUE(surface.Ready()) << SDL_GetError();
    EXPECT_STREQ(SDL_GetWindowTitle(surface.Window()), "FFPlayer");
    int width = 0, height = 0;
    surface.Size(width, height);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);
    AVFrame* red = av_frame_alloc();
    red->format = AV_PIX_FMT_YUV420P;
    red->width = 16;
    red->height = 16;
    ASSERT_GE(av_frame_get_buffer(red, 0), 0);
    for (int y = 0; y < 16; ++y)
      memset(red->data[0] + y * red->linesize[0], 81, 16);
    for (int y = 0; y < 8; ++y) {
      memset(red->data[1] + y * red->linesize[1], 90, 8);
      memset(red->data[2] + y * red->linesize[2], 240, 8);
    }
    surface.Present(red, 16, 12, 32, 24);
    uint8_t pixels[64 * 48 * 4];
    ASSERT_EQ(SDL_RenderReadPixels(surface.Renderer(), nullptr, SDL_PIXELFORMAT_ARGB8888, pixels, 64 * 4), 0);
    const auto at = [&](int x, int y) { return reinterpret_cast<uint32_t*>(pixels)[y * 64 + x]; };
    const uint32_t middle = at(32, 24);
    EXPECT_GT((middle >> 16) & 0xFF, 200u);
    EXPECT_LT((middle >> 8) & 0xFF, 60u);
    EXPECT_EQ(at(2, 2) & 0xFFFFFF, 0u); // outside the rectangle: black
    av_frame_free(&red);
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST(SubtitleBlend, PaletteToYuva) {
  EXPECT_EQ(RgbaToYuva(0xFFFFFFFF), 0xFFEB8080u); // opaque white: Y 235
  EXPECT_EQ(RgbaToYuva(0x80000000), 0x80108080u); // half-transparent black: Y 16
  const uint32_t red = RgbaToYuva(0xFFFF0000);
  EXPECT_NEAR(static_cast<int>((red >> 16) & 255), 82, 1);
  EXPECT_NEAR(static_cast<int>((red >> 8) & 255), 90, 1);
  EXPECT_NEAR(static_cast<int>(red & 255), 240, 1);
}

TEST(SubtitleBlend, DrawsOpaqueAndHalfPixelsInsideThePictureOnly) {
  AVFrame* picture = av_frame_alloc();
  picture->width = 8;
  picture->height = 8;
  picture->format = AV_PIX_FMT_YUV420P;
  ASSERT_EQ(av_frame_get_buffer(picture, 0), 0);
  for (int y = 0; y < 8; ++y)
    std::memset(picture->data[0] + y * picture->linesize[0], 100, 8);
  for (int plane = 1; plane < 3; ++plane)
    for (int y = 0; y < 4; ++y)
      std::memset(picture->data[plane] + y * picture->linesize[plane], 128, 4);

  // 4 x 2 at (2, 2): transparent, opaque white, half white, opaque white; then a rectangle hanging
  // over the right and bottom edges.
  uint8_t pixels[8] = {0, 1, 2, 1, 0, 1, 2, 1};
  uint32_t palette[3] = {0x00000000, 0xFFFFFFFF, 0x80FFFFFF};
  AVSubtitleRect rect{};
  rect.type = SUBTITLE_BITMAP;
  rect.x = 2;
  rect.y = 2;
  rect.w = 4;
  rect.h = 2;
  rect.nb_colors = 3;
  rect.data[0] = pixels;
  rect.data[1] = reinterpret_cast<uint8_t*>(palette);
  rect.linesize[0] = 4;
  ConvertPalette(rect);
  BlendSubtitle(picture, rect);
  const auto luma = [&](int x, int y) {
    return static_cast<int>(picture->data[0][y * picture->linesize[0] + x]);
  };
  EXPECT_EQ(luma(2, 2), 100);
  EXPECT_EQ(luma(3, 2), 235);
  EXPECT_EQ(luma(4, 3), (100 * 127 + 235 * 128) / 255);
  EXPECT_EQ(luma(5, 3), 235);
  EXPECT_EQ(luma(1, 2), 100);
  EXPECT_EQ(luma(2, 4), 100);
  EXPECT_EQ(picture->data[1][1 * picture->linesize[1] + 1], 128); // white has no colour

  rect.x = 6;
  rect.y = 7;
  BlendSubtitle(picture, rect); // clipped to the 2 x 1 pixels inside
  EXPECT_EQ(luma(7, 7), 235);
  EXPECT_EQ(luma(6, 7), 100);
  av_frame_free(&picture);
}

} // namespace
} // namespace kavro::test
