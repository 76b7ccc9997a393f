// The once-only message: shown until its check box is ticked, the choice kept in the settings.
#include "files/message_once.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "services/scripted_ui_services.h"

namespace tintora {
namespace {

class MessageOnceTest : public ::testing::Test {
  protected:
    // Shows the "DXT" message; the box answers with check.
    void Show(int check) {
        ShowMessageOnce(settings, "text", "title", "DXT",
                        [this, check](const std::string& message, const std::string& title) {
                            shown.push_back(message + "|" + title);
                            return check;
                        });
    }
    std::string& Stored() { return settings.values[{"Tintora", "MessageBoxes", "DXT"}]; }

    ScriptedSettingsStore settings;
    std::vector<std::string> shown;
};

TEST_F(MessageOnceTest, ShownUntilSilenced) {
    Show(0);
    EXPECT_EQ(shown, (std::vector<std::string>{"text|title"}));
    EXPECT_EQ(Stored(), "0");
    Show(1);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(Stored(), "1");
    // Silenced: not shown, nothing written.
    settings.saved.clear();
    Show(0);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_TRUE(settings.saved.empty());
    // The stored value is read by its leading number: anything but 0 silences.
    const std::pair<const char*, bool> stored[] = {{"", true}, {"yes", true}, {"1abc", false}};
    for (const auto& [value, shows] : stored) {
        Stored() = value;
        shown.clear();
        Show(0);
        EXPECT_EQ(!shown.empty(), shows) << '"' << value << '"';
    }
}

}  // namespace
}  // namespace tintora
