#include "files/ui/file_commands.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/error.h"
#include "base/number_text.h"
#include "document/history.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "files/message_once.h"
#include "files/new_texture.h"
#include "files/texture_load.h"
#include "files/texture_save.h"
#include "files/ui/export_dialog.h"
#include "files/ui/form6.h"
#include "files/ui/msg_box2.h"
#include "files/ui/new_texture_dialog.h"
#include "imagefiles/dds_export.h"

namespace tintora {

namespace {

// Thrown by the export's progress function to stop it.
struct ExportCancelled {};

// Notes an Escape pressed anywhere in the application while it lives (and keeps it from the
// focused widget: it belongs to the export).
class EscapeWatch : public QObject {
  public:
    EscapeWatch() { QCoreApplication::instance()->installEventFilter(this); }
    ~EscapeWatch() override { QCoreApplication::instance()->removeEventFilter(this); }
    EscapeWatch(const EscapeWatch&) = delete;
    EscapeWatch& operator=(const EscapeWatch&) = delete;

    bool pressed = false;

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
            return false;
        pressed = true;
        return true;
    }
};

bool HasAlpha(const PixelBuffer& pixels) {
    for (std::size_t i = 3; i < pixels.byteCount(); i += 4) {
        if (pixels[i] != 255) return true;
    }
    return false;
}

}  // namespace

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

ExportDialog& FileCommands::ExportDialogWindow() {
    if (exportDialog_.isNull()) exportDialog_ = new ExportDialog(*services_.settings, parent_);
    return *exportDialog_;
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
    const std::int32_t x = LoadTextureFile(
        fileName, [this] { ShowMessageOnce(kDxtWarningMessage, kDxtWarningTitle, kDxtWarningKey); },
        host_.Access());
    const std::string leftOut = LeftOutText(TextureAt(x));
    if (!leftOut.empty()) host_.SetStatusText(leftOut);
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
    // Saving over the file the texture came from loses what else that file held: ask first.
    TextureEntry& entry = TextureAt(textureIndex);
    const std::string holds = FileHoldsText(entry);
    std::error_code ignored;
    const bool overOpened =
        !holds.empty() && std::filesystem::equivalent(fileName, entry.FileName, ignored);
    if (overOpened &&
        !services_.messageBoxes->AskYesNo(TitleFromPath(entry.FileName) + " holds " + holds +
                                              "; saving writes only this image. Save anyway?",
                                          kSaveDialogTitle)) {
        host_.SetStatusText(kSaveCancelledText);
        return SaveOutcome::Cancelled;
    }
    const QString statusBefore = statusLine_.isNull() ? QString() : statusLine_->text();
    struct Writing {
        explicit Writing(bool& flag) : flag_(flag) { flag_ = true; }
        ~Writing() { flag_ = false; }
        bool& flag_;
    } writing(saving_);
    try {
        const SaveOutcome outcome = ::tintora::SaveTexture(
            textureIndex, fileName, kind,
            [this, textureIndex](const std::string& label) {
                return Form6Window().ShowModal(label, HasAlpha(TextureAt(textureIndex).Pixels));
            },
            &host_, &host_);
        // The pixels as they are now are on disk: the unsaved mark goes.
        if (outcome == SaveOutcome::Written) MarkSaved(textureIndex);
        // The file now holds this image alone.
        if (outcome == SaveOutcome::Written && overOpened) {
            TextureEntry& saved = TextureAt(textureIndex);
            saved.FileMipLevels = saved.FileFaces = saved.FileArraySize = saved.FileDepth = 1;
        }
        return outcome;
    } catch (...) {
        // A failed write leaves the status line as it was (the compression may have shown its
        // progress there).
        if (!statusLine_.isNull()) statusLine_->setText(statusBefore);
        throw;
    }
}

void FileCommands::save_Click() {
    const auto& state = Module1();
    if (state.ActiveWindowIndex > 0)
        SaveTextureOf(DocumentAt(state.ActiveWindowIndex).TextureIndex);
}

void FileCommands::saveas_Click() {
    const auto& state = Module1();
    if (state.ActiveWindowIndex > 0)
        SaveTextureAs(DocumentAt(state.ActiveWindowIndex).TextureIndex);
}

void FileCommands::export_Click() {
    const auto& state = Module1();
    if (state.ActiveWindowIndex > 0)
        ExportTexture(DocumentAt(state.ActiveWindowIndex).TextureIndex);
}

