#include "files/texture_save.h"

#include <cctype>

#include "document/module1.h"
#include "platform/d3dx_file.h"
#include "platform/error.h"

namespace tintora {

namespace {

void SetStatus(const std::string& text) {
    const auto& hooks = Module1().Hooks;
    if (hooks.SetStatusText) hooks.SetStatusText(text);
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
void SaveConverted(const std::string& fileName, Texture& texture, D3DFORMAT format) {
    const auto& device = Module1().Device;
    if (!device) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    const int width = texture.width();
    const int height = texture.height();
    auto converted = device->CreateImageSurface(width, height, format);
    ProgressCallback progress;
    if (format == D3DFMT_DXT3) {
        // Compression is the slow step (about a megapixel per second): show how far it is and
        // keep the windows answering between its chunks.
        progress = [](int percent) {
            SetStatus("Busy (" + std::to_string(percent) + "%)");
            const auto& hooks = Module1().Hooks;
            if (hooks.DoEvents) hooks.DoEvents();
        };
    }
    D3DXLoadSurfaceFromSurface(*converted, nullptr, nullptr, *texture.GetSurfaceLevel(0), nullptr,
                               nullptr, D3DX_DEFAULT_FILTER, 0, progress);
    RECT whole;
    whole.right = width;
    whole.bottom = height;
    D3DXSaveSurfaceToFile(fileName, D3DXIFF_DDS, *converted, nullptr, &whole);
}

}  // namespace

std::optional<std::int32_t> SaveKindFromEnding(const std::string& fileName) {
    std::string ending = fileName.size() >= 3 ? fileName.substr(fileName.size() - 3) : fileName;
    for (char& c : ending)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ending == "BMP") return kSaveBitmap;
    if (ending == "DDS") return kSaveDds;
    if (ending == "ZVT") return kSaveZvt;
    return std::nullopt;
}

std::string ExportLabelText(const std::string& fileName) {
    return " Save texture to : \r\n" + fileName;
}

std::string ZvtNotSavedText(const std::string& fileName) {
    return "Tintora cannot write Zarvell3D textures (.zvt): nothing was saved to " + fileName +
           ".\r\nSave the texture as a bitmap (.bmp) or a DirectX texture (.dds) instead.";
}

SaveOutcome SaveTexture(std::int32_t textureIndex, const std::string& fileName, std::int32_t kind,
                        const ExportFormatQuestion& askFormat) {
    switch (kind) {
        case kSaveBitmap:
            D3DXSaveTextureToFile(fileName, D3DXIFF_BMP, *EntryTexture(textureIndex), nullptr);
            break;
        case kSaveDds: {
            const std::string answer = askFormat ? askFormat(ExportLabelText(fileName)) : "";
            if (answer == kExportCancel) {
                SetStatus(kSaveCancelledText);
                return SaveOutcome::Cancelled;
            }
            if (answer == kExport32) {
                D3DXSaveTextureToFile(fileName, D3DXIFF_DDS, *EntryTexture(textureIndex), nullptr);
                break;
            }
            const D3DFORMAT format = ExportFormat(answer);
            if (format == D3DFMT_UNKNOWN) return SaveOutcome::NotWritten;
            const std::shared_ptr<Texture> texture = EntryTexture(textureIndex);
            SaveConverted(fileName, *texture, format);
            break;
        }
        case kSaveZvt: {
            const auto& hooks = Module1().Hooks;
            if (hooks.MessageBox) hooks.MessageBox(ZvtNotSavedText(fileName));
            return SaveOutcome::NotWritten;
        }
        default:
            return SaveOutcome::NotWritten;
    }
    SetStatus(kTextureSavedPrefix + fileName);
    return SaveOutcome::Written;
}

}  // namespace tintora
