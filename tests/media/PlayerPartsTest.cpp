// Parts of the preview player: packet queues and the SDL display surface.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "player/PacketQueue.h"
#include "player/SdlSurface.h"

extern "C" {
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

} // namespace
} // namespace kavro::test
