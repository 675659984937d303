// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion_window/batch_words.h"

#include "jobs/clock_text.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace morvane {

namespace {

QString words(const char* text, int count = -1) {
    return QCoreApplication::translate("morvane::BatchWords", text, nullptr, count);
}

// The counts of a batch; those named one by one elsewhere left out.
QStringList count_parts(const BatchSummary& summary, bool failures_named, bool stop_named) {
    QStringList parts;
    const auto add = [&](int count, const char* text) {
        if (count > 0) {
            parts << words(text, count);
        }
    };
    add(summary.converted, "%n converted");
    add(summary.copied, "%n copied");
    if (!stop_named) {
        add(summary.stopped, "%n stopped");
    }
    if (!failures_named) {
        add(summary.incomplete, "%n incomplete");
    }
    add(summary.not_started, "%n not started");
    add(summary.skipped, "%n skipped");
    if (!failures_named) {
        add(summary.failed, "%n failed");
    }
    add(summary.sent, "%n sent to the player");
    add(summary.already_on_player, "%n already on the player");
    if (!failures_named) {
        add(summary.not_sent, "%n not sent to the player");
    }
    // A player that took nothing says why once, for the whole batch.
    if (!summary.player_refusal.empty()) {
        parts << words("nothing sent to the player: %1")
                     .arg(QString::fromStdString(summary.player_refusal));
    }
    return parts;
}

// "broken.mkv not converted: why"; an incomplete file says so in its reason.
QString failure_words(const FailedFile& file, bool sent) {
    const QString name = file_name_of(file.path);
    const QString reason = QString::fromStdString(file.reason);
    if (sent) {
        return words("%1 not sent to the player: %2").arg(name, reason);
    }
    if (reason.startsWith(QLatin1String("incomplete"))) {
        return words("%1 %2").arg(name, reason);
    }
    return words("%1 not converted: %2").arg(name, reason);
}

} // namespace

QString file_name_of(const std::string& path) {
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).fileName();
}

QString summary_text(const BatchSummary& summary) {
    if (summary.no_media_found) {
        return words("No audio or video files in that folder");
    }
    return count_parts(summary, false, false).join(QStringLiteral(", "));
}

QString failed_files_link_text(const BatchSummary& summary) {
    const bool failed = !summary.failed_files.empty();
    const bool not_sent = !summary.not_sent_files.empty();
    if (failed && not_sent) {
        return words("Show the files not converted or not sent");
    }
    if (not_sent) {
        return words("Show the files not sent to the player");
    }
    return failed ? words("Show the files not converted") : QString();
}

QString duration_words(double seconds) {
    if (seconds < 60) {
        return words("less than a minute");
    }
    // The whole minutes the window shows ("6:22 left" is 6 minutes), so that what is heard
    // agrees with what is seen.
    const int minutes = static_cast<int>(std::ceil(seconds)) / 60;
    const auto minutes_words = [](int count) {
        return count == 1 ? words("1 minute") : words("%n minutes", count);
    };
    if (minutes < 60) {
        return minutes_words(minutes);
    }
    const QString hours = minutes < 120 ? words("1 hour") : words("%n hours", minutes / 60);
    if (minutes % 60 == 0) {
        return hours;
    }
    return words("%1 %2").arg(hours, minutes_words(minutes % 60));
}

QString progress_words(int index, int total, std::optional<double> seconds_left) {
    const QString position =
        words("%1 of %2").arg(QString::number(index + 1), QString::number(total));
    if (!seconds_left) {
        return position;
    }
    return words("%1, %2 left").arg(position, duration_words(*seconds_left));
}

QString stop_words(const std::string& path, const JobOutcome& stopped) {
    const QString name = file_name_of(path);
    if (stopped.output_path.empty()) {
        return words("Stopped: nothing of %1 was kept").arg(name);
    }
    if (stopped.seconds_total > 0) {
        // Never "100%" for a file cut short.
        const int percent = std::clamp(
            static_cast<int>(std::floor(100.0 * stopped.seconds_done / stopped.seconds_total)), 0,
            99);
        return words("Stopped at %1%: %2 is kept, shorter").arg(QString::number(percent), name);
    }
    return words("Stopped at %1: %2 is kept, shorter")
        .arg(QString::fromStdString(clock_text(stopped.seconds_done)), name);
}

QString batch_end_words(const BatchSummary& summary, const std::optional<StoppedFile>& stopped) {
    constexpr std::size_t named_at_most = 3;
    const bool name_failures =
        summary.failed_files.size() + summary.not_sent_files.size() <= named_at_most;
    QStringList parts;
    const QString counts =
        count_parts(summary, name_failures, stopped.has_value()).join(QStringLiteral(", "));
    if (!counts.isEmpty()) {
        parts << counts;
    }
    if (name_failures) {
        for (const FailedFile& file : summary.failed_files) {
            parts << failure_words(file, false);
        }
        for (const FailedFile& file : summary.not_sent_files) {
            parts << failure_words(file, true);
        }
    }
    const QString rest = parts.join(QStringLiteral("; "));
    if (stopped) {
        const QString head = stop_words(stopped->path, stopped->outcome);
        return rest.isEmpty() ? head : words("%1; %2").arg(head, rest);
    }
    if (summary.no_media_found) {
        return words("No audio or video files in that folder");
    }
    const QString head = summary.stop_requested ? words("Stopped") : words("Batch finished");
    return rest.isEmpty() ? head : words("%1: %2").arg(head, rest);
}

} // namespace morvane
