#include "jobs/supported_codecs.h"

#include <algorithm>

namespace morvane {

SupportedCodecs::SupportedCodecs()
    : video_{
          AV_CODEC_ID_MPEG4,     AV_CODEC_ID_H264,      AV_CODEC_ID_FLV1,
          AV_CODEC_ID_WMV1,      AV_CODEC_ID_WMV2,      AV_CODEC_ID_MPEG1VIDEO,
          AV_CODEC_ID_MPEG2VIDEO,
          // Xvid streams are MPEG-4 Part 2 to today's FFmpeg, already listed above.
          AV_CODEC_ID_H261,      AV_CODEC_ID_H263,      AV_CODEC_ID_MSMPEG4V1,
          AV_CODEC_ID_MSMPEG4V2, AV_CODEC_ID_MSMPEG4V3, AV_CODEC_ID_H263P,
          AV_CODEC_ID_H263I,
      },
      audio_{
          AV_CODEC_ID_MP3,       AV_CODEC_ID_AAC,       AV_CODEC_ID_WMAV1,
          AV_CODEC_ID_WMAV2,     AV_CODEC_ID_AC3,       AV_CODEC_ID_DTS,
          AV_CODEC_ID_APE,       AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_PCM_S16BE,
          AV_CODEC_ID_PCM_U16LE, AV_CODEC_ID_PCM_U16BE, AV_CODEC_ID_PCM_S8,
          AV_CODEC_ID_PCM_U8,    AV_CODEC_ID_PCM_S32LE, AV_CODEC_ID_PCM_S32BE,
          AV_CODEC_ID_PCM_U32LE, AV_CODEC_ID_PCM_U32BE, AV_CODEC_ID_PCM_S24LE,
          AV_CODEC_ID_PCM_S24BE, AV_CODEC_ID_PCM_U24LE, AV_CODEC_ID_PCM_U24BE,
      } {}

bool SupportedCodecs::is_supported_video(AVCodecID codec) const {
    return std::find(video_.begin(), video_.end(), codec) != video_.end();
}

bool SupportedCodecs::is_supported_audio(AVCodecID codec) const {
    return std::find(audio_.begin(), audio_.end(), codec) != audio_.end();
}

bool SupportedCodecs::is_supported(AVCodecID video, AVCodecID audio) const {
    if (video != AV_CODEC_ID_NONE && !is_supported_video(video)) {
        return false;
    }
    return audio == AV_CODEC_ID_NONE || is_supported_audio(audio);
}

} // namespace morvane
