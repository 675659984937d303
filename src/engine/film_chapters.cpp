// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/film_chapters.h"

#include <algorithm>
#include <vector>

namespace morvane {

namespace {

// Nero's chapter list holds at most this many (its count is a byte); a file that names more
// is not a film's table of contents.
constexpr unsigned max_chapters = 255;
// Chapter times in the output, in milliseconds as the players' lists count them.
constexpr AVRational chapter_time_base{1, 1000};

void free_chapter(AVChapter* chapter) {
    av_dict_free(&chapter->metadata);
    av_free(chapter);
}

} // namespace

int copy_chapters(const AVFormatContext& input, AVFormatContext& output, std::int64_t time_limit) {
    const std::int64_t origin = input.start_time != AV_NOPTS_VALUE ? input.start_time : 0;
    std::vector<const AVChapter*> chapters;
    for (unsigned index = 0; index < input.nb_chapters; ++index) {
        const AVChapter* chapter = input.chapters[index];
        if (chapter != nullptr && chapter->time_base.num > 0 && chapter->time_base.den > 0 &&
            chapter->start != AV_NOPTS_VALUE) {
            chapters.push_back(chapter);
        }
    }
    const auto microseconds = [](const AVChapter& chapter, std::int64_t time) {
        return av_rescale_q(time, chapter.time_base, AV_TIME_BASE_Q);
    };
    std::stable_sort(chapters.begin(), chapters.end(),
                     [&](const AVChapter* one, const AVChapter* other) {
                         return microseconds(*one, one->start) < microseconds(*other, other->start);
                     });
    int count = static_cast<int>(output.nb_chapters);
    for (std::size_t index = 0; index < chapters.size() && output.nb_chapters < max_chapters;
         ++index) {
        const AVChapter& source = *chapters[index];
        const std::int64_t start =
            std::max<std::int64_t>(0, microseconds(source, source.start) - origin);
        // A chapter without an end lasts until the next.
        std::int64_t end =
            source.end != AV_NOPTS_VALUE ? microseconds(source, source.end) - origin : start;
        if (end <= start && index + 1 < chapters.size()) {
            end = microseconds(*chapters[index + 1], chapters[index + 1]->start) - origin;
        }
        if (time_limit > 0) {
            if (start >= time_limit) {
                break;
            }
            end = std::min(end, time_limit);
        }
        if (end <= 0) {
            continue; // before the output starts
        }
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (chapter == nullptr) {
            return AVERROR(ENOMEM);
        }
        chapter->id = count;
        chapter->time_base = chapter_time_base;
        chapter->start = av_rescale_q(start, AV_TIME_BASE_Q, chapter_time_base);
        chapter->end = av_rescale_q(std::max(start, end), AV_TIME_BASE_Q, chapter_time_base);
        int result = av_dict_copy(&chapter->metadata, source.metadata, 0);
        if (result >= 0) {
            result = av_dynarray_add_nofree(&output.chapters, &count, chapter);
        }
        if (result < 0) {
            free_chapter(chapter);
            return result;
        }
        output.nb_chapters = static_cast<unsigned>(count);
    }
    return 0;
}

void cut_chapters(AVFormatContext& output, std::int64_t end) {
    if (end == AV_NOPTS_VALUE || end < 0) {
        return;
    }
    unsigned kept = 0;
    for (unsigned index = 0; index < output.nb_chapters; ++index) {
        AVChapter* chapter = output.chapters[index];
        const std::int64_t last = av_rescale_q(end, AV_TIME_BASE_Q, chapter->time_base);
        if (index > 0 && chapter->start >= last) {
            free_chapter(chapter);
            continue;
        }
        chapter->start = std::min(chapter->start, last);
        chapter->end = std::min(chapter->end, last);
        output.chapters[kept++] = chapter;
    }
    output.nb_chapters = kept;
}

} // namespace morvane
