// The once-only message and the leading-number parse it and the new-texture dialog read with.
#include "files/message_once.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/number_text.h"
#include "base/error.h"
#include "services/scripted_ui_services.h"

namespace tintora {
namespace {

TEST(LeadingNumberTest, ReadsTheNumberAtTheStart) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"1", 1.0},     {"0", 0.0},   {"", 0.0},       {"abc", 0.0},   {"12.5px", 12.5},
        {"  -3", -3.0}, {"+7", 7.0},  {"1e3", 1000.0}, {"2e", 2.0},    {".5", 0.5},
        {"-", 0.0},     {".", 0.0},   {"0x1A", 0.0},   {"inf", 0.0},   {"nan", 0.0},
        {"1 2", 1.0},   {"\t4", 4.0}, {"0.0", 0.0},    {"00001", 1.0}, {"3.", 3.0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LeadingNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(LeadingNumberTest, TextBoxIntegersRoundHalfToEven) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"100.5", 100},
        {"101.5", 102},
        {"99.4", 99},
        {"-2.5", -2},
        {"256", 256},
        {"abc", 0},
        {"2147483647", 2147483647},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextBoxInteger(c.text), c.value) << c.text;
    for (const char* text : {"2147483648", "1e10", "-3e9"}) {
        try {
            TextBoxInteger(text);
            ADD_FAILURE() << text;
        } catch (const PlatformError& error) {
            EXPECT_EQ(error.code(), kErrOverflow);
        }
    }
}

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
    std::string Stored() { return settings.values[{"Tintora", "MessageBoxes", "DXT"}]; }

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
}

TEST_F(MessageOnceTest, StoredValueIsReadAsALeadingNumber) {
    const struct {
        const char* stored;
        bool shows;
    } cases[] = {{"0", true},  {"", true},    {"yes", true},   {"0.0", true},  {"1", false},
                 {"2", false}, {"-1", false}, {"1abc", false}, {"0.5", false}, {" 1 ", false}};
    for (const auto& c : cases) {
        settings.values[{"Tintora", "MessageBoxes", "DXT"}] = c.stored;
        shown.clear();
        Show(0);
        EXPECT_EQ(!shown.empty(), c.shows) << '"' << c.stored << '"';
    }
}

}  // namespace
}  // namespace tintora
