#pragma once

// A capture backend the tests script: it answers starts as told and keeps
// the callback for the test to report a capture through.
#include "desktop/ScreenCapture.h"

#include <cstdint>
#include <string>

namespace vextral::test {

struct ScriptedBackend final : desktop::CaptureBackend {
    int width = 0, height = 0, starts = 0;
    bool acceptStart = true;
    std::string refusal;
    Callback callback;

    int dllVersion() override { return 100; }
    bool startCapture(desktop::CaptureMode, Callback cb) override
    {
        ++starts;
        callback = acceptStart ? std::move(cb) : nullptr;
        return acceptStart;
    }
    void stopCapture() override {}
    void setCaptureProperty(int id, std::int32_t value) override
    {
        if (id == desktop::captureProperty::kWidth) width = value;
        if (id == desktop::captureProperty::kHeight) height = value;
    }
    std::string lastError() const override { return refusal; }
};

} // namespace vextral::test
