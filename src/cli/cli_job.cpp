#include "cli/cli_job.h"

#include <cstring>
#include <utility>

#include "base/error.h"
#include "device/d3dx_file.h"
#include "document/locked_pixels.h"
#include "effects/channel_maps.h"
#include "effects/contrast_luminosity.h"
#include "effects/hue_saturation.h"
#include "files/texture_load.h"
#include "files/texture_save.h"

namespace tintora::cli {

namespace {

std::string PremultipliedWarningFor(const std::string& fileName) {
    return fileName + ": DXT2/DXT4 texture (premultiplied alpha): loaded as the editor loads it, " +
           "drawn over transparent black, so every channel, alpha included, is multiplied by " +
           "alpha / 255";
}

}  // namespace

std::shared_ptr<Device> MakeWorkerDevice() {
    D3DPRESENT_PARAMETERS params;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_COPY;
    params.Windowed = 1;
    params.EnableAutoDepthStencil = -1;
    params.AutoDepthStencilFormat = D3DFMT_D24X8;
    return Direct3DCreate8()->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                           D3DCREATE_SOFTWARE_VERTEXPROCESSING, params);
}

SourceImages::SourceImages(Device& device, const std::vector<Operation>& operations) {
    for (const Operation& op : operations) {
        if (op.kind != OperationKind::AlphaFromFile) continue;
        bool loaded = false;
        for (const std::string& name : names_)
            loaded = loaded || name == op.text;
        if (loaded) continue;
        std::unique_ptr<PixelBuffer> buffer;
        try {
            const std::shared_ptr<Texture> texture = ReadWorkingTexture(device, op.text, {});
            buffer = std::make_unique<PixelBuffer>(texture->width(), texture->height());
            const LockedPixels lock(*texture, D3DLOCK_READONLY);
            std::memcpy(buffer->data(), lock.view().data, buffer->byteCount());
        } catch (const PlatformError& error) {
            const std::string message = error.what();
            if (message.find(op.text) != std::string::npos) throw;
            throw PlatformError(error.code(), op.text + ": " + message);
        }
        names_.push_back(op.text);
        pixels_.push_back(std::move(buffer));
    }
}

PixelView SourceImages::Pixels(const std::string& fileName) const {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (names_[i] == fileName) return pixels_[i]->view();
    }
    throw PlatformError(E_FAIL, QuotedName(fileName) + " was not loaded");
}

void ApplyOperation(const Operation& operation, PixelView pixels, const SourceImages& sources) {
    switch (operation.kind) {
        case OperationKind::Invert:
            InvertColors(pixels, pixels);
            break;
        case OperationKind::AutoContrast:
            AutoContrast(pixels, pixels);
            break;
        case OperationKind::Equalize:
            Equalize(pixels, pixels);
            break;
        case OperationKind::ContrastLuminosity:
            AdjustContrastLuminosity(pixels, pixels, ContrastFactor(operation.first),
                                     operation.second);
            break;
        case OperationKind::HueSaturation:
            AdjustHueSaturation(pixels, pixels, operation.first, operation.second);
            break;
        case OperationKind::ColourKey:
            ApplyColourKeyAlpha(pixels, operation.keyColor, ColourKeyThreshold(operation.text));
            break;
        case OperationKind::AlphaFrom:
            ApplyChannelAlpha(pixels, operation.channel);
            break;
        case OperationKind::AlphaFromFile:
            ApplyResampledAlpha(pixels, sources.Pixels(operation.text), operation.channel);
            break;
        case OperationKind::NormalMap:
            GenerateNormalMap(pixels, pixels, operation.amplitude, operation.height);
            break;
    }
}

StagedFile ProcessFile(Device& device, const std::string& input, const std::string& output,
                       const std::vector<Operation>& operations, const SourceImages& sources,
                       OutputFormat format, const DdsOptions& dds, const WarningFn& warn) {
    D3DXIMAGE_INFO info;
    const std::shared_ptr<Texture> texture = ReadWorkingTexture(
        device, input,
        [&] {
            if (warn) warn(PremultipliedWarningFor(input));
        },
        &info);
    const std::string leftOut = LeftOutText(info.Faces, info.ArraySize, info.Depth);
    if (!leftOut.empty() && warn) warn(input + ": " + leftOut + "; only that image is converted");
    if (!operations.empty()) {
        const LockedPixels lock(*texture, 0);
        for (const Operation& op : operations)
            ApplyOperation(op, lock.view(), sources);
    }
    if (format == OutputFormat::Bitmap) {
        return std::move(*StageTextureFile(*texture, output, kSaveBitmap, ""));
    }
    return StageTextureExport(*texture, output, ExportSettingsFor(format, dds, info.Srgb));
}

}  // namespace tintora::cli