bool FileCommands::ExportTexture(std::int32_t textureIndex) {
    if (exporting_) return false;
    const std::optional<ExportSettings> settings = ExportDialogWindow().ShowModal(
        HasAlpha(TextureAt(textureIndex).Pixels), TextureAt(textureIndex).FileSrgb);
    if (!settings) return false;

    const TextureEntry& entry = TextureAt(textureIndex);
    const std::string name = ReplaceEnding(entry.Title, ".dds");
    const auto separator = entry.FileName.find_last_of("/\\");
    FileDialogRequest request;
    request.title = kExportDialogTitle;
    request.filter = kExportDialogFilter;
    request.confirmOverwrite = true;
    if (!exportFolder_.empty())
        request.fileName = exportFolder_ + name;
    else if (separator != std::string::npos)
        request.fileName = entry.FileName.substr(0, separator + 1) + name;
    else
        request.fileName = name;
    const std::optional<FileChoice> choice = services_.dialogs->ShowSave(request);
    if (!choice || choice->fileName.empty()) return false;
    std::string fileName = choice->fileName;
    std::string ending = FileEnding(fileName);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ending != ".dds") {
        // An export is a DDS file whatever the name typed ends in: "rock" and "rock.png" become
        // "rock.dds" and "rock.png.dds". The dialog asked about the name as typed, not this one.
        fileName += ".dds";
        std::error_code ignored;
        if (std::filesystem::exists(fileName, ignored) &&
            !services_.messageBoxes->AskYesNo(
                TitleFromPath(fileName) + " already exists.\r\nDo you want to replace it?",
                kExportDialogTitle))
            return false;
    }
    exportFolder_ = fileName.substr(0, fileName.find_last_of("/\\") + 1);

    // A copy of the pixels: pending messages run during the export, and a command among them may
    // change the texture or close its window.
    const PixelBuffer& source = TextureAt(textureIndex).Pixels;
    if (source.empty()) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    PixelBuffer pixels(source.width(), source.height());
    std::memcpy(pixels.data(), source.data(), source.byteCount());
    const QString statusBefore = statusLine_.isNull() ? QString() : statusLine_->text();
    EscapeWatch escape;
    exporting_ = true;
    try {
        WriteDdsExport(pixels.view(), *settings, fileName, [this, &escape](int percent) {
            if (!escape.pressed) {
                host_.SetStatusText("Busy (" + std::to_string(percent) + "%)");
                host_.DoEvents();
            }
            if (escape.pressed) throw ExportCancelled();
        });
        exporting_ = false;
    } catch (const ExportCancelled&) {
        exporting_ = false;
        host_.SetStatusText(kExportCancelledText);
        return false;
    } catch (...) {
        exporting_ = false;
        if (!statusLine_.isNull()) statusLine_->setText(statusBefore);
        throw;
    }
    host_.SetStatusText(kTextureExportedPrefix + fileName);
    return true;
}

bool FileCommands::SaveTextureOf(std::int32_t textureIndex) {
    const std::string path = TextureAt(textureIndex).FileName;
    const std::optional<std::int32_t> kind = SaveKindFromEnding(path);
    // Only bitmaps and DDS files are written back; anything else (PNG, JPEG, TGA, ZVT, no file)
    // needs a name the editor can write.
    if (!kind || *kind == kSaveZvt) return SaveTextureAs(textureIndex);
    const bool written = SaveTexture(textureIndex, path, *kind) == SaveOutcome::Written;
    RefreshCaptions(&host_);
    return written;
}

std::string FileCommands::SaveAsSuggestion(std::int32_t textureIndex) const {
    const TextureEntry& entry = TextureAt(textureIndex);
    std::string name = entry.Title;
    const std::optional<std::int32_t> kind = SaveKindFromEnding(name);
    if (!FileEnding(name).empty() && (!kind || *kind == kSaveZvt)) {
        const bool dds = CD.filterIndex - 1 == kSaveDds;
        name = ReplaceEnding(name, SaveKindEnding(dds ? kSaveDds : kSaveBitmap));
    }
    if (!saveFolder_.empty()) return saveFolder_ + name;
    const auto separator = entry.FileName.find_last_of("/\\");
    return separator == std::string::npos ? name : entry.FileName.substr(0, separator + 1) + name;
}

std::optional<std::pair<std::string, std::int32_t>> FileCommands::SaveAsTarget(
    bool confirmReplace) {
    const std::string& typed = CD.fileName;
    if (const std::optional<std::int32_t> kind = SaveKindFromEnding(typed)) return {{typed, *kind}};
    std::int32_t kind = CD.filterIndex - 1;
    if (!FileEnding(typed).empty()) {
        // An ending Tintora cannot write: the file gets the ending of the format chosen, so that
        // its name never contradicts its contents.
        const std::string name = TitleFromPath(typed);
        const int answer = services_.messageBoxes->AskChoice(
            "Tintora writes bitmaps and DirectX textures, not " + FileEnding(typed) +
                " files.\r\nSave the texture as " + ReplaceEnding(name, ".bmp") + " or as " +
                ReplaceEnding(name, ".dds") + "?",
            kSaveDialogTitle, {"Bitmap (.bmp)", "DirectX texture (.dds)", "Cancel"}, 2);
        if (answer != kSaveBitmap && answer != kSaveDds) return std::nullopt;
        kind = answer;
    }
    const std::string fileName = ReplaceEnding(typed, SaveKindEnding(kind));
    // The dialog asked about the name as typed, not about this one.
    std::error_code ignored;
    if (confirmReplace && std::filesystem::exists(fileName, ignored) &&
        !services_.messageBoxes->AskYesNo(
            TitleFromPath(fileName) + " already exists.\r\nDo you want to replace it?",
            kSaveDialogTitle)) {
        return std::nullopt;
    }
    return {{fileName, kind}};
}

bool FileCommands::SaveTextureAs(std::int32_t textureIndex) {
    const FileDialogRequest request =
        DialogRequest(kSaveDialogTitle, kSaveAsDialogFilter, SaveAsSuggestion(textureIndex));
    const std::optional<FileChoice> choice = services_.dialogs->ShowSave(request);
    // From the next use on, the Save As dialog asks before replacing a file.
    CD.flags = kOverwritePromptFlag;
    if (!choice) return false;
    TakeChoice(*choice);
    bool written = false;
    if (!CD.fileName.empty()) {
        const auto target = SaveAsTarget(request.confirmOverwrite);
        if (!target) return false;
        const auto& [fileName, kind] = *target;
        CD.fileName = fileName;
        CD.filterIndex = kind + 1;
        saveFolder_ = fileName.substr(0, fileName.find_last_of("/\\") + 1);
        const SaveOutcome outcome = SaveTexture(textureIndex, fileName, kind);
        if (outcome != SaveOutcome::NotWritten)
            TextureAt(textureIndex).Title = TitleFromPath(fileName);
        written = outcome == SaveOutcome::Written;
    }
    RefreshCaptions(&host_);
    return written;
}

}  // namespace tintora
