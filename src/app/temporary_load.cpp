#include "app/temporary_load.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <cstring>

#include "document/module1.h"
#include "document/views.h"
#include "platform/error.h"
#include "platform/mesh_x.h"

namespace tintora {

void LoadTextureThroughImageReader(const std::string& fileName) {
    auto& state = Module1();
    const QString path = QString::fromStdString(fileName);
    if (!QFileInfo(path).isFile()) {
        throw PlatformError(kErrorFileNotFound, "File not found: " + fileName);
    }
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull()) {
        throw PlatformError(D3DXERR_INVALIDDATA, "Cannot read the texture file " + fileName + ": " +
                                                     reader.errorString().toStdString());
    }
    // ARGB32 is 0xAARRGGBB per pixel: B G R A in memory, the texture's layout.
    image = image.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    if (!state.Device) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }

    // The texture is made and filled before any slot is taken, so a failure leaves nothing.
    std::shared_ptr<Texture> texture =
        state.Device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    const D3DLOCKED_RECT locked = texture->LockRect(0, nullptr, 0);
    auto* bits = static_cast<std::uint8_t*>(locked.pBits);
    for (int y = 0; y < height; ++y) {
        std::memcpy(bits + static_cast<std::ptrdiff_t>(y) * locked.Pitch, image.constScanLine(y),
                    static_cast<std::size_t>(width) * 4);
    }
    texture->UnlockRect(0);

    const std::int32_t d = CreateDocument(width, height, true, false);
    const std::int32_t x = CreateTextureEntry(width, height, false);
    DocumentAt(d).TextureIndex = x;
    TextureAt(x).Texture = texture;
    TextureAt(x).FileName = fileName;
    const auto slash = fileName.find_last_of("/\\");
    const std::string title = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    DocumentAt(d).Title = title;
    if (DocumentWindow* window = DocumentAt(d).Window) window->SetCaption(title);
    CopyOut(x);
    TextureAt(x).Title = title;
    state.LastLoadedTexture = x;
    RefreshCaptions();
}

}  // namespace tintora
