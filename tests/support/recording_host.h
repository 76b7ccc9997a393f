// A WindowHost for window tests whose every call runs the test's function (recording_windows.h).
#pragma once

#include <functional>

#include "support/recording_windows.h"
#include "texture_window/window_host.h"

namespace tintora::testing {

class RecordingHost : public RecordingWindowsOf<WindowHost> {
  public:
    std::function<void()> refreshColorValue;
    std::function<void(int, int)> popupViewMenu;

    void RefreshColorValue() override { Run(refreshColorValue); }
    void PopupViewMenu(int globalX, int globalY) override { Run(popupViewMenu, globalX, globalY); }
};

}  // namespace tintora::testing
