// The platform services the editor's windows use, gathered in one place that the application
// owns and hands to its windows.
#pragma once

#include <functional>
#include <string>

#include "services/ui_services.h"

namespace tintora {

struct Services {
    MessageBoxes* messageBoxes = nullptr;
    CommonDialogs* dialogs = nullptr;
    SettingsStore* settings = nullptr;
    MemoryStatus* memory = nullptr;
    DisplayInfo* display = nullptr;

    // Ends the program at once: no window's close handler runs and nothing more is saved. The
    // editor stops the process; tests record the call and go on, so callers return after End().
    std::function<void()> endProgram;

    // The folder the program's data files (sphere.x) are read from: the executable's own.
    std::string programDirectory;

    // True once End() has run.
    bool ended = false;

    void End() {
        ended = true;
        if (endProgram) endProgram();
    }
};

}  // namespace tintora
