// The UI services on Qt: message boxes, file and colour dialogs, settings in an INI file, the
// display's depth. Create them after the QApplication; call them on the UI thread.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "services/ui_services.h"

class QWidget;

namespace tintora {

// Message boxes over the active window. An empty caption shows the application's display name.
class QtMessageBoxes : public MessageBoxes {
  public:
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    int AskChoice(const std::string& text, const std::string& caption,
                  const std::vector<std::string>& buttons, int cancelIndex) override;
};

class QtCommonDialogs : public CommonDialogs {
  public:
    std::optional<FileChoice> ShowOpen(const FileDialogRequest& request) override;
    std::optional<FileChoice> ShowSave(const FileDialogRequest& request) override;
    std::optional<std::uint32_t> ShowColor(std::uint32_t initial) override;
};

// Turns a "Desc|*.a;*.b|Desc2|*.c" filter into Qt name filters, one per pair:
// "Desc (*.a *.A *.b *.B)". A description that ends in a parenthesised pattern list has it
// replaced. "*.*" becomes "*" (every file, with or without an extension). Every pattern is
// offered in upper case too, since file names on Linux are case-sensitive. An odd trailing
// description is dropped.
QStringList ToQtNameFilters(const std::string& filter);

// Settings in INI files, one per application: <directory>/<application>.ini, one INI section per
// settings section. The default directory is "tintora" in the user's configuration folder
// (XDG_CONFIG_HOME, usually ~/.config). Each SaveSetting writes the file before returning.
class QtSettingsStore : public SettingsStore {
  public:
    QtSettingsStore();
    explicit QtSettingsStore(QString directory);

    std::string GetSetting(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override;
    void SaveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;

    QString FileFor(const std::string& application) const;

  private:
    QString directory_;
};

// The primary screen's depth; 0 when there is no screen.
class QtDisplayInfo : public DisplayInfo {
  public:
    int ScreenDepth() override;
};

}  // namespace tintora
