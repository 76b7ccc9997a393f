// A DDS export is built whole in memory before the file is opened, so a cancel or a failure before
// the write leaves nothing on disk: the headers (dds_codec.h), then every level in turn, each
// converted or encoded straight into its place. A8R8G8B8 pixels of the top level are the file's
// bytes as they are: the file's parts view them where they lie.
#include "imagefiles/dds_export.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/error.h"
#include "base/pixel_format.h"
#include "imagefiles/dds_codec.h"

namespace tintora {
namespace {

// How each format is stored: an uncompressed Direct3D format, or blocks with the code a DX9
// header names them by (none for BC7); the DXGI numbers of its DX10 header (0: none).
struct Storage {
    D3DFORMAT format;  // uncompressed; D3DFMT_UNKNOWN for blocks
    EncodeFormat encode;
    std::uint32_t fourCC;
    std::uint32_t dxgi;
    std::uint32_t dxgiSrgb;
    const char* name;
};

Storage StorageOf(ExportFormat format) {
    const std::uint32_t none = 0;
    switch (format) {
        case ExportFormat::Bgra32:
            return {D3DFMT_A8R8G8B8, EncodeFormat::Bc1, none, 87, 91, "A8R8G8B8"};
        case ExportFormat::Bgr24:
            return {D3DFMT_R8G8B8, EncodeFormat::Bc1, none, none, none, "R8G8B8"};
        case ExportFormat::Argb16:
            return {D3DFMT_A4R4G4B4, EncodeFormat::Bc1, none, 115, none, "A4R4G4B4"};
        case ExportFormat::Bc1:
            return {D3DFMT_UNKNOWN, EncodeFormat::Bc1, D3DFMT_DXT1, 71, 72, "BC1"};
        case ExportFormat::Bc1a:
            return {D3DFMT_UNKNOWN, EncodeFormat::Bc1a, D3DFMT_DXT1, 71, 72, "BC1a"};
        case ExportFormat::Bc2:
            return {D3DFMT_UNKNOWN, EncodeFormat::Bc2, D3DFMT_DXT3, 74, 75, "BC2"};
        case ExportFormat::Bc3:
            return {D3DFMT_UNKNOWN, EncodeFormat::Bc3, D3DFMT_DXT5, 77, 78, "BC3"};
        case ExportFormat::Bc4:
            return {D3DFMT_UNKNOWN, EncodeFormat::Bc4, MakeFourCC('A', 'T', 'I', '1'), 80, none,
                    "BC4"};
        case ExportFormat::Bc5:
            return {D3DFMT_UNKNOWN, EncodeFormat::Bc5, MakeFourCC('A', 'T', 'I', '2'), 83, none,
                    "BC5"};
        case ExportFormat::Bc7:
            return {D3DFMT_UNKNOWN, EncodeFormat::Bc7, none, 98, 99, "BC7"};
    }
    throw PlatformError(D3DERR_INVALIDCALL, "Unknown export format");
}

// Bytes of a width x height level.
std::size_t LevelBytes(const Storage& storage, int width, int height) {
    if (storage.format != D3DFMT_UNKNOWN) {
        return static_cast<std::size_t>(RowPitchBytes(storage.format, width)) *
               static_cast<std::size_t>(height);
    }
    return static_cast<std::size_t>((width + 3) / 4) * static_cast<std::size_t>((height + 3) / 4) *
           EncodedBlockBytes(storage.encode);
}

// Rough cost of a level's texel in each step, in units of a fast BC1 texel, to weigh the steps'
// shares of the progress.
constexpr double kMipCost = 2;
constexpr double kConvertCost = 0.1;
double EncodeCost(const Storage& storage, EncodeLevel level) {
    if (storage.format != D3DFMT_UNKNOWN) return kConvertCost;
    const double fast = storage.encode == EncodeFormat::Bc7 ? 8 : 1;
    return level == EncodeLevel::Best ? 10 * fast : fast;
}

// The counter of the whole export: each step's own 1..100 maps into the step's share of the total
// work, and only rising values go out.
class Progress {
  public:
    Progress(const ProgressFn& progress, double total) : progress_(progress), total_(total) {}

    // The progress function of the next step, which does work units (empty without progress).
    ProgressFn Step(double work) {
        step_ = work;
        if (!progress_) return {};
        return [this](int counter) { Report(done_ + step_ * counter / 100); };
    }
    void StepDone() {
        done_ += step_;
        Report(done_);
    }

  private:
    void Report(double done) {
        if (!progress_) return;
        const int counter = std::clamp(static_cast<int>(100 * done / total_), 1, 100);
        if (counter <= last_) return;
        last_ = counter;
        progress_(counter);
    }

