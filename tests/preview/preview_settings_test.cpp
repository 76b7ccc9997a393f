#include "preview/preview_settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "services/scripted_ui_services.h"

namespace tintora::testing {
namespace {

TEST(PreviewSettingsTest, BooleanTextIsTrueFalseOrANumber) {
    const struct {
        const char* text;
        std::optional<bool> expected;
    } cases[] = {
        {"True", true}, {"False", false}, {"true", true}, {" FALSE ", false},
        {"1", true},    {"0", false},     {"-1", true},   {"0.0", false},
        {"2.5", true},  {"", {}},         {"yes", {}},    {"Truex", {}},
        {"1px", {}},    {"nan", {}},      {"0x1", {}},    {"inf", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextToBoolean(c.text), c.expected) << '"' << c.text << '"';
}

TEST(PreviewSettingsTest, Integer16TextRoundsHalvesToEvenAndMustFit) {
    const struct {
        const char* text;
        std::optional<std::int16_t> expected;
    } cases[] = {
        {"0", 0},    {"1", 1},         {" 2 ", 2},         {"1.5", 2},    {"2.5", 2},
        {"-0.5", 0}, {"32767", 32767}, {"-32768", -32768}, {"32768", {}}, {"-32769", {}},
        {"abc", {}}, {"", {}},         {"1 2", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextToInteger16(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(PreviewSettingsTest, ReadTakesStoredValuesAndDefaultsForAbsentOrUnreadableOnes) {
    const struct {
        const char *x, *y, *view, *check;  // stored texts; nullptr when absent
        PreviewSettings expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, {200, 99, true, kCheckUnchecked}},
        {"3000", "150.5", "False", "1", {3000, 150.5f, false, kCheckChecked}},
        // Negative and huge positions would put the window out of reach: defaults as well.
        {"-150.5", "1e30", "True", "2", {200, 99, true, kCheckGrayed}},
        {"12px", "abc", "maybe", "x", {200, 99, true, kCheckUnchecked}},
        // Numbers that are no check box value.
        {nullptr, nullptr, nullptr, "3", {200, 99, true, kCheckUnchecked}},
        {nullptr, nullptr, nullptr, "-1", {200, 99, true, kCheckUnchecked}},
    };
    for (const auto& c : cases) {
        ScriptedSettingsStore store;
        const std::pair<const char*, const char*> stored[] = {
            {"3DX", c.x}, {"3DY", c.y}, {"3DView", c.view}, {"3DCheck", c.check}};
        for (const auto& [key, value] : stored) {
            if (value != nullptr) store.values[{"Tintora", "Tintora", key}] = value;
        }
        const PreviewSettings read = ReadPreviewSettings(store, 99.0f);
        SCOPED_TRACE(::testing::Message() << (c.x ? c.x : "-") << " " << (c.check ? c.check : "-"));
        EXPECT_EQ(read.left, c.expected.left);
        EXPECT_EQ(read.top, c.expected.top);
        EXPECT_EQ(read.sphere, c.expected.sphere);
        EXPECT_EQ(read.check, c.expected.check);
        EXPECT_TRUE(store.saved.empty());
    }
}

TEST(PreviewSettingsTest, WritesFourKeysInOrderAndNeverRemembersAutoRotation) {
    ScriptedSettingsStore store;
    WritePreviewSettings(store, 1234.5f, -30.0f, false);
    using Key = ScriptedSettingsStore::Key;
    const std::vector<Key> order = {{"Tintora", "Tintora", "3DX"},
                                    {"Tintora", "Tintora", "3DY"},
                                    {"Tintora", "Tintora", "3DView"},
                                    {"Tintora", "Tintora", "3DCheck"}};
    EXPECT_EQ(store.saved, order);
    EXPECT_EQ(store.values[order[0]], "1234.5");
    EXPECT_EQ(store.values[order[1]], "-30");
    EXPECT_EQ(store.values[order[2]], "False");
    EXPECT_EQ(store.values[order[3]], "0");

    WritePreviewSettings(store, 0.0f, 0.0f, true);
    EXPECT_EQ(store.values[order[2]], "True");
    // What was written reads back as written.
    const PreviewSettings read = ReadPreviewSettings(store, 5.0f);
    EXPECT_EQ(read.left, 0.0f);
    EXPECT_TRUE(read.sphere);
}

}  // namespace
}  // namespace tintora::testing
