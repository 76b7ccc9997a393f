// A WindowHost for window tests whose every call runs the test's function (recording_windows.h).
#pragma once

#include <cstdint>
#include <functional>

#include "support/recording_windows.h"
#include "texture_window/window_host.h"

namespace tintora::testing {

class RecordingHost : public RecordingWindowsOf<WindowHost> {
  public:
    std::function<void()> refreshColorValue;
    std::function<void(int, int)> popupViewMenu;
    std::function<void(std::int32_t)> textureChanged;
    std::function<bool(std::int32_t)> confirmClose;  // none: every window may close

    void RefreshColorValue() override { Run(refreshColorValue); }
    void PopupViewMenu(int globalX, int globalY) override { Run(popupViewMenu, globalX, globalY); }
    void TextureChanged(std::int32_t textureIndex) override { Run(textureChanged, textureIndex); }
    bool ConfirmClose(std::int32_t slot) override { return !confirmClose || confirmClose(slot); }
};

}  // namespace tintora::testing
