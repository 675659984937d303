// Runs one StreamPipeline on a thread of its own, so that the sound is decoded, filtered and
// encoded while the main thread does the same for the pictures. Packets travel through a
// small ring of packets allocated once: no allocation per packet, and a full ring makes the
// reader wait, so memory stays flat however long the input.
#pragma once

#include "engine/ffmpeg_ptr.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace morvane {

class StreamPipeline;

class PipelineThread {
public:
    PipelineThread(StreamPipeline& pipeline, std::size_t capacity);
    // Stops the thread (what is queued is dropped) and waits for it.
    ~PipelineThread();
    PipelineThread(const PipelineThread&) = delete;
    PipelineThread& operator=(const PipelineThread&) = delete;

    // Starts the thread; 0 or an FFmpeg error.
    int start();
    // Takes the packet's contents (the packet is left blank); waits while the ring is full.
    // Returns the pipeline's error once it failed, else 0.
    int send(AVPacket& packet);
    // Lets the pipeline take what is queued and drain itself; waits for it and returns its
    // result.
    int finish();

private:
    void run();

    StreamPipeline& pipeline_;
    std::vector<PacketPtr> ring_;
    PacketPtr working_; // the packet the thread is converting, out of the lock
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    bool end_ = false;
    bool quit_ = false;
    bool done_ = false;
    int error_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

} // namespace morvane
