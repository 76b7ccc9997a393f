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

TEST(PreviewSettingsTest, AbsentSettingsGiveTheDefaults) {
    ScriptedSettingsStore store;
    const PreviewSettings read = ReadPreviewSettings(store, 4567.0f);
    EXPECT_EQ(read.left, 200.0f);
    EXPECT_EQ(read.top, 4567.0f);
    EXPECT_TRUE(read.sphere);
    EXPECT_EQ(read.check, kCheckUnchecked);
    EXPECT_TRUE(store.saved.empty());
}

TEST(PreviewSettingsTest, StoredValuesAreReadAndUnreadableOnesFallBack) {
    ScriptedSettingsStore store;
    auto set = [&store](const char* key, const char* value) {
        store.values[{"Tintora", "Tintora", key}] = value;
    };
    set("3DX", "3000");
    set("3DY", "150.5");
    set("3DView", "False");
    set("3DCheck", "1");
    PreviewSettings read = ReadPreviewSettings(store, 99.0f);
    EXPECT_EQ(read.left, 3000.0f);
    EXPECT_EQ(read.top, 150.5f);
    EXPECT_FALSE(read.sphere);
    EXPECT_EQ(read.check, kCheckChecked);

    // Negative and huge positions would put the window out of reach: defaults as well.
    set("3DX", "-150.5");
    set("3DY", "1e30");
    read = ReadPreviewSettings(store, 99.0f);
    EXPECT_EQ(read.left, 200.0f);
    EXPECT_EQ(read.top, 99.0f);

    set("3DX", "12px");
    set("3DY", "abc");
    set("3DView", "maybe");
    set("3DCheck", "x");
    read = ReadPreviewSettings(store, 99.0f);
    EXPECT_EQ(read.left, 200.0f);
    EXPECT_EQ(read.top, 99.0f);
    EXPECT_TRUE(read.sphere);
    EXPECT_EQ(read.check, kCheckUnchecked);

    // Numbers that are no check box value fall back as well; 2 is the grayed box.
    set("3DCheck", "2");
    EXPECT_EQ(ReadPreviewSettings(store, 0.0f).check, kCheckGrayed);
    set("3DCheck", "3");
    EXPECT_EQ(ReadPreviewSettings(store, 0.0f).check, kCheckUnchecked);
    set("3DCheck", "-1");
    EXPECT_EQ(ReadPreviewSettings(store, 0.0f).check, kCheckUnchecked);
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
