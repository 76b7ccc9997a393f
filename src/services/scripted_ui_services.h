// Scripted UI services for tests: they answer from what the test put in and record what the
// program asked, so window code runs without a desktop and without a person.
//
//   ScriptedMessageBoxes boxes;
//   boxes.yesNoAnswers.push_back(false);   // the next Yes/No box is answered No
//   ... run the code ...
//   EXPECT_EQ(boxes.shown.back().text, "...");
//
// An empty answer queue answers No, cancels a dialog, and reads the memory and display values
// set on the object.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "services/services.h"
#include "services/ui_services.h"

namespace tintora {

class ScriptedMessageBoxes : public MessageBoxes {
  public:
    struct Shown {
        enum class Kind { Ok, YesNo, Choice } kind;
        std::string text;
        std::string caption;
    };

    void ShowMessage(const std::string& text, const std::string& caption) override {
        shown.push_back({Shown::Kind::Ok, text, caption});
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        shown.push_back({Shown::Kind::YesNo, text, caption});
        if (yesNoAnswers.empty()) return false;
        const bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }

    int AskChoice(const std::string& text, const std::string& caption,
                  const std::vector<std::string>& buttons, int cancelIndex) override {
        shown.push_back({Shown::Kind::Choice, text, caption});
        choiceButtons.push_back(buttons);
        if (choiceAnswers.empty()) return cancelIndex;
        const int answer = choiceAnswers.front();
        choiceAnswers.pop_front();
        return answer;
    }

    std::deque<bool> yesNoAnswers;  // true = Yes
    std::deque<int> choiceAnswers;  // button indices; none left answers cancelIndex
    std::vector<std::vector<std::string>> choiceButtons;  // the buttons of each AskChoice
    std::vector<Shown> shown;
};

class ScriptedCommonDialogs : public CommonDialogs {
  public:
    std::optional<FileChoice> ShowOpen(const FileDialogRequest& request) override {
        openRequests.push_back(request);
        return Next(fileAnswers);
    }
    std::optional<FileChoice> ShowSave(const FileDialogRequest& request) override {
        saveRequests.push_back(request);
        return Next(fileAnswers);
    }
    std::optional<std::uint32_t> ShowColor(std::uint32_t initial) override {
        colorRequests.push_back(initial);
        return Next(colorAnswers);
    }

    // Answers in order; an empty optional is a cancel.
    std::deque<std::optional<FileChoice>> fileAnswers;
    std::deque<std::optional<std::uint32_t>> colorAnswers;
    std::vector<FileDialogRequest> openRequests;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<std::uint32_t> colorRequests;

  private:
    template <typename T>
    static std::optional<T> Next(std::deque<std::optional<T>>& queue) {
        if (queue.empty()) return std::nullopt;
        std::optional<T> answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

// Settings in memory, keyed by (application, section, key).
class ScriptedSettingsStore : public SettingsStore {
  public:
    using Key = std::tuple<std::string, std::string, std::string>;

    std::string GetSetting(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override {
        const auto found = values.find({application, section, key});
        return found == values.end() ? defaultValue : found->second;
    }
    void SaveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override {
        values[{application, section, key}] = value;
        saved.push_back({application, section, key});
    }

    std::map<Key, std::string> values;
    std::vector<Key> saved;  // every SaveSetting, in order
};

class ScriptedMemoryStatus : public MemoryStatus {
  public:
    MemoryFigures Read() override {
        ++reads;
        return figures;
    }
    MemoryFigures figures;
    int reads = 0;
};

class ScriptedDisplayInfo : public DisplayInfo {
  public:
    int ScreenDepth() override { return depth; }
    int depth = 32;
};

// Every service scripted, gathered in the bundle the editor takes (tests and benchmarks of the
// whole editor). The caller sets programDirectory and endProgram.
struct ScriptedServices {
    ScriptedServices() {
        services.messageBoxes = &boxes;
        services.dialogs = &dialogs;
        services.settings = &settings;
        services.memory = &memory;
        services.display = &display;
    }
    ScriptedServices(const ScriptedServices&) = delete;
    ScriptedServices& operator=(const ScriptedServices&) = delete;

    ScriptedMessageBoxes boxes;
    ScriptedCommonDialogs dialogs;
    ScriptedSettingsStore settings;
    ScriptedMemoryStatus memory;
    ScriptedDisplayInfo display;
    Services services;
};

}  // namespace tintora
