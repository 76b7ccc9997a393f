#include "files/ui/file_commands.h"

#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <optional>

#include "base/number_text.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "files/message_once.h"
#include "files/new_texture.h"
#include "files/texture_load.h"
#include "files/texture_save.h"
#include "files/ui/form6.h"
#include "files/ui/msg_box2.h"
#include "files/ui/new_texture_dialog.h"

namespace tintora {

FileCommands::FileCommands(Services& services, QWidget* parent, QLabel* statusLine,
                           WindowHost& host)
    : services_(services), host_(host), parent_(parent), statusLine_(statusLine) {}

MsgBox2& FileCommands::MsgBox2Window() {
    if (msgBox2_.isNull()) msgBox2_ = new MsgBox2(parent_);
    return *msgBox2_;
}

NewTexture& FileCommands::NewTextureWindow() {
    if (newTexture_.isNull()) newTexture_ = new NewTexture(services_, &host_, parent_);
    return *newTexture_;
}

Form6& FileCommands::Form6Window() {
    if (form6_.isNull()) form6_ = new Form6(parent_);
    return *form6_;
}

FileDialogRequest FileCommands::DialogRequest(const std::string& title, const std::string& filter,
                                              const std::string& fileName) const {
    FileDialogRequest request;
    request.title = title;
    request.filter = filter;
    request.filterIndex = CD.filterIndex;
    request.fileName = fileName;
    request.confirmOverwrite = (CD.flags & kOverwritePromptFlag) != 0;
    return request;
}

void FileCommands::TakeChoice(const FileChoice& choice) {
    CD.fileName = choice.fileName;
    CD.filterIndex = choice.filterIndex;
}

void FileCommands::open_Click() {
    CD.fileName.clear();
    const std::optional<FileChoice> choice = services_.dialogs->ShowOpen(
        DialogRequest(kOpenDialogTitle, kOpenDialogFilter, CD.fileName));
    if (!choice) return;
    TakeChoice(*choice);
    if (!CD.fileName.empty()) LoadTexture(CD.fileName);
}

void FileCommands::LoadTexture(const std::string& fileName) {
    LoadTextureFile(
        fileName,
        [this] { ShowMessageOnce(kDxtWarningMessage, kDxtWarningTitle, kDxtWarningKey); },
        host_.Access());
}

void FileCommands::ShowMessageOnce(const std::string& message, const std::string& title,
                                   const std::string& key) {
    ::tintora::ShowMessageOnce(*services_.settings, message, title, key,
                               [this](const std::string& text, const std::string& caption) {
                                   return MsgBox2Window().ShowModal(text, caption);
                               });
}

void FileCommands::newtex_Click() {
    NewTexture& dialog = NewTextureWindow();
    dialog.exec();
    if (dialog.closedByFrame()) {
        // Closing by the frame unloads the dialog: the next one starts afresh, and a fresh
        // dialog's Tag is empty.
        dialog.deleteLater();
        newTexture_.clear();
        return;
    }
    if (dialog.Tag != "Yes") return;
    const std::int32_t width = TextBoxInteger(dialog.Text1->text().toStdString());
    const std::int32_t height = TextBoxInteger(dialog.Text2->text().toStdString());
    CreateNewTexture(width, height, dialog.SelectedAlpha(), host_.Access());
}

SaveOutcome FileCommands::SaveTexture(std::int32_t textureIndex, const std::string& fileName,
                                      std::int32_t kind) {
    const QString statusBefore = statusLine_.isNull() ? QString() : statusLine_->text();
    try {
        return ::tintora::SaveTexture(
            textureIndex, fileName, kind,
            [this](const std::string& label) { return Form6Window().ShowModal(label); }, &host_,
            &host_);
    } catch (...) {
        // A failed write leaves the status line as it was (the compression may have shown its
        // progress there).
        if (!statusLine_.isNull()) statusLine_->setText(statusBefore);
        throw;
    }
}

void FileCommands::save_Click() {
    const auto& state = Module1();
    if (state.ActiveWindowIndex <= 0) return;
    const std::int32_t x = DocumentAt(state.ActiveWindowIndex).TextureIndex;
    const std::string path = TextureAt(x).FileName;
    if (!path.empty()) {
        if (const std::optional<std::int32_t> kind = SaveKindFromEnding(path)) {
            SaveTexture(x, path, *kind);
        } else {
            // An ending that names no kind we write (PNG, JPEG, TGA, DIB...): ask for one. The
            // file name box keeps the name of the dialog's last use.
            const std::optional<FileChoice> choice = services_.dialogs->ShowSave(
                DialogRequest(kSaveDialogTitle, kSaveDialogFilter, CD.fileName));
            if (!choice) return;
            TakeChoice(*choice);
            if (!CD.fileName.empty()) SaveTexture(x, CD.fileName, CD.filterIndex - 1);
        }
    }
    RefreshCaptions(&host_);
}

void FileCommands::saveas_Click() {
    const auto& state = Module1();
    if (state.ActiveWindowIndex <= 0) return;
    const std::int32_t x = DocumentAt(state.ActiveWindowIndex).TextureIndex;
    CD.fileName = TextureAt(x).FileName;
    const std::optional<FileChoice> choice = services_.dialogs->ShowSave(
        DialogRequest(kSaveDialogTitle, kSaveAsDialogFilter, CD.fileName));
    // From the next use on, the Save dialogs ask before replacing a file.
    CD.flags = kOverwritePromptFlag;
    if (!choice) return;
    TakeChoice(*choice);
    if (!CD.fileName.empty()) {
        const std::string chosen = CD.fileName;
        if (SaveTexture(x, chosen, CD.filterIndex - 1) != SaveOutcome::NotWritten) {
            TextureAt(x).Title = TitleFromPath(chosen);
        }
    }
    RefreshCaptions(&host_);
}

}  // namespace tintora
