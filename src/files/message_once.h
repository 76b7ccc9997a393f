// Messages the user can silence: a box with a "Never display again this message" check box whose
// state is remembered per message in the settings store (application "Tintora", section
// "MessageBoxes", one key per message; "1" silences the message, "0" or no value shows it).
//
// UI thread only (it shows a modal box).
#pragma once

#include <functional>
#include <string>

#include "services/ui_services.h"

namespace tintora {

inline constexpr const char* kMessageBoxesSection = "MessageBoxes";

// Shows message with title modally and returns the state of the box's check box when it closes:
// 0 unchecked, 1 checked.
using MessageOnceBox = std::function<int(const std::string& message, const std::string& title)>;

// Reads the key's value (default "0"); when its leading number is not 0 returns without showing
// anything. Otherwise shows the box and stores the absolute value of the check box's state as
// decimal text ("0" or "1") under the same key.
void ShowMessageOnce(SettingsStore& settings, const std::string& message, const std::string& title,
                     const std::string& key, const MessageOnceBox& box);

}  // namespace tintora
