#include "engine/pipeline_thread.h"

#include "engine/stream_pipeline.h"

namespace morvane {

PipelineThread::PipelineThread(StreamPipeline& pipeline, std::size_t capacity)
    : pipeline_(pipeline), working_(av_packet_alloc()) {
    for (std::size_t index = 0; index < capacity; ++index) {
        ring_.emplace_back(av_packet_alloc());
    }
}

PipelineThread::~PipelineThread() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

int PipelineThread::start() {
    if (!working_ || ring_.empty()) {
        return AVERROR(ENOMEM);
    }
    for (const PacketPtr& packet : ring_) {
        if (!packet) {
            return AVERROR(ENOMEM);
        }
    }
    try {
        thread_ = std::thread(&PipelineThread::run, this);
    } catch (const std::system_error&) {
        return AVERROR(EAGAIN);
    }
    return 0;
}

int PipelineThread::send(AVPacket& packet) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return count_ < ring_.size() || error_ < 0; });
    if (error_ < 0) {
        av_packet_unref(&packet);
        return error_;
    }
    av_packet_move_ref(ring_[(first_ + count_) % ring_.size()].get(), &packet);
    count_ += 1;
    lock.unlock();
    changed_.notify_all();
    return 0;
}

int PipelineThread::finish() {
    std::unique_lock lock(mutex_);
    end_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return done_; });
    return error_;
}

void PipelineThread::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return count_ > 0 || end_ || quit_; });
        if (quit_) {
            break;
        }
        if (count_ > 0) {
            av_packet_move_ref(working_.get(), ring_[first_].get());
            first_ = (first_ + 1) % ring_.size();
            count_ -= 1;
            const bool failed = error_ < 0;
            lock.unlock();
            changed_.notify_all();
            // After a failure the rest is only taken off the ring, so the reader never waits.
            const int result = failed ? 0 : pipeline_.send_packet(*working_);
            av_packet_unref(working_.get());
            lock.lock();
            if (result < 0 && error_ == 0) {
                error_ = result;
                changed_.notify_all();
            }
            continue;
        }
        // The end, with the ring empty: drain the pipeline.
        const bool failed = error_ < 0;
        lock.unlock();
        const int result = failed ? 0 : pipeline_.finish();
        lock.lock();
        if (result < 0 && error_ == 0) {
            error_ = result;
        }
        done_ = true;
        changed_.notify_all();
        break;
    }
}

} // namespace morvane
