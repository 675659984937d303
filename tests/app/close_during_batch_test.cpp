// SPDX-License-Identifier: GPL-3.0-or-later
// Closing the main window while a batch converts, twenty times at different moments, with
// the real worker and real files: the program never crashes (this runs under
// ThreadSanitizer too), the window closes once the current file has stopped, and every
// file left under a visible name plays through to its end.
#include "conversion_window/conversion_controller.h"
#include "main_window_fixture.h"
#include "support/stream_decoder.h"

#include <QTest>
#include <filesystem>

extern "C" {
#include <libavutil/frame.h>
}

namespace morvane {
namespace {

namespace fs = std::filesystem;

// Decodes the file's audio to its end; the number of frames, or -1 when it cannot be read.
int decoded_audio_frames(const fs::path& path) {
    try {
        test::StreamDecoder decoder(path, AVMEDIA_TYPE_AUDIO);
        AVFrame* frame = av_frame_alloc();
        int frames = 0;
        while (decoder.next(*frame)) {
            ++frames;
        }
        av_frame_free(&frame);
        return decoder.damaged_packets() == 0 ? frames : -1;
    } catch (const std::exception&) {
        return -1;
    }
}

class CloseDuringBatchTest : public test::MainWindowFixture {};

TEST_F(CloseDuringBatchTest, NoCrashAndEveryVisibleFilePlaysThrough) {
    const std::string source = clip("clip.mp4", 4.0);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        auto window = open_window();
        bool begun = false;
        QObject::connect(window->conversion(), &ConversionController::batch_started,
                         [&] { begun = true; });
        window->add_files({source, source});
        // Before the worker has told anything, as the first file starts, and ever later
        // into it.
        if (round % 5 != 0) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return begun; }, 60000));
            QTest::qWait((round % 5) * 40 * (1 + round / 5));
        }
        if (round % 4 == 3) {
            window.reset(); // destroyed outright, as at the end of a session
            continue;
        }
        window->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 60000));
        EXPECT_FALSE(window->conversion()->converting());
        window.reset();
    }
    int visible = 0;
    for (const std::string& name : outputs()) {
        SCOPED_TRACE(name);
        ++visible;
        EXPECT_GT(decoded_audio_frames(output_folder.file(name)), 0);
    }
    EXPECT_GT(visible, 0);
}

} // namespace
} // namespace morvane
