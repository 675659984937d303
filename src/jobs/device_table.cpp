// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/device_table.h"

#include <array>
#include <string>
#include <vector>

namespace morvane {

namespace {

// Apple names MPEG-4 "Simple Profile" for all its film players, up to 2.5 Mb/s and 640x480 at
// 30 frames per second, with AAC-LC up to 160 kb/s, 48 kHz stereo, in .mp4 (Apple's published
// technical data for the iPod, iPod nano, iPod classic and iPhone). The header keeps level 1, as
// every MPEG-4 file FFmpeg has made for these players for years: Apple names no level, and nothing
// shows that a player accepts a higher one.
FilmFormat mpeg4_film(int width, int height, int bit_rate, int max_rate) {
    FilmFormat film;
    film.codec = "mpeg4";
    film.format_name = "MPEG4";
    film.container = "mp4";
    film.frame_width = width;
    film.frame_height = height;
    film.encoder.name = "mpeg4";
    film.encoder.options = {
        {"profile", "0"}, // Simple Profile (FFmpeg's FF_PROFILE_MPEG4_SIMPLE)
        {"level", "1"},
        {"bf", "0"}, // Simple Profile has no B-frames
        // The encoder has a thread of its own beside the decoding; slices on more threads only
        // cost at the players' small sizes (measured with bench/compare-ffmpeg: 4 % more wall
        // time with three).
        {"threads", "1"},
    };
    film.bit_rate = bit_rate;
    film.max_rate = max_rate;
    // Apple's "30 frames per second" above; the PSP's as its H.264 below.
    film.max_frame_rate = {30, 1};
    return film;
}

// H.264 through libx264, each row at its maker's published limits:
// - Apple's published technical data for the iPhone (2007), and the same entries in its pages
//   for the iPod touch, the iPod classic and the iPod nano from its 3rd generation on: "H.264
//   video, up to 1.5 Mbps, 640 by 480 pixels, 30 frames per second, Low-Complexity version of the
//   H.264 Baseline Profile" and "H.264 video, up to 2.5 Mbps, 640 by 480 pixels, 30 frames per
//   second, Baseline Profile up to Level 3.0", with AAC-LC up to 160 kb/s, 48 kHz, stereo.
//   "Low-Complexity" is Baseline with one reference frame; Baseline has no B-frames.
// - The 5th-generation iPod: Level 1.3 at 768 kb/s and 320x240 at first; since its 1.2
//   firmware (2006) the same 1.5 Mb/s, 640x480 Low-Complexity Baseline as above, as Apple's
//   published figures for it were then quoted on the FFmpeg developers' list.
// - Sony: "PSP can not play video data converted at bit rates higher than 768kbps" (its
//   support page on transferring video); the PSP's MP4 profile is H.264 Main Profile (CABAC),
//   as its user's guide names it, at level 2.1 as FFmpeg's psp muxer declares it in the
//   file's profile box (uuid PROF). At 480x272 that level holds one reference frame.
// One reference frame and no B-frames everywhere: what every row's limit allows. The
// options are FFmpeg's for libx264 (its documentation, and x264's --fullhelp for presets
// and profiles).
FilmFormat h264_film(const char* container, int width, int height, const char* profile,
                     const char* level, int bit_rate, int max_rate, int finest_quantizer) {
    FilmFormat film;
    film.codec = "h264";
    film.format_name = "H.264";
    film.container = container;
    film.frame_width = width;
    film.frame_height = height;
    film.encoder.name = "libx264";
    film.encoder.options = {
        {"profile", profile},
        {"level", level},
        {"refs", "1"},
        {"bf", "0"},
        // Measured on real footage fitted to the players' frames (bench/quality): "fast"
        // keeps the picture of "medium" and "slow" for less time; "faster" loses 0.004 SSIM.
        {"preset", "fast"},
        // No quantizer finer than this: finer steps only add bits a small screen does not show,
        // so easy pictures make small files rather than spend the whole rate. With that floor
        // the macroblock tree (finer steps where later pictures borrow) mostly hits it and only
        // costs its look-ahead; without it the floor can sit one step finer. Adaptive
        // quantization a little stronger and colour three steps finer than x264 sets it keep
        // the fine texture and the colour that MPEG-4 shows at twice the bits (chosen with
        // bench/quality on real footage: 20 at 480x320, 19 at 320x240 and the PSP's frame).
        {"qmin", std::to_string(finest_quantizer)},
        {"mbtree", "0"},
        {"aq-strength", "1.2"},
        {"chromaoffset", "-3"},
        {"threads", "1"},
    };
    film.bit_rate = bit_rate;
    film.max_rate = max_rate;
    // Apple: "30 frames per second" (above); Sony's PSP pages name 30 frames per second as
    // the most its MP4 video plays (29.97 in its own recordings).
    film.max_frame_rate = {30, 1};
    return film;
}

// The owner's choices within a film format: the average rate of each quality step (highest,
// higher, normal, lower) and the frame for a television (none: the screen's only). The steps
// are what the earlier settings page offered, 2.5, 1.5, 1.2 and 0.8 Mb/s, for MPEG-4 where the
// player takes them; H.264 shows the same picture at about half the bits (bench/quality), so
// its steps are about half of those; each within the row's published maximum, the PSP's
// stepping down from its own. An average rate, capped by the maximum and its buffer, rather
// than a constant quality under that cap: measured on real footage fitted to 320x240
// (bench/quality's clips, apart and in one 39 s film), libx264's crf matched the average rate
// within 0.0005 SSIM at equal size, and MPEG-4's fixed quantizer lost (0.0064 SSIM at equal
// size on the mixed film) and ignores the cap. An average also tells the size beforehand.
// Each step also has a finest quantizer: easy footage (an animation, a still camera) reaches
// the encoders' floor (MPEG-4's 2, the H.264 rows' own) long before any of these rates, and
// every step made the same file there (bench/quality --steps); normal and lower raise the
// floor (MPEG-4's by one and two, H.264's by two and four) so that they make smaller files on
// any footage: on the nano's screen there normal makes 0.62-0.68 (MPEG-4) and 0.78-0.81
// (H.264) of the bytes of higher, lower 0.47-0.52 and 0.60-0.65.
FilmFormat with_choices(FilmFormat film, std::array<QualityStep, 4> quality_steps,
                        FilmFrame tv_frame = {}) {
    film.quality_steps = quality_steps;
    film.tv_frame = tv_frame;
    return film;
}

constexpr std::array<QualityStep, 4> mpeg4_steps = {
    {{2500000, 2}, {1500000, 2}, {1200000, 3}, {800000, 4}}};
// Steps from the H.264 row's own finest quantizer.
constexpr std::array<QualityStep, 4> h264_steps(int finest) {
    return {{{1300000, finest}, {800000, finest}, {620000, finest + 2}, {420000, finest + 4}}};
}

// The sound Apple's players play as it is, from Apple's technical data for each iPod (the
// iPod shuffle, nano and classic, and the iPod touch, whose entries the iPhone's repeat):
// "AAC (16 to 320 Kbps)" and "MP3 (8 to 320 Kbps), MP3 VBR". Rates under 32 kb/s exist only in
// MPEG-2 layer III, so the lower sample rates of MPEG-2 (16, 22.05, 24 kHz) are among them,
// up to MPEG-1's 48 kHz; MPEG "2.5" (8 to 12 kHz) is no part of the standard, and no maker
// names it. A variable rate counts by its average. Stereo at most, as Apple gives for AAC.
// The AAC entry waits for a row whose files of sound alone are AAC (see PlayedSound).
std::vector<PlayedSound> apple_played_sounds() {
    return {{"mp3", "", 320000, 16000, 48000, 2}, {"aac", "LC", 320000, 8000, 48000, 2}};
}

// What the video rows share: AAC sound in an MP4, stereo; MP3 for sound alone.
DeviceProfile film_player(const std::string& picture, const char* name, int width, int height,
                          std::vector<FilmFormat> films) {
    DeviceProfile row;
    row.image_path = picture;
    row.display_name = name;
    row.plays_video = true;
    // Apple's players list a film's chapters from its QuickTime chapter track (Apple's
    // QuickTime File Format, "Chapter Lists"; the iPod and iPhone user guides' chapter menus).
    // Sony publishes no chapters for the PSP's MP4 video: its films get none, and no track
    // its player was never shown to take.
    row.shows_chapters = true;
    row.screen_width = width;
    row.screen_height = height;
    row.films = std::move(films);
    // AAC-LC at 128 kb/s: within the 160 kb/s every one of these players takes. The "fast"
    // coder: at this rate it sounds better than "twoloop" and takes a fraction of its time
    // (FFmpeg's AAC maintainer, making it the default in 2018; a chord over noise here: 0.3 of
    // twoloop's instructions).
    row.film_sound = {"aac", {{"b", "128000"}, {"aac_coder", "fast"}}};
    row.video_extension = ".mp4";
    row.audio_container = "mp3";
    // LAME's own choice: 128 kb/s at 44.1 or 48 kHz stereo, less for smaller shapes.
    row.audio_encoder = {"libmp3lame", {}};
    row.channels = 2;
    // AAC-LC up to 48 kHz, Apple's figure above (the PSP's sound is brought to its own rate
    // anyway); MP3 has no higher rate.
    row.max_sample_rate = 48000;
    row.audio_format_name = "MP3";
    row.audio_extension = ".mp3";
    row.played_sounds = apple_played_sounds();
    return row;
}

} // namespace

DeviceTable device_table(const std::string& data_folder) {
    const std::string pictures = data_folder + "devices/";
    DeviceProfile shuffle;
    shuffle.image_path = pictures + "iPod Shuffle.jpg";
    shuffle.display_name = "iPod Shuffle";
    // The source's channels and rate are kept: the player takes what the file has, up to
    // MP3's highest rate.
    shuffle.audio_container = "mp3";
    shuffle.audio_encoder = {"libmp3lame", {}};
    shuffle.max_sample_rate = 48000;
    shuffle.audio_format_name = "MP3";
    shuffle.audio_extension = ".mp3";
    shuffle.played_sounds = apple_played_sounds();

    // The psp muxer writes what the PSP's own tools write and plain MP4 lacks: the brand MSNV,
    // a profile box (uuid PROF: codecs, rates, frame size) before the media and the title in
    // the PSP's own box (uuid USMT); its video browser is known to pass over H.264 files
    // without them. The MPEG-4 films, which play without, stay plain MP4.
    // Its H.264 films fill the whole 480x272 screen, which its firmware plays from 3.30 on
    // (2007: that update lifted the bound of 76,800 pixels, 368x208, on films from a memory
    // stick, and 480x272 at level 2.1 played, as the guides of its day tell; Sony's 768 kb/s
    // stays its maximum): 510 macroblocks of 16x16 at 30 a second are within level 2.1
    // (at most 792 a picture and 19,800 a second in the H.264 standard's table of levels), with
    // one reference frame (792 macroblocks of decoded pictures hold one of these). The MPEG-4
    // films keep the 368x208 they have always had.
    DeviceProfile psp =
        film_player(pictures + "PSP.jpg", "Sony PSP", 368, 208,
                    {with_choices(mpeg4_film(368, 208, 1000000, 1000000),
                                  {{{1000000, 2}, {800000, 2}, {600000, 3}, {400000, 4}}}),
                     with_choices(h264_film("psp", 480, 272, "main", "2.1", 550000, 768000, 19),
                                  {{{768000, 19}, {550000, 19}, {420000, 21}, {280000, 23}}})});
    psp.channels = 2;
    psp.shows_chapters = false;
    psp.sample_rate = 24000;
    // Sony's PSP pages and user's guide list MP3 (MPEG-1 and MPEG-2 Audio Layer 3) among the
    // music its memory stick plays, songs at 44.1 and 48 kHz among them; what is converted for
    // it is written at 24 kHz (MPEG-2 layer III), which it plays too. Up to 320 kb/s, MPEG-1
    // layer III's highest rate; stereo, as its conversions are. Sony's AAC for it is not
    // Apple's entry: it takes none here.
    psp.played_sounds = {{"mp3", "", 320000, 16000, 48000, 2}};

    // For a television (the players' AV cables): Apple's technical data give "640 by 480
    // pixels" for both codecs on the iPhone and iPod touch, the iPod nano from its 3rd
    // generation and the iPod classic, and for H.264 on the 5th-generation iPod since its 1.2
    // firmware; that iPod's MPEG-4 is "480 by 480 pixels" at most, so the classic's row, which
    // serves it, makes its MPEG-4 films for a television 480x360 (4:3 within it). 640x480 at 30
    // pictures a second is 36,000 macroblocks a second, within Baseline level 3.0 (40,500).
    const FilmFrame tv_frame{640, 480};

    // H.264 films go into the ipod muxer: it adds to the picture's description the box
    // (uuid 6b6840f2-5f24-4fc5-ba39-a51bcf0323f3) without which iTunes refuses H.264 larger
    // than 320x240 for these players, and brands the file M4V.
    DeviceProfile phone = film_player(
        pictures + "iPhone.jpg", "iPhone, iPod touch", 320, 480,
        {with_choices(mpeg4_film(480, 320, 2500000, 2500000), mpeg4_steps, tv_frame),
         with_choices(h264_film("ipod", 480, 320, "baseline", "3.0", 1300000, 2500000, 20),
                      h264_steps(20), tv_frame)});
    phone.accepts_sent_files = false;
    // Its Videos app offers a film's other sound tracks in its audio and subtitles menu, from
    // the tracks of one alternate group, one enabled (Apple's QuickTime File Format, "Preparing
    // Sound and Subtitle Alternate Groups for Use with Apple Devices"); the WGBH National Center
    // for Accessible Media, on extra sound tracks in M4V films: the iPhone and iPod touch play
    // them, the iPod nano gives no way to reach them. Nothing published says the iPod classic
    // or the PSP switch an MP4's sound tracks: their films get one.
    phone.switches_sound_tracks = true;
    // The same Apple document gives the subtitle tracks of that menu (text tracks of one
    // alternate group, tx3g in an MPEG-4 file). For the iPod nano, the iPod classic and the
    // PSP's MP4 films nothing their makers publish names a menu of subtitle tracks: they get
    // subtitles burned in.
    phone.shows_subtitle_tracks = true;

    DeviceTable table = {
        phone,
        // Both iPods at most 1.5 Mb/s, what the 5th generation plays: one file serves both.
        film_player(
            pictures + "iPod Nano.jpg", "iPod nano", 320, 240,
            {with_choices(mpeg4_film(320, 240, 1500000, 2500000), mpeg4_steps, tv_frame),
             with_choices(h264_film("ipod", 320, 240, "baseline", "3.0", 800000, 1500000, 19),
                          h264_steps(19), tv_frame)}),
        film_player(
            pictures + "iPod Classic.jpg", "iPod classic", 320, 240,
            {with_choices(mpeg4_film(320, 240, 1500000, 2500000), mpeg4_steps, {480, 360}),
             with_choices(h264_film("ipod", 320, 240, "baseline", "3.0", 800000, 1500000, 19),
                          h264_steps(19), tv_frame)}),
        shuffle,
        psp,
    };
    return table;
}

int valid_device_index(int index, const DeviceTable& table) {
    return index >= 0 && index < static_cast<int>(table.size()) ? index : 0;
}

} // namespace morvane
