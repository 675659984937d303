// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz_conversion.h"

#include "engine/engine.h"
#include "jobs/device_plan.h"
#include "jobs/device_table.h"

namespace morvane::fuzz {

void convert_for_fuzzing(const std::filesystem::path& input,
                         const std::filesystem::path& work_folder, std::int64_t recording_time) {
    const Engine engine;
    const DeviceTable devices = device_table("");
    // The iPod nano's row, then the Shuffle's, as the job describes them for the input.
    for (const DeviceProfile* device : {&devices[1], &devices[3]}) {
        MediaInput opened;
        if (opened.open(input.string())) {
            return;
        }
        ConversionPlan plan = conversion_plan(*device, ConversionChoices{}, opened);
        plan.time_limit = recording_time;
        const bool film = plan.picture.has_value();
        const std::filesystem::path output = work_folder / (film ? "out.mp4" : "out.mp3");
        engine.convert(opened, output.string(), plan, nullptr);
        std::filesystem::remove(output);
    }
}

} // namespace morvane::fuzz
