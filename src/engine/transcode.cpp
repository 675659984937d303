// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/transcode.h"

#include "engine/display_shape.h"
#include "engine/ffmpeg_error.h"
#include "engine/film_chapters.h"
#include "engine/frame_size_fit.h"
#include "engine/silent_track.h"
#include "engine/stream_pipeline.h"
#include "engine/subtitle_filter.h"
#include "engine/subtitle_stream.h"
#include "platform/sanitizers.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
#include <libavutil/time.h>
}

namespace morvane {

namespace {

// Decoder threads chosen by measurement on two cores (the nano job at 720p and 1080p, in pairs):
// a third frame in flight keeps both cores busy beside the encoder's thread (5-6 % less wall
// time at both sizes, in the same CPU time). Each frame in flight is a decoded picture held,
// 9 MiB at 1080p; above that size two.
#if MORVANE_THREAD_SANITIZER
// ThreadSanitizer cannot see libavcodec's frame threads hand their buffers over (atomics in a
// library built without it, and without symbols to name them by): under it the decoder runs
// on the thread that calls it, so every race it reports involves a thread of ours.
int decoder_threads(const AVCodecParameters&) {
    return 1;
}
#else
int decoder_threads(const AVCodecParameters& source) {
    constexpr std::int64_t third_thread_pixels = 1920 * 1088;
    const bool picture_fits =
        source.codec_type == AVMEDIA_TYPE_VIDEO &&
        static_cast<std::int64_t>(source.width) * source.height <= third_thread_pixels;
    return picture_fits ? 3 : 2; // sound decoders as measured before: two
}
#endif
constexpr int filter_threads = 1;
// Sound is converted on a thread of its own beside the pictures; packets queued for it.
constexpr std::size_t sound_queue_packets = 32;
// Demuxers that answer "try again" for a file are given this many tries in a row.
constexpr int max_read_retries = 1000;
// Microseconds: no gap in a stream is filled beyond this (nor beyond the input's stated
// length): an hour of repeated picture or silence inside a recording is damage, not content,
// and filling it would take minutes and hundreds of megabytes of output.
constexpr std::int64_t longest_gap = 3600 * std::int64_t{AV_TIME_BASE};
// Microseconds: how far ahead of the rest of the input a stream may fill a gap (streams lie
// within seconds of each other in any multiplex).
constexpr std::int64_t interleave_slack = 10 * std::int64_t{AV_TIME_BASE};

bool clocked(const AVStream& stream) {
    const AVMediaType type = stream.codecpar->codec_type;
    return (type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_VIDEO) &&
           !(stream.disposition & AV_DISPOSITION_ATTACHED_PIC);
}

bool interlaced(const AVCodecParameters& parameters) {
    switch (parameters.field_order) {
    case AV_FIELD_TT:
    case AV_FIELD_BB:
    case AV_FIELD_TB:
    case AV_FIELD_BT:
        return true;
    default:
        return false;
    }
}

// The filters that shape the decoded pictures for the encoder; the pipeline adds the timing.
std::string picture_chain(const AVStream& source, const AVCodecContext& encoder,
                          const ConversionPlan::Picture& picture,
                          const std::string& on_picture = {}) {
    std::string chain; // the pipeline weaves fields first where the pictures are interlaced
    if (picture.crop) {
        // Cut from the stored picture before it is turned. A picture that changes size midway
        // keeps as much of the rectangle as it has.
        const PictureCrop& crop = *picture.crop;
        chain += "crop=w='min(iw," + std::to_string(crop.width) + ")':h='min(ih," +
                 std::to_string(crop.height) + ")':x='min(" + std::to_string(crop.left) +
                 ",iw-ow)':y='min(" + std::to_string(crop.top) + ",ih-oh)',";
    }
    switch (display_shape(source).clockwise_turn) {
    case 90:
        chain += "transpose=clock,";
        break;
    case 180:
        chain += "hflip,vflip,";
        break;
    case 270:
        chain += "transpose=cclock,";
        break;
    default:
        break;
    }
    const char* pixel_format = av_get_pix_fmt_name(encoder.pix_fmt);
    return chain + fitting_filters(picture.picture_width, picture.picture_height, encoder.width,
                                   encoder.height, picture.left, picture.top,
                                   pixel_format != nullptr ? pixel_format : "yuv420p", on_picture);
}

// The filters that give the sound the encoder's shape; the pipeline adds the timing.
std::string sound_chain(const AVCodecContext& encoder) {
    char layout[256];
    if (av_channel_layout_describe(&encoder.ch_layout, layout, sizeof layout) < 0) {
        std::snprintf(layout, sizeof layout, "stereo");
    }
    const char* sample_format = av_get_sample_fmt_name(encoder.sample_fmt);
    char text[512];
    std::snprintf(text, sizeof text, "aformat=sample_fmts=%s:sample_rates=%d:channel_layouts=%s",
                  sample_format != nullptr ? sample_format : "s16", encoder.sample_rate, layout);
    return text;
}

// Whether `index` is a sound stream of `container` that is there (not set aside as empty).
bool is_sound_stream(const AVFormatContext& container, int index) {
    if (index < 0 || static_cast<unsigned>(index) >= container.nb_streams) {
        return false;
    }
    const AVStream& stream = *container.streams[index];
    return stream.codecpar->codec_type == AVMEDIA_TYPE_AUDIO && stream.discard < AVDISCARD_ALL;
}

// Whether a subtitle codec's events are pictures (rather than text).
bool bitmap_subtitles(const AVCodecParameters& parameters) {
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(parameters.codec_id);
    return descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_BITMAP_SUB) != 0;
}

} // namespace