    const ProgressFn& progress_;
    double total_;
    double done_ = 0;
    double step_ = 0;
    int last_ = 0;
};

void WriteLevel(const Storage& storage, const EncodeOptions& options, const PixelView& level,
                std::uint8_t* out, const ProgressFn& progress) {
    if (storage.format == D3DFMT_A8R8G8B8) {
        std::memcpy(out, level.data, level.byteCount());
    } else if (storage.format != D3DFMT_UNKNOWN) {
        EncodeFromArgb(storage.format, reinterpret_cast<const std::uint32_t*>(level.data),
                       level.width, level.height, out,
                       static_cast<int>(RowPitchBytes(storage.format, level.width)));
    } else {
        EncodeImage(storage.encode, options, level.data, level.width, level.height, out, progress);
    }
}

}  // namespace

bool IsBlockExport(ExportFormat format) {
    return StorageOf(format).format == D3DFMT_UNKNOWN;
}

bool ExportHasSrgb(ExportFormat format) {
    return StorageOf(format).dxgiSrgb != 0;
}

bool ExportHasDx10(ExportFormat format) {
    return StorageOf(format).dxgi != 0;
}

const char* ExportFormatName(ExportFormat format) {
    return StorageOf(format).name;
}

FileParts DdsExportParts(const PixelView& top, const ExportSettings& settings,
                         const ProgressFn& progress) {
    const Storage storage = StorageOf(settings.format);
    Require(top.width > 0 && top.height > 0 && top.width <= kMaxTextureSize &&
                top.height <= kMaxTextureSize,
            D3DERR_INVALIDCALL,
            "cannot export a " + std::to_string(top.width) + " x " + std::to_string(top.height) +
                " texture: the sides must lie between 1 and " + std::to_string(kMaxTextureSize));
    Require(!settings.srgb || storage.dxgiSrgb != 0, D3DERR_INVALIDCALL,
            std::string("a DDS file has no sRGB format for ") + storage.name + " pixels");
    Require(!settings.dx10 || storage.dxgi != 0, D3DERR_INVALIDCALL,
            std::string("a DX10 header has no format for ") + storage.name + " pixels");

    const int levelCount = settings.mipmaps ? MipLevelCount(top.width, top.height) : 1;
    const double topPixels = static_cast<double>(top.width) * top.height;
    double chainPixels = 0;
    for (int w = top.width, h = top.height, n = 1; n < levelCount; ++n) {
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
        chainPixels += static_cast<double>(w) * h;
    }
    const double encodeCost = EncodeCost(storage, settings.encode.level);
    Progress total(progress, chainPixels * kMipCost + (topPixels + chainPixels) * encodeCost);

    std::vector<PixelBuffer> chain;
    if (levelCount > 1) {
        MipOptions mip = settings.mip;
        mip.srgb = settings.srgb;
        chain = MakeMipChain(top, mip, total.Step(chainPixels * kMipCost));
        total.StepDone();
    }

    DdsWriteLayout layout;
    layout.width = top.width;
    layout.height = top.height;
    layout.mipLevels = levelCount;
    layout.format = storage.format;
    if (storage.format == D3DFMT_UNKNOWN) {
        layout.blockBytes = static_cast<int>(EncodedBlockBytes(storage.encode));
        layout.fourCC = storage.fourCC;
    }
    if (settings.srgb) {
        layout.dxgiFormat = storage.dxgiSrgb;
    } else if (settings.dx10 || (storage.fourCC == 0 && storage.format == D3DFMT_UNKNOWN)) {
        layout.dxgiFormat = storage.dxgi;
    }
    FileParts parts;
    parts.Add(EncodeDdsHeaders(layout));

    const auto writeLevel = [&](const PixelView& level, std::uint8_t* out) {
        WriteLevel(storage, settings.encode, level, out,
                   total.Step(static_cast<double>(level.width) * level.height * encodeCost));
        total.StepDone();
    };
    if (storage.format == D3DFMT_A8R8G8B8) {
        parts.AddView({top.data, top.byteCount()});
        total.Step(topPixels * encodeCost);
        total.StepDone();
    } else {
        ByteBuffer level(LevelBytes(storage, top.width, top.height));
        writeLevel(top, level.data());
        parts.Add(std::move(level));
    }
    std::size_t chainBytes = 0;
    for (PixelBuffer& level : chain)
        chainBytes += LevelBytes(storage, level.width(), level.height());
    ByteBuffer levels(chainBytes);
    std::size_t at = 0;
    for (PixelBuffer& level : chain) {
        writeLevel(level.view(), levels.data() + at);
        at += LevelBytes(storage, level.width(), level.height());
    }
    parts.Add(std::move(levels));
    return parts;
}

ByteBuffer EncodeDdsExport(const PixelView& top, const ExportSettings& settings,
                           const ProgressFn& progress) {
    return DdsExportParts(top, settings, progress).Join();
}

StagedFile StageDdsExport(const PixelView& top, const ExportSettings& settings,
                          const std::string& fileName, const ProgressFn& progress) {
    FileParts parts;
    try {
        parts = DdsExportParts(top, settings, progress);
    } catch (const PlatformError& error) {
        throw PlatformError(error.code(), "cannot save", fileName, error.reason());
    }
    return StagedFile(fileName, parts);
}

void WriteDdsExport(const PixelView& top, const ExportSettings& settings,
                    const std::string& fileName, const ProgressFn& progress) {
    StageDdsExport(top, settings, fileName, progress).Commit();
}

}  // namespace tintora
