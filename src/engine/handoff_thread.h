// SPDX-License-Identifier: GPL-3.0-or-later
// A thread that works through what another thread hands it, in order: packets for a sound
// pipeline beside the pictures, shaped pictures for their encoder beside the decoding. The
// items travel through a small ring allocated once (no allocation per item), and a full ring
// makes the giver wait, so memory stays flat however long the input.
#pragma once

#include "engine/ffmpeg_ptr.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace morvane {

template <typename Item>
class HandoffThread {
public:
    // `work` takes one item (and may keep nothing of it); `finish` runs once, after the
    // last. Both run on the thread and return 0 or an FFmpeg error.
    HandoffThread(std::size_t capacity, std::function<int(Item&)> work, std::function<int()> finish)
        : work_(std::move(work)), finish_(std::move(finish)), working_(allocate()) {
        for (std::size_t index = 0; index < capacity; ++index) {
            ring_.push_back(allocate());
        }
    }
    // Stops the thread (what is queued is dropped) and waits for it.
    ~HandoffThread() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    HandoffThread(const HandoffThread&) = delete;
    HandoffThread& operator=(const HandoffThread&) = delete;

    // 0 or an FFmpeg error.
    int start() {
        if (!working_ || ring_.empty()) {
            return AVERROR(ENOMEM);
        }
        for (const auto& item : ring_) {
            if (!item) {
                return AVERROR(ENOMEM);
            }
        }
        try {
            thread_ = std::thread(&HandoffThread::run, this);
        } catch (const std::system_error&) {
            return AVERROR(EAGAIN);
        }
        return 0;
    }

    // Takes the item's contents (the item is left blank); waits while the ring is full.
    // Returns the thread's error once it failed, else 0.
    int send(Item& item) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return count_ < ring_.size() || error_ < 0; });
        if (error_ < 0) {
            unref(&item);
            return error_;
        }
        move_ref(ring_[(first_ + count_) % ring_.size()].get(), &item);
        count_ += 1;
        lock.unlock();
        changed_.notify_all();
        return 0;
    }

    // Lets the thread work through what is queued and finish; waits for it and returns its
    // result.
    int finish() {
        std::unique_lock lock(mutex_);
        end_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return done_; });
        return error_;
    }

private:
    using Owned = std::unique_ptr<Item, void (*)(Item*)>;

    static Owned allocate();
    static void move_ref(Item* to, Item* from);
    static void unref(Item* item);

    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return count_ > 0 || end_ || quit_; });
            if (quit_) {
                break;
            }
            if (count_ > 0) {
                move_ref(working_.get(), ring_[first_].get());
                first_ = (first_ + 1) % ring_.size();
                count_ -= 1;
                const bool failed = error_ < 0;
                lock.unlock();
                changed_.notify_all();
                // After a failure the rest is only taken off the ring, so the giver never
                // waits.
                const int result = failed ? 0 : work_(*working_);
                unref(working_.get());
                lock.lock();
                if (result < 0 && error_ == 0) {
                    error_ = result;
                    changed_.notify_all();
                }
                continue;
            }
            // The end, with the ring empty.
            const bool failed = error_ < 0;
            lock.unlock();
            const int result = failed ? 0 : finish_();
            lock.lock();
            if (result < 0 && error_ == 0) {
                error_ = result;
            }
            done_ = true;
            changed_.notify_all();
            break;
        }
    }

    std::function<int(Item&)> work_;
    std::function<int()> finish_;
    std::vector<Owned> ring_;
    Owned working_; // the item the thread is working on, out of the lock
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    bool end_ = false;
    bool quit_ = false;
    bool done_ = false;
    int error_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_; // last: started once everything it reads exists
};

template <>
inline HandoffThread<AVPacket>::Owned HandoffThread<AVPacket>::allocate() {
    return Owned(av_packet_alloc(), [](AVPacket* packet) { av_packet_free(&packet); });
}
template <>
inline void HandoffThread<AVPacket>::move_ref(AVPacket* to, AVPacket* from) {
    av_packet_move_ref(to, from);
}
template <>
inline void HandoffThread<AVPacket>::unref(AVPacket* packet) {
    av_packet_unref(packet);
}

template <>
inline HandoffThread<AVFrame>::Owned HandoffThread<AVFrame>::allocate() {
    return Owned(av_frame_alloc(), [](AVFrame* frame) { av_frame_free(&frame); });
}
template <>
inline void HandoffThread<AVFrame>::move_ref(AVFrame* to, AVFrame* from) {
    av_frame_move_ref(to, from);
}
template <>
inline void HandoffThread<AVFrame>::unref(AVFrame* frame) {
    av_frame_unref(frame);
}

} // namespace morvane