Transcode::Transcode(MediaInput& input, const ConversionPlan& plan, ProgressSink* sink,
                     const Engine::PacketMuxer& muxer)
    : input_(input), plan_(plan), sink_(sink), muxer_(muxer), packet_(av_packet_alloc()) {}

Transcode::~Transcode() {
    sound_thread_.reset(); // stopped before the pipeline it runs
    pipelines_.clear();    // before the encoders they feed
}

ConversionResult Transcode::run(const std::string& output_path) {
    ConversionResult result;
    const int code = convert(output_path);
    {
        // A conversion that failed midway returns before the picture thread is stopped (the
        // destructor joins it): its counts are read under the lock it writes them with.
        const std::lock_guard lock(mux_mutex_);
        result.packets_written = packets_written_;
        result.pictures_written = pictures_written_;
    }
    result.seconds_reached = static_cast<double>(position()) / AV_TIME_BASE;
    result.read_error = read_error_;
    if (code >= 0) {
        describe_tracks(result);
        describe_subtitles(result);
    }
    if (code < 0) {
        result.reason = reason_.empty() ? ffmpeg_error_text(code) : reason_;
        return result;
    }
    result.status =
        stopped_ ? ConversionResult::Status::stopped : ConversionResult::Status::converted;
    return result;
}

void Transcode::describe_tracks(ConversionResult& result) const {
    const auto seconds = [](std::int64_t time) {
        return time == AV_NOPTS_VALUE ? -1.0 : static_cast<double>(time) / AV_TIME_BASE;
    };
    std::int64_t dropped = timeline_ != nullptr ? timeline_->dropped_time() : AV_NOPTS_VALUE;
    for (const auto& pipeline : pipelines_) {
        const StreamPipeline::Extent extent = pipeline->extent();
        ConversionResult::Track track;
        track.kind = pipeline->input().codecpar->codec_type == AVMEDIA_TYPE_VIDEO
                         ? ConversionResult::Track::Kind::picture
                         : ConversionResult::Track::Kind::sound;
        track.output_end = seconds(extent.end);
        track.input_end = seconds(pipeline->reached());
        result.tracks.push_back(track);
        if (extent.loudness) {
            result.loudness = extent.loudness;
        }
        if (extent.dropped_time != AV_NOPTS_VALUE) {
            dropped = dropped == AV_NOPTS_VALUE ? extent.dropped_time
                                                : std::max(dropped, extent.dropped_time);
        }
    }
    result.dropped_time = seconds(dropped);
    if (timeline_ != nullptr) {
        result.ignored_picture_stamps = timeline_->ignored(AVMEDIA_TYPE_VIDEO);
        result.ignored_sound_stamps = timeline_->ignored(AVMEDIA_TYPE_AUDIO);
        result.restarts = timeline_->restarts();
    }
    for (const auto& pipeline : pipelines_) {
        const ConversionResult::IgnoredStamps& more = pipeline->extent().ignored;
        ConversionResult::IgnoredStamps& ignored =
            pipeline->input().codecpar->codec_type == AVMEDIA_TYPE_VIDEO
                ? result.ignored_picture_stamps
                : result.ignored_sound_stamps;
        ignored.count += more.count;
        ignored.largest_offset = std::max(ignored.largest_offset, more.largest_offset);
    }
}

