// A queue of packets between the player's read thread and a decoder. The read thread puts, one
// decoder (or the audio callback) gets; an abort wakes whoever waits. A flush marker tells the
// decoder to drop what it holds after a seek. Packet holders are reused, so a running queue
// allocates nothing per packet.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

struct AVPacket;

namespace kavro {

class TPacketQueue {
public:
  enum TGetResult { grAborted = -1, grEmpty = 0, grPacket = 1, grFlush = 2 };

  TPacketQueue() = default;
  TPacketQueue(const TPacketQueue&) = delete;
  TPacketQueue& operator=(const TPacketQueue&) = delete;
  ~TPacketQueue();

  // Opens the queue for use again after an abort.
  void Start();
  // Wakes every waiter; gets return grAborted from now on.
  void Abort();
  bool Aborted() const;
  // Takes over the packet's data (the packet is left empty). False when aborted.
  bool Put(AVPacket* packet);
  void PutFlush();
  // The next packet into packet; waits for one when block is set.
  TGetResult Get(AVPacket* packet, bool block);
  // Drops every queued packet.
  void Flush();
  int Count() const;
  // Bytes held: the packets' data plus a holder's own size each.
  int64_t Size() const;

private:
  struct TNode {
    AVPacket* Packet; // null for the flush marker
  };
  AVPacket* Holder();
  void Release(AVPacket* packet);

  mutable std::mutex FLock; // guards everything below between the read thread and a decoder
  std::condition_variable FChanged;
  std::deque<TNode> FNodes;
  std::vector<AVPacket*> FSpare; // emptied holders waiting for reuse
  int64_t FSize = 0;
  bool FAborted = false;
};

} // namespace kavro
