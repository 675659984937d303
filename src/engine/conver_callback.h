// The progress sink a conversion reports to; its answer is also the only way to stop it.
#pragma once

namespace morvane {

class CConverCallback {
public:
    virtual ~CConverCallback() = default;
    // percent: 0 to 100 of the current file. Return false to stop the conversion.
    virtual bool on_progress(int percent) = 0;
};

} // namespace morvane
