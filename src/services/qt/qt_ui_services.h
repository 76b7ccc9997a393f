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

// An error report as a message box shows it: "Error <number>: <description>" leads with the
// description and keeps "Error <number>" for the box's details; "Error: <description>" shows the
// description alone. Other texts are no error report: shown whole, without details.
struct MessageParts {
    QString text;
    QString details;
    bool error = false;
};
MessageParts SplitErrorReport(const std::string& text);

// Message boxes over the active window. An empty caption shows the application's display name.
// Error reports (SplitErrorReport) show the warning icon, their description first and the number
// behind "Show Details...".
class QtMessageBoxes : public MessageBoxes {
  public:
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    int AskChoice(const std::string& text, const std::string& caption,
                  const std::vector<std::string>& buttons, int cancelIndex) override;
};

// The file dialogs start in the folder of the file they are given, or, for a bare name or none,
// in the folder last used (the one the last chosen file lies in); at first in the user's
// pictures folder when there is one, else the home folder.
class QtCommonDialogs : public CommonDialogs {
  public:
    // settings (may be null) keeps the folder last used for the next run: key "LastFolder" of
    // section "Tintora".
    explicit QtCommonDialogs(SettingsStore* settings = nullptr);

    std::optional<FileChoice> ShowOpen(const FileDialogRequest& request) override;
    std::optional<FileChoice> ShowSave(const FileDialogRequest& request) override;
    std::optional<std::uint32_t> ShowColor(std::uint32_t initial) override;

    // Where a dialog for a bare file name starts: the folder last used while it exists, else the
    // pictures folder, else home.
    QString StartFolder() const;

  private:
    std::optional<FileChoice> RunFileDialog(const FileDialogRequest& request, bool save);

    SettingsStore* settings_;
    QString lastFolder_;
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
