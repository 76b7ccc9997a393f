#include "files/message_once.h"

#include <cstdlib>

#include "base/number_text.h"

namespace tintora {

void ShowMessageOnce(SettingsStore& settings, const std::string& message, const std::string& title,
                     const std::string& key, const MessageOnceBox& box) {
    const std::string stored =
        settings.GetSetting(kSettingsApplication, kMessageBoxesSection, key, "0");
    if (LeadingNumber(stored) != 0.0) return;
    const int checked = box(message, title);
    settings.SaveSetting(kSettingsApplication, kMessageBoxesSection, key,
                         std::to_string(std::abs(checked)));
}

}  // namespace tintora