void Transcode::describe_subtitles(ConversionResult& result) const {
    ConversionResult::Subtitles& subtitles = result.subtitles;
    subtitles.left_out = subtitles_left_out_;
    if (subtitles_ == nullptr) {
        return;
    }
    subtitles.shown = subtitles_->shown();
    subtitles.damaged = subtitles_->damaged();
    const bool dropped =
        std::any_of(pipelines_.begin(), pipelines_.end(),
                    [](const auto& pipeline) { return pipeline->subtitles_dropped(); });
    if (dropped) {
        subtitles.left_out = "they could not be read";
    } else if (subtitles.shown == 0 && !stopped_ && plan_.time_limit == 0) {
        // Only a whole reading tells that a track shows nothing.
        subtitles.left_out =
            subtitles_->packets() > 0 ? "they could not be read" : "the track holds no subtitles";
    }
}

int Transcode::convert(const std::string& output_path) {
    if (!packet_) {
        return AVERROR(ENOMEM);
    }
    progress_.start();
    int result = output_.open(output_path, input_, plan_, reason_);
    if (result < 0) {
        return result;
    }
    if (output_.video_encoder() == nullptr && output_.audio_encoder() == nullptr) {
        reason_ = "nothing in this file makes a stream of the output";
        return AVERROR_STREAM_NOT_FOUND;
    }
    result = set_up_subtitles();
    if (result >= 0) {
        result = set_up_pipelines();
    }
    if (result < 0) {
        return result;
    }
    result = avformat_write_header(&output_.container(), nullptr);
    if (result >= 0 && plan_.chapters && output_.video_stream() != nullptr) {
        // After the header: the mov muxers then make their chapter track at the end, from the
        // chapters as they are once the film's length is known.
        result = copy_chapters(input_.container(), output_.container(), plan_.time_limit);
    }
    if (result < 0) {
        return result;
    }
    result = write_cover_art();
    if (result < 0) {
        return result;
    }
    if (pipelines_.size() > 1) {
        // Every sound track (the main one, an alternate) runs on the one sound thread.
        std::vector<StreamPipeline*> sounds;
        for (auto& pipeline : pipelines_) {
            if (pipeline->input().codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                sounds.push_back(pipeline.get());
            }
        }
        if (!sounds.empty()) {
            sound_thread_ = std::make_unique<HandoffThread<AVPacket>>(
                sound_queue_packets,
                [sounds](AVPacket& packet) {
                    for (StreamPipeline* sound : sounds) {
                        if (sound->input().index == packet.stream_index) {
                            return sound->send_packet(packet);
                        }
                    }
                    return 0;
                },
                [this, sounds] {
                    for (StreamPipeline* sound : sounds) {
                        if (const int finished = sound->finish(silence_until_); finished < 0) {
                            return finished;
                        }
                    }
                    return 0;
                });
            result = sound_thread_->start();
            if (result < 0) {
                return result;
            }
        }
    }
    result = read_packets();
    if (result < 0) {
        return result;
    }
    // However reading ended (the end, a stop), every stream is drained so that the file is
    // complete.
    result = finish_pipelines();
    // Without a stated length, a last packet that cannot be decoded is where the file was cut.
    const bool cut = std::any_of(pipelines_.begin(), pipelines_.end(), [](const auto& pipeline) {
        return pipeline->last_packet_failed();
    });
    if (cut && read_error_.empty() && !stopped_ && input_.stated_duration_seconds() <= 0) {
        read_error_ = "the file ends in the middle of a packet";
    }
    if (result >= 0 && silent_track_ != nullptr) {
        result = silent_track_->finish(position());
    }
    if (result < 0) {
        return result;
    }
    // A stopped conversion ends before the input does: so does its last chapter.
    std::int64_t end = AV_NOPTS_VALUE;
    for (const auto& pipeline : pipelines_) {
        end = std::max(end, pipeline->extent().end);
    }
    cut_chapters(output_.container(), end);
    result = output_.finish();
    if (result < 0) {
        return result;
    }
    report_progress(true);
    return 0;
}

