#include "files/texture_save.h"

#include <cctype>

#include "base/error.h"
#include "device/d3dx_file.h"
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

// The format a DDS export answer converts into; UNKNOWN for "32" (written as it is) and for an
// answer that names no format.
D3DFORMAT ExportFormat(const std::string& answer) {
    if (answer == kExport24) return D3DFMT_R8G8B8;
    if (answer == kExport16) return D3DFMT_A4R4G4B4;
    if (answer == kExportCompressed) return D3DFMT_DXT3;
    return D3DFMT_UNKNOWN;
}

// Writes texture as a DDS file of format through a system-memory surface of that format.
void SaveConverted(Device& device, const std::string& fileName, Texture& texture, D3DFORMAT format,
                   const ProgressCallback& progress) {
    const int width = texture.width();
    const int height = texture.height();
    auto converted = device.CreateImageSurface(width, height, format);
    D3DXLoadSurfaceFromSurface(*converted, nullptr, nullptr, *texture.GetSurfaceLevel(0), nullptr,
                               nullptr, D3DX_DEFAULT_FILTER, 0, progress);
    RECT whole;
    whole.right = width;
    whole.bottom = height;
    D3DXSaveSurfaceToFile(fileName, D3DXIFF_DDS, *converted, nullptr, &whole);
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

bool WriteTextureFile(Device* device, Texture& texture, const std::string& fileName,
                      std::int32_t kind, const std::string& exportAnswer,
                      const ProgressCallback& progress) {
    if (kind == kSaveBitmap) {
        D3DXSaveTextureToFile(fileName, D3DXIFF_BMP, texture, nullptr);
        return true;
    }
    if (kind != kSaveDds) return false;
    if (exportAnswer == kExport32) {
        D3DXSaveTextureToFile(fileName, D3DXIFF_DDS, texture, nullptr);
        return true;
    }
    const D3DFORMAT format = ExportFormat(exportAnswer);
    if (format == D3DFMT_UNKNOWN) return false;
    if (device == nullptr) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    SaveConverted(*device, fileName, texture, format, progress);
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
                if (answer != kExport32 && ExportFormat(answer) == D3DFMT_UNKNOWN) {
                    return SaveOutcome::NotWritten;
                }
            }
            ProgressCallback progress;
            if (answer == kExportCompressed) {
                // Compression is the slow step (about a megapixel per second): show how far it is
                // and keep the windows answering between its chunks.
                progress = [display](int percent) {
                    SetStatus(display, "Busy (" + std::to_string(percent) + "%)");
                    if (display != nullptr) display->DoEvents();
                };
            }
            const std::shared_ptr<Texture> texture = EntryTexture(textureIndex);
            WriteTextureFile(Module1().Device.get(), *texture, fileName, kind, answer, progress);
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
