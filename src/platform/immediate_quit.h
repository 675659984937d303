// SPDX-License-Identifier: GPL-3.0-or-later
// Quitting at once (a second Ctrl-C) without cutting in half what must be written whole: an
// iPod's track database and its artwork database name each other's entries, and one written
// without the other leaves the iPod with artwork of tracks it does not list. Such writes run
// under a hold; a quit waits for the holds there are, and a hold asked for after the quit never
// comes, so nothing more is begun. Atomics only: a quit never waits for a lock, only for the
// writes under way.
#pragma once

#include <atomic>
#include <cstdlib>
#include <utility>

namespace morvane {

class ImmediateQuit {
public:
    // While it lives, quit() waits. A thread holds one at a time (a second one, asked for
    // once the quit was asked, would wait for the first).
    class Hold {
    public:
        Hold(Hold&& other) noexcept : quit_(std::exchange(other.quit_, nullptr)) {}
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        Hold& operator=(Hold&&) = delete;
        ~Hold() {
            if (quit_ != nullptr) {
                quit_->release();
            }
        }

    private:
        friend class ImmediateQuit;
        explicit Hold(ImmediateQuit& quit) : quit_(&quit) {}
        ImmediateQuit* quit_;
    };

    // From any thread. Once quit() was asked, never returns: the process is about to end.
    [[nodiscard]] Hold hold() {
        holds_.fetch_add(1);
        if (quitting_.load()) {
            release();
            quitting_.wait(true); // for ever: it never turns false again
        }
        return Hold(*this);
    }

    // From any thread: ends the process with `status` as soon as no hold is left.
    [[noreturn]] void quit(int status) {
        quitting_.store(true);
        for (int held = holds_.load(); held != 0; held = holds_.load()) {
            holds_.wait(held);
        }
        std::_Exit(status);
    }

private:
    void release() {
        holds_.fetch_sub(1);
        holds_.notify_all();
    }

    std::atomic<int> holds_{0};
    std::atomic<bool> quitting_{false};
};

} // namespace morvane