int Transcode::set_up_pipelines() {
    struct Part {
        AVCodecContext* encoder;
        AVStream* stream;
        int source_index;
        const std::string* language; // the plan's mark for the track, if it sets one
    };
    // The sound the plan names (the job chose it among several), else the engine's choice.
    int sound_source = input_.streams().audio;
    const std::string* sound_language = nullptr;
    if (plan_.sound && plan_.sound->stream >= 0) {
        sound_source = plan_.sound->stream;
        sound_language = &plan_.sound->language;
    }
    const int alternate_source = plan_.alternate_sound ? plan_.alternate_sound->stream : -1;
    for (const int named : {sound_source, alternate_source}) {
        if (named >= 0 && !is_sound_stream(input_.container(), named)) {
            reason_ = "the input has no sound stream " + std::to_string(named);
            return AVERROR_STREAM_NOT_FOUND;
        }
    }
    const Part parts[] = {
        {output_.video_encoder(), output_.video_stream(), input_.streams().video, nullptr},
        {output_.audio_encoder(), output_.audio_stream(), sound_source, sound_language},
        {output_.alternate_audio_encoder(), output_.alternate_audio_stream(), alternate_source,
         plan_.alternate_sound ? &plan_.alternate_sound->language : nullptr},
    };
    const bool pictures_and_sound =
        output_.video_encoder() != nullptr && output_.audio_encoder() != nullptr;
    for (const Part& part : parts) {
        if (part.encoder == nullptr) {
            continue;
        }
        const bool silence = part.source_index < 0 && plan_.sound && plan_.sound->silence &&
                             part.encoder->codec_type == AVMEDIA_TYPE_AUDIO &&
                             output_.video_encoder() != nullptr;
        if (part.source_index < 0 && !silence) {
            reason_ = std::string("the input has no stream for the output's ") +
                      av_get_media_type_string(part.encoder->codec_type);
            return AVERROR_STREAM_NOT_FOUND;
        }
        int result = avcodec_open2(part.encoder, part.encoder->codec, nullptr);
        if (result >= 0) {
            result = avcodec_parameters_from_context(part.stream->codecpar, part.encoder);
        }
        if (result < 0) {
            return result;
        }
        part.stream->time_base = part.encoder->time_base;
        if (part.encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
            part.stream->avg_frame_rate = part.encoder->framerate;
        }
        if (silence) {
            silent_output_ = std::make_unique<StreamEncoder>(
                *part.encoder, *part.stream,
                [this](AVPacket& packet) { return mux_packet(packet); });
            silent_track_ = std::make_unique<SilentTrack>(*silent_output_);
            result = silent_track_->open();
            if (result < 0) {
                return result;
            }
            continue;
        }
        AVStream& source = *input_.container().streams[part.source_index];
        if (const AVDictionaryEntry* language =
                av_dict_get(source.metadata, "language", nullptr, 0)) {
            av_dict_set(&part.stream->metadata, "language", language->value, 0);
        }
        if (part.language != nullptr && !part.language->empty()) {
            av_dict_set(&part.stream->metadata, "language", part.language->c_str(), 0);
        }
        const std::string burned_text =
            part.encoder->codec_type == AVMEDIA_TYPE_VIDEO ? text_subtitle_chain() : std::string();
        std::string chain = part.encoder->codec_type == AVMEDIA_TYPE_VIDEO
                                ? picture_chain(source, *part.encoder, *plan_.picture, burned_text)
                                : sound_chain(*part.encoder);
        auto pipeline = std::make_unique<StreamPipeline>(
            source, *part.encoder, *part.stream, std::move(chain),
            [this](AVPacket& packet) { return mux_packet(packet); });
        StreamPipeline::Settings settings;
        settings.decoder_threads = decoder_threads(*source.codecpar);
        settings.filter_threads = filter_threads;
        settings.max_pixels = MediaInput::max_pixels;
        settings.time_limit = plan_.time_limit;
        // Pictures and sound keep their places relative to each other from time 0.
        settings.start_at_zero = pictures_and_sound;
        const auto stated =
            static_cast<std::int64_t>(input_.stated_duration_seconds() * AV_TIME_BASE);
        settings.longest_gap = stated > 0 ? std::min(stated, longest_gap) : longest_gap;
        // The main sound's loudness: the alternate's would replace it in the result.
        settings.measure_loudness =
            plan_.sound && plan_.sound->measure_loudness && part.encoder == output_.audio_encoder();
        settings.go_on = [this] { return report_progress(false); };
        settings.furthest_fill = [this, self = pipeline.get()] { return furthest_fill(*self); };
        if (part.encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
            if (!burned_text.empty()) {
                settings.chain_without_subtitles =
                    picture_chain(source, *part.encoder, *plan_.picture);
            } else if (subtitles_ != nullptr && plan_.picture->burned_subtitles >= 0) {
                settings.draw_on_picture = [this](AVFrame& frame, std::int64_t time) {
                    return subtitles_->draw(frame, time);
                };
            }
            settings.encoder_on_own_thread = true;
            settings.deinterlace = interlaced(*source.codecpar);
            // Made three times smaller or more: what the smoothing of those pictures changes
            // does not survive the scaling (measured: the same picture, 6 % less decoding).
            const ConversionPlan::Picture& picture = *plan_.picture;
            settings.skip_unseen_smoothing = picture.picture_width * 3 <= source.codecpar->width &&
                                             picture.picture_height * 3 <= source.codecpar->height;
            // Fields are woven with their neighbours before any picture is dropped.
            const AVRational source_rate = stated_frame_rate(source);
            settings.rate_change_first = !interlaced(*source.codecpar) && source_rate.den > 0 &&
                                         av_cmp_q(source_rate, part.encoder->framerate) > 0;
        }
        result = pipeline->open(settings);
        if (result < 0) {
            return result;
        }
        pipelines_.push_back(std::move(pipeline));
    }
    return 0;
}

