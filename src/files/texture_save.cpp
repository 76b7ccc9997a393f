#include "files/texture_save.h"

#include <cctype>
#include <cstring>

#include "base/error.h"
#include "device/d3dx_file.h"
#include "document/locked_pixels.h"
#include "document/module1.h"

namespace tintora {

namespace {

void SetStatus(ProgressDisplay* display, const std::string& text) {
    if (display != nullptr) display->SetStatusText(text);
}

// The entry's main texture, checked: a window closed while a dialog was up takes it away.
std::shared_ptr<Texture> EntryTexture(std::int32_t textureIndex) {
    const TextureEntry& entry = TextureAt(textureIndex);
    if (!entry.InUse || !entry.Texture) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    return entry.Texture;
}

}  // namespace

std::string FileEnding(const std::string& fileName) {
    const auto separator = fileName.find_last_of("/\\");
    const std::size_t start = separator == std::string::npos ? 0 : separator + 1;
    const auto dot = fileName.rfind('.');
    // A dot that starts the name (".hidden") begins no ending.
    if (dot == std::string::npos || dot <= start) return {};
    return fileName.substr(dot);
}

std::optional<std::int32_t> SaveKindFromEnding(const std::string& fileName) {
    std::string ending = FileEnding(fileName);
    for (char& c : ending)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ending == ".bmp" || ending == ".dib") return kSaveBitmap;
    if (ending == ".dds") return kSaveDds;
    if (ending == ".zvt") return kSaveZvt;
    return std::nullopt;
}

std::string SaveKindEnding(std::int32_t kind) {
    switch (kind) {
        case kSaveBitmap:
            return ".bmp";
        case kSaveDds:
            return ".dds";
        case kSaveZvt:
            return ".zvt";
        default:
            return {};
    }
}

std::string ReplaceEnding(const std::string& fileName, const std::string& ending) {
    return fileName.substr(0, fileName.size() - FileEnding(fileName).size()) + ending;
}

std::string ExportLabelText(const std::string& fileName) {
    return " Save texture to : \r\n" + fileName;
}

std::string ZvtNotSavedText(const std::string& fileName) {
    return "Tintora cannot write Zarvell3D textures (.zvt): nothing was saved to " + fileName +
           ".\r\nSave the texture as a bitmap (.bmp) or a DirectX texture (.dds) instead.";
}

std::optional<ExportSettings> ExportSettingsOf(const std::string& exportAnswer) {
    ExportSettings settings;
    if (exportAnswer == kExport32) {
        settings.format = ExportFormat::Bgra32;
    } else if (exportAnswer == kExport24) {
        settings.format = ExportFormat::Bgr24;
    } else if (exportAnswer == kExport16) {
        settings.format = ExportFormat::Argb16;
    } else if (exportAnswer == kExportCompressed) {
        settings.format = ExportFormat::Bc2;
    } else {
        return std::nullopt;
    }
    return settings;
}

StagedFile StageTextureExport(Texture& texture, const std::string& fileName,
                              const ExportSettings& settings, const ProgressCallback& progress) {
    if (!progress) {
        // Nothing else runs while the export does: it reads the pixels where they lie.
        const LockedPixels lock(texture, D3DLOCK_READONLY);
        return StageDdsExport(lock.view(), settings, fileName);
    }
    PixelBuffer pixels(texture.width(), texture.height());
    {
        const LockedPixels lock(texture, D3DLOCK_READONLY);
        std::memcpy(pixels.data(), lock.view().data, pixels.byteCount());
    }
    return StageDdsExport(pixels.view(), settings, fileName, progress);
}

void WriteTextureExport(Texture& texture, const std::string& fileName,
                        const ExportSettings& settings, const ProgressCallback& progress) {
    StageTextureExport(texture, fileName, settings, progress).Commit();
}

std::optional<StagedFile> StageTextureFile(Texture& texture, const std::string& fileName,
                                           std::int32_t kind, const std::string& exportAnswer,
                                           const ProgressCallback& progress) {
    if (kind == kSaveBitmap) {
        return StageSurfaceToFile(fileName, D3DXIFF_BMP, *texture.GetSurfaceLevel(0), nullptr);
    }
    const std::optional<ExportSettings> settings = ExportSettingsOf(exportAnswer);
    if (kind != kSaveDds || !settings) return std::nullopt;
    return StageTextureExport(texture, fileName, *settings, progress);
}

bool WriteTextureFile(Texture& texture, const std::string& fileName, std::int32_t kind,
                      const std::string& exportAnswer, const ProgressCallback& progress) {
    std::optional<StagedFile> staged =
        StageTextureFile(texture, fileName, kind, exportAnswer, progress);
    if (!staged) return false;
    staged->Commit();
    return true;
}

SaveOutcome SaveTexture(std::int32_t textureIndex, const std::string& fileName, std::int32_t kind,
                        const ExportFormatQuestion& askFormat, ProgressDisplay* display,
                        MessageSink* messages) {
    switch (kind) {
        case kSaveBitmap:
        case kSaveDds: {
            std::string answer;
            if (kind == kSaveDds) {
                answer = askFormat ? askFormat(ExportLabelText(fileName)) : "";
                if (answer == kExportCancel) {
                    SetStatus(display, kSaveCancelledText);
                    return SaveOutcome::Cancelled;
                }
                if (!ExportSettingsOf(answer)) return SaveOutcome::NotWritten;
            }
            ProgressCallback progress;
            if (answer == kExportCompressed) {
                // Compression is the slow step: show how far it is and keep the windows answering
                // between its chunks.
                progress = [display](int percent) {
                    SetStatus(display, "Busy (" + std::to_string(percent) + "%)");
                    if (display != nullptr) display->DoEvents();
                };
            }
            const std::shared_ptr<Texture> texture = EntryTexture(textureIndex);
            WriteTextureFile(*texture, fileName, kind, answer, progress);
            break;
        }
        case kSaveZvt: {
            if (messages != nullptr) messages->MessageBox(ZvtNotSavedText(fileName));
            return SaveOutcome::NotWritten;
        }
        default:
            return SaveOutcome::NotWritten;
    }
    SetStatus(display, kTextureSavedPrefix + fileName);
    return SaveOutcome::Written;
}

}  // namespace tintora
