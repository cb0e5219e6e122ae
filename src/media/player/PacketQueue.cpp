#include "player/PacketQueue.h"

extern "C" {
#include <libavcodec/packet.h>
}

namespace kavro {
namespace {

constexpr int64_t NodeSize = sizeof(AVPacket) + 16;

} // namespace

TPacketQueue::~TPacketQueue() {
  Flush();
  for (AVPacket*& packet : FSpare)
    av_packet_free(&packet);
}

AVPacket* TPacketQueue::Holder() {
  if (FSpare.empty()) return av_packet_alloc();
  AVPacket* packet = FSpare.back();
  FSpare.pop_back();
  return packet;
}

void TPacketQueue::Release(AVPacket* packet) {
  av_packet_unref(packet);
  FSpare.push_back(packet);
}

void TPacketQueue::Start() {
  std::lock_guard lock(FLock);
  FAborted = false;
}

void TPacketQueue::Abort() {
  {
    std::lock_guard lock(FLock);
    FAborted = true;
  }
  FChanged.notify_all();
}

bool TPacketQueue::Aborted() const {
  std::lock_guard lock(FLock);
  return FAborted;
}

bool TPacketQueue::Put(AVPacket* packet) {
  {
    std::lock_guard lock(FLock);
    if (FAborted) return false;
    AVPacket* holder = Holder();
    if (!holder) return false;
    av_packet_move_ref(holder, packet);
    FSize += holder->size + NodeSize;
    FNodes.push_back({holder});
  }
  FChanged.notify_one();
  return true;
}

void TPacketQueue::PutFlush() {
  {
    std::lock_guard lock(FLock);
    FNodes.push_back({nullptr});
    FSize += NodeSize;
  }
  FChanged.notify_one();
}

TPacketQueue::TGetResult TPacketQueue::Get(AVPacket* packet, bool block) {
  std::unique_lock lock(FLock);
  if (block) FChanged.wait(lock, [this] { return FAborted || !FNodes.empty(); });
  if (FAborted) return grAborted;
  if (FNodes.empty()) return grEmpty;
  const TNode node = FNodes.front();
  FNodes.pop_front();
  if (!node.Packet) {
    FSize -= NodeSize;
    return grFlush;
  }
  FSize -= node.Packet->size + NodeSize;
  av_packet_unref(packet);
  av_packet_move_ref(packet, node.Packet);
  FSpare.push_back(node.Packet);
  return grPacket;
}

void TPacketQueue::Flush() {
  std::lock_guard lock(FLock);
  for (const TNode& node : FNodes)
    if (node.Packet) Release(node.Packet);
  FNodes.clear();
  FSize = 0;
}

int TPacketQueue::Count() const {
  std::lock_guard lock(FLock);
  return static_cast<int>(FNodes.size());
}

int64_t TPacketQueue::Size() const {
  std::lock_guard lock(FLock);
  return FSize;
}

} // namespace kavro