int Transcode::set_up_subtitles() {
    const int burned =
        plan_.picture && output_.video_encoder() != nullptr ? plan_.picture->burned_subtitles : -1;
    AVCodecContext* track_encoder = output_.subtitle_encoder();
    const int kept = track_encoder != nullptr ? plan_.subtitle_track->stream : -1;
    const int source_index = burned >= 0 ? burned : kept;
    if (source_index < 0) {
        return 0;
    }
    const AVFormatContext& container = input_.container();
    const AVStream* source = static_cast<unsigned>(source_index) < container.nb_streams
                                 ? container.streams[source_index]
                                 : nullptr;
    int result = AVERROR_STREAM_NOT_FOUND;
    if (source != nullptr && source->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE &&
        source->discard < AVDISCARD_ALL) {
        auto subtitles = std::make_unique<SubtitleStream>(*source);
        if (burned < 0) {
            result = subtitles->open_track(*track_encoder, *output_.subtitle_stream(),
                                           [this](AVPacket& packet) { return mux_packet(packet); });
        } else if (bitmap_subtitles(*source->codecpar)) {
            const ConversionPlan::Picture& picture = *plan_.picture;
            // The size the bitmaps were made for, when their stream does not say: the film's.
            const int video = input_.streams().video;
            const AVCodecParameters* film =
                video >= 0 ? container.streams[video]->codecpar : nullptr;
            result = subtitles->open_drawing(
                {picture.left, picture.top, picture.picture_width, picture.picture_height},
                picture.subtitle_text_height, film != nullptr ? film->width : 0,
                film != nullptr ? film->height : 0);
        } else {
            result = subtitles->open_counting(); // the picture's filter draws them
        }
        if (result >= 0) {
            subtitles_ = std::move(subtitles);
            subtitle_source_ = source_index;
            if (const AVDictionaryEntry* language =
                    av_dict_get(source->metadata, "language", nullptr, 0);
                language != nullptr && kept >= 0) {
                av_dict_set(&output_.subtitle_stream()->metadata, "language", language->value, 0);
            }
        }
    }
    if (result < 0) {
        subtitles_left_out_ = "they could not be read";
        if (kept >= 0) {
            // The track is declared already: it stays, empty, so that the file is whole.
            AVCodecParameters& empty = *output_.subtitle_stream()->codecpar;
            empty.codec_type = AVMEDIA_TYPE_SUBTITLE;
            empty.codec_id = track_encoder->codec_id;
            output_.subtitle_stream()->time_base = AVRational{1, 1000};
        }
    }
    return 0;
}

