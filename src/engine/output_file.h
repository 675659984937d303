// One output container with the encoder of each stream it encodes (cover art is copied).
#pragma once

#include "engine/ffmpeg_ptr.h"

namespace morvane {

struct OutputFile {
    OutputFormatPtr container;
    std::string path;
    CodecContextPtr video_encoder; // null when the file has no video
    CodecContextPtr audio_encoder; // null when the file has no sound
    AVStream* video_stream = nullptr;
    AVStream* audio_stream = nullptr;
    AVStream* cover_art_stream = nullptr; // the source's cover, copied as it is
};

} // namespace morvane
