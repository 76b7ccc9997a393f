#include "services/qt/qt_ui_services.h"

#include <QApplication>
#include <QColor>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <utility>

namespace tintora {

namespace {

QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}

QString TitleOrDefault(const std::string& caption) {
    if (!caption.empty()) return ToQString(caption);
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Tintora") : name;
}

QWidget* DialogParent() {
    return QApplication::activeWindow();
}

constexpr const char* kLastFolderKey = "LastFolder";

}  // namespace

MessageParts SplitErrorReport(const std::string& text) {
    const QString whole = ToQString(text);
    static const QRegularExpression report(QStringLiteral("^(Error(?: -?\\d+)?): (.+)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = report.match(whole);
    if (!match.hasMatch()) return {whole, {}, false};
    const QString label = match.captured(1);
    return {match.captured(2), label == QLatin1String("Error") ? QString() : label, true};
}

QtCommonDialogs::QtCommonDialogs(SettingsStore* settings) : settings_(settings) {
    if (settings_ != nullptr) {
        lastFolder_ = ToQString(
            settings_->GetSetting(kSettingsApplication, "Tintora", kLastFolderKey, std::string()));
    }
}

QString QtCommonDialogs::StartFolder() const {
    if (!lastFolder_.isEmpty() && QDir(lastFolder_).exists()) return lastFolder_;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QDir(pictures).exists()) return pictures;
    return QDir::homePath();
}

std::optional<FileChoice> QtCommonDialogs::RunFileDialog(const FileDialogRequest& request,
                                                         bool save) {
    QFileDialog dialog(DialogParent(), ToQString(request.title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    const QStringList filters = ToQtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = request.filterIndex >= 1 && request.filterIndex <= filters.size()
                              ? request.filterIndex
                              : 1;
        dialog.selectNameFilter(filters[index - 1]);
    }
    // A file with a folder of its own opens the dialog there; a bare name (or none) in the folder
    // last used.
    const QString fileName = ToQString(request.fileName);
    if (fileName.isEmpty() || !QDir::isAbsolutePath(fileName)) dialog.setDirectory(StartFolder());
    if (!fileName.isEmpty()) dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    FileChoice choice;
    const QString chosen = dialog.selectedFiles().front();
    choice.fileName = chosen.toStdString();
    const auto selected = filters.indexOf(dialog.selectedNameFilter());
    choice.filterIndex = selected >= 0 ? static_cast<int>(selected) + 1 : 1;
    lastFolder_ = QFileInfo(chosen).absolutePath();
    if (settings_ != nullptr) {
        settings_->SaveSetting(kSettingsApplication, "Tintora", kLastFolderKey,
                               lastFolder_.toStdString());
    }
    return choice;
}

void QtMessageBoxes::ShowMessage(const std::string& text, const std::string& caption) {
    const MessageParts parts = SplitErrorReport(text);
    QMessageBox box(parts.error ? QMessageBox::Warning : QMessageBox::NoIcon,
                    TitleOrDefault(caption), parts.text, QMessageBox::Ok, DialogParent());
    if (!parts.details.isEmpty()) box.setDetailedText(parts.details);
    box.exec();
}

bool QtMessageBoxes::AskYesNo(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, TitleOrDefault(caption), ToQString(text),
                    QMessageBox::Yes | QMessageBox::No, DialogParent());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

int QtMessageBoxes::AskChoice(const std::string& text, const std::string& caption,
                              const std::vector<std::string>& buttons, int cancelIndex) {
    QMessageBox box(QMessageBox::Question, TitleOrDefault(caption), ToQString(text),
                    QMessageBox::NoButton, DialogParent());
    std::vector<QPushButton*> made;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const bool cancels = static_cast<int>(i) == cancelIndex;
        made.push_back(box.addButton(ToQString(buttons[i]), cancels ? QMessageBox::RejectRole
                                                                    : QMessageBox::AcceptRole));
    }
    if (!made.empty()) box.setDefaultButton(made.front());
    if (cancelIndex >= 0 && static_cast<std::size_t>(cancelIndex) < made.size())
        box.setEscapeButton(made[static_cast<std::size_t>(cancelIndex)]);
    box.exec();
    for (std::size_t i = 0; i < made.size(); ++i) {
        if (box.clickedButton() == made[i]) return static_cast<int>(i);
    }
    return cancelIndex;
}

QStringList ToQtNameFilters(const std::string& filter) {
    const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        // "All files (*.*)": the list in parentheses is replaced by the one built below.
        if (description.endsWith(QLatin1Char(')'))) {
            const auto open = description.lastIndexOf(QLatin1Char('('));
            if (open >= 0) description = description.left(open).trimmed();
        }
        QStringList patterns;
        for (QString pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
            if (!patterns.contains(pattern)) patterns << pattern;
            const QString upper = pattern.toUpper();
            if (!patterns.contains(upper)) patterns << upper;
        }
        if (patterns.isEmpty()) patterns << QStringLiteral("*");
        out << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')');
    }
    return out;
}

std::optional<FileChoice> QtCommonDialogs::ShowOpen(const FileDialogRequest& request) {
    return RunFileDialog(request, false);
}

std::optional<FileChoice> QtCommonDialogs::ShowSave(const FileDialogRequest& request) {
    return RunFileDialog(request, true);
}

std::optional<std::uint32_t> QtCommonDialogs::ShowColor(std::uint32_t initial) {
    const QColor start(static_cast<int>(initial & 0xFF), static_cast<int>((initial >> 8) & 0xFF),
                       static_cast<int>((initial >> 16) & 0xFF));
    const QColor chosen = QColorDialog::getColor(start, DialogParent());
    if (!chosen.isValid()) return std::nullopt;
    return static_cast<std::uint32_t>(chosen.red()) |
           (static_cast<std::uint32_t>(chosen.green()) << 8) |
           (static_cast<std::uint32_t>(chosen.blue()) << 16);
}

QtSettingsStore::QtSettingsStore()
    : QtSettingsStore(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      QStringLiteral("/tintora")) {}

QtSettingsStore::QtSettingsStore(QString directory) : directory_(std::move(directory)) {}

QString QtSettingsStore::FileFor(const std::string& application) const {
    return QDir(directory_).filePath(ToQString(application) + QStringLiteral(".ini"));
}

std::string QtSettingsStore::GetSetting(const std::string& application, const std::string& section,
                                        const std::string& key, const std::string& defaultValue) {
    QSettings settings(FileFor(application), QSettings::IniFormat);
    settings.beginGroup(ToQString(section));
    const QVariant value = settings.value(ToQString(key));
    return value.isValid() ? value.toString().toStdString() : defaultValue;
}

void QtSettingsStore::SaveSetting(const std::string& application, const std::string& section,
                                  const std::string& key, const std::string& value) {
    QDir().mkpath(directory_);
    QSettings settings(FileFor(application), QSettings::IniFormat);
    settings.beginGroup(ToQString(section));
    settings.setValue(ToQString(key), ToQString(value));
    settings.endGroup();
    settings.sync();
}

int QtDisplayInfo::ScreenDepth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->depth() : 0;
}

}  // namespace tintora