std::string Transcode::text_subtitle_chain() const {
    if (subtitles_ == nullptr || !plan_.picture || plan_.picture->burned_subtitles < 0) {
        return {};
    }
    const AVFormatContext& container = input_.container();
    const AVStream& source = *container.streams[subtitle_source_];
    if (bitmap_subtitles(*source.codecpar)) {
        return {};
    }
    TextSubtitleBurn burn;
    burn.path = input_.reopening_path();
    for (int index = 0; index < subtitle_source_; ++index) {
        burn.subtitle_ordinal +=
            container.streams[index]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE ? 1 : 0;
    }
    burn.picture_width = plan_.picture->picture_width;
    burn.picture_height = plan_.picture->picture_height;
    burn.text_height = plan_.picture->subtitle_text_height;
    const AVCodecParameters& parameters = *source.codecpar;
    if ((parameters.codec_id == AV_CODEC_ID_ASS || parameters.codec_id == AV_CODEC_ID_SSA) &&
        parameters.extradata != nullptr && parameters.extradata_size > 0) {
        burn.script_height =
            script_height(std::string(reinterpret_cast<const char*>(parameters.extradata),
                                      static_cast<std::size_t>(parameters.extradata_size)));
    }
    // The frames are on the timeline, which starts at the file's start; the events are not.
    burn.file_offset = container.start_time != AV_NOPTS_VALUE ? container.start_time : 0;
    return text_subtitle_filters(burn);
}

int Transcode::write_cover_art() {
    AVStream* cover = output_.cover_art_stream();
    if (cover == nullptr) {
        return 0;
    }
    // The picture goes first: the MP3 muxer holds the sound back until it has it.
    const AVStream* source = input_.container().streams[input_.streams().cover_art];
    AVPacket* packet = packet_.get();
    int result = av_packet_ref(packet, &source->attached_pic);
    if (result < 0) {
        return result;
    }
    packet->stream_index = cover->index;
    packet->pts = packet->dts = 0;
    packet->flags |= AV_PKT_FLAG_KEY;
    result = mux_packet(*packet);
    av_packet_unref(packet);
    return result;
}

int Transcode::finish_pipelines() {
    for (auto& pipeline : pipelines_) {
        const bool threaded = sound_thread_ != nullptr &&
                              pipeline->input().codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
        if (!threaded) {
            const int result = pipeline->finish();
            if (result < 0) {
                return result;
            }
        }
    }
    // The pictures are done: a film's sound that gave nothing before a stop is made silent
    // as long as they last, so that the film keeps its sound track.
    silence_until_ = position();
    return sound_thread_ != nullptr ? sound_thread_->finish() : 0;
}

