// SPDX-License-Identifier: GPL-3.0-or-later
// A call posted to a widget's thread as an event: made whole by the thread that posts it,
// run by the thread that owns the widget.
#pragma once

#include <QEvent>
#include <functional>
#include <utility>

namespace morvane {

class PostedCall : public QEvent {
public:
    explicit PostedCall(std::function<void()> work)
        : QEvent(posted_call_type()), work_(std::move(work)) {}

    static QEvent::Type posted_call_type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    void run() const { work_(); }

private:
    std::function<void()> work_;
};

} // namespace morvane
