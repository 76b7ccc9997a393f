// The main window's part for window tests (see recording_windows.h): a WindowHost whose every
// call runs the function the test puts in its member.
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