int Transcode::read_packets() {
    AVFormatContext& container = input_.container();
    std::vector<StreamPipeline*> pipeline_of(container.nb_streams, nullptr);
    for (auto& pipeline : pipelines_) {
        pipeline_of[static_cast<std::size_t>(pipeline->input().index)] = pipeline.get();
    }
    std::vector<bool> judged(container.nb_streams, false);
    for (unsigned index = 0; index < container.nb_streams; ++index) {
        judged[index] = pipeline_of[index] != nullptr || clocked(*container.streams[index]);
    }
    // Subtitles are read too, moved onto the timeline with the rest but never judged: their
    // packets are sparse by nature.
    std::vector<bool> read = judged;
    if (subtitles_ != nullptr) {
        read[static_cast<std::size_t>(subtitle_source_)] = true;
    }
    const auto stated_end =
        static_cast<std::int64_t>(input_.stated_duration_seconds() * AV_TIME_BASE);
    timeline_ = std::make_unique<InputTimeline>(container, judged, stated_end);

    // A stream whose last packet the demuxer found incomplete: the file was cut.
    std::vector<bool> last_packet_damaged(container.nb_streams, false);
    AVPacket* packet = packet_.get();
    int retries = 0;
    bool ended = false;
    while (!ended) {
        int result = av_read_frame(&container, packet);
        read_position_.store(avio_tell(&input_.file()), std::memory_order_relaxed);
        if (result == AVERROR(EAGAIN) && ++retries < max_read_retries) {
            continue;
        }
        retries = 0;
        if (result < 0) {
            // What was read so far still makes a complete file; the caller hears why it is
            // shorter.
            if (result != AVERROR_EOF) {
                read_error_ = ffmpeg_error_text(result);
            } else if (std::find(last_packet_damaged.begin(), last_packet_damaged.end(), true) !=
                       last_packet_damaged.end()) {
                read_error_ = "the file ends in the middle of a packet";
            }
            timeline_->end();
            ended = true;
        } else {
            const auto index = static_cast<std::size_t>(packet->stream_index);
            if (index >= read.size() || !read[index]) {
                av_packet_unref(packet);
            } else {
                last_packet_damaged[index] = (packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
                result = timeline_->push(*packet);
                if (result < 0) {
                    return result;
                }
                if (timeline_->restarts() > 0) {
                    restarted_.store(true, std::memory_order_relaxed);
                }
            }
        }
        bool decoded = true;
        while (timeline_->take(*packet)) {
            result = dispatch(*packet, pipeline_of);
            if (result < 0) {
                return result;
            }
            decoded = decoded && result == 0;
        }
        if (!decoded) {
            continue; // no report for a packet that did not decode
        }
        if (silent_track_ != nullptr) {
            result = silent_track_->fill_to(position());
            if (result < 0) {
                return result;
            }
        }
        if (stopped_ || !report_progress(false)) {
            return 0;
        }
        if (plan_.time_limit > 0 && all_reached(plan_.time_limit)) {
            return 0;
        }
    }
    return 0;
}

int Transcode::dispatch(AVPacket& packet, const std::vector<StreamPipeline*>& pipeline_of) {
    if (subtitles_ != nullptr && packet.stream_index == subtitle_source_) {
        const int result = subtitles_->send_packet(packet);
        av_packet_unref(&packet);
        return result < 0 ? result : 0;
    }
    StreamPipeline* pipeline = pipeline_of[static_cast<std::size_t>(packet.stream_index)];
    if (pipeline == nullptr) {
        av_packet_unref(&packet);
        return 0;
    }
    if (sound_thread_ != nullptr && pipeline->input().codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
        return sound_thread_->send(packet);
    }
    const int errors_before = pipeline->decode_errors();
    const int result = pipeline->send_packet(packet);
    av_packet_unref(&packet);
    if (result < 0) {
        return result;
    }
    return pipeline->decode_errors() != errors_before ? 1 : 0;
}

std::int64_t Transcode::position() const {
    std::int64_t reached = 0;
    for (const auto& pipeline : pipelines_) {
        reached = std::max(reached, pipeline->reached());
    }
    return reached;
}

std::int64_t Transcode::furthest_fill(const StreamPipeline& filling) const {
    // Where the rest of the input is: the other streams, or the length it states or that was
    // estimated (a multiplex holds no stream further ahead of the others than that).
    std::int64_t furthest = AV_NOPTS_VALUE;
    for (const auto& pipeline : pipelines_) {
        if (pipeline.get() != &filling) {
            furthest = std::max(furthest, pipeline->reached());
        }
    }
    // Recordings joined end to end go on past the length estimated from the first.
    const auto length = static_cast<std::int64_t>(input_.duration_seconds() * AV_TIME_BASE);
    if (length > 0 && !restarted_.load(std::memory_order_relaxed)) {
        furthest = std::max(furthest, length);
    }
    return furthest == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : furthest + interleave_slack;
}

bool Transcode::all_reached(std::int64_t time) const {
    return std::all_of(pipelines_.begin(), pipelines_.end(),
                       [time](const auto& pipeline) { return pipeline->reached() >= time; });
}

bool Transcode::report_progress(bool final_report) {
    if (sink_ == nullptr) {
        return true;
    }
    if (!final_report && (stopped_ || sink_->stop_requested())) {
        stopped_ = true;
        return false;
    }
    const std::lock_guard lock(progress_mutex_);
    if (!progress_.due(final_report)) {
        return true;
    }
    // The timeline reached, else the file read (counting every byte); 100 is for the end.
    // Recordings joined end to end last longer than the duration told of the first.
    double share = 0;
    const double duration = input_.duration_seconds() * AV_TIME_BASE;
    if (duration > 0 && !restarted_.load(std::memory_order_relaxed)) {
        share = static_cast<double>(position()) / duration;
    } else if (input_.size() > 0) {
        share = static_cast<double>(read_position_.load(std::memory_order_relaxed)) /
                static_cast<double>(input_.size());
    }
    const bool go_on = progress_.tell(share, final_report);
    if (!go_on) {
        stopped_ = true;
    }
    return go_on;
}

int Transcode::mux_packet(AVPacket& packet) {
    const std::lock_guard lock(mux_mutex_);
    // The muxer leaves the packet blank.
    const bool picture =
        output_.video_stream() != nullptr && packet.stream_index == output_.video_stream()->index;
    const int result = muxer_(&output_.container(), &packet);
    if (result < 0) {
        return result;
    }
    packets_written_ += 1;
    pictures_written_ += picture ? 1 : 0;
    return 0;
}

} // namespace morvane
