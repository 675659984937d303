// The work done for one file of a batch: check that it can be converted, set the engine up
// for the device, name the output, convert. Every file ends converted or failed with a
// reason; nothing is lost silently, and a failed conversion leaves no partial output.
#pragma once

#include "engine/engine.h"
#include "jobs/device_profile.h"
#include "jobs/failed_file.h"
#include "jobs/supported_codecs.h"

#include <functional>
#include <string>

namespace morvane {

class CConverCallback;

struct JobOutcome {
    bool converted = false;
    std::string output_path; // converted, or stopped part-way: the output written
    std::string reason;      // not converted: why
};

class ConversionJob {
public:
    ConversionJob(Engine& engine, TranscodeProgress& progress, const SupportedCodecs& codecs);

    // `on_conversion_start` runs right before the engine converts (the file was accepted).
    JobOutcome convert_one(const std::string& path, const DeviceProfile& device,
                           const std::string& output_folder, CConverCallback* callback,
                           const std::function<void()>& on_conversion_start = {});

private:
    JobOutcome fail(std::string reason);
    bool set_options(const DeviceProfile& device, bool has_video_and_audio);

    Engine& engine_;
    TranscodeProgress& progress_;
    const SupportedCodecs& codecs_;
};

} // namespace morvane
