#include "effects/texture_effects.h"

#include <cstring>

#include "base/error.h"
#include "document/module1.h"
#include "effects/channel_maps.h"
#include "effects/contrast_luminosity.h"
#include "effects/hue_saturation.h"

namespace tintora {

namespace {

// The buffers an operation holds views of while other handlers may run.
struct HeldBuffers {
    std::int32_t textureIndex;
    const std::uint8_t* pixels;
    const std::uint8_t* previewPixels;
    std::size_t bytes;

    explicit HeldBuffers(std::int32_t index) : textureIndex(index) {
        const TextureEntry& entry = TextureAt(index);
        pixels = entry.Pixels.data();
        previewPixels = entry.PreviewPixels.data();
        bytes = entry.Pixels.byteCount();
    }

    // Throws unless the entry still holds the same buffers.
    void RequireUnchanged() const {
        const TextureEntry& entry = TextureAt(textureIndex);
        const bool same = entry.InUse && entry.Pixels.data() == pixels &&
                          entry.PreviewPixels.data() == previewPixels &&
                          entry.Pixels.byteCount() == bytes &&
                          entry.PreviewPixels.byteCount() == bytes;
        if (!same) throw PlatformError(kErrSubscriptOutOfRange, "Subscript out of range");
    }
};

void SetStatus(ProgressDisplay* display, const std::string& text) {
    if (display != nullptr) display->SetStatusText(text);
}

// Runs work, which shows progress texts, then shows done; when work stops with an error the
// status line says so instead of keeping its last progress text, and the error goes on.
template <typename Work>
void EndWithText(ProgressDisplay* display, const char* done, const Work& work) {
    try {
        work();
    } catch (...) {
        SetStatus(display, kActionFailedText);
        throw;
    }
    SetStatus(display, done);
}

// A progress function that shows prefix n suffix, lets pending messages run and checks that the
// buffers survived them.
ProgressFn ShowProgress(ProgressDisplay* display, const HeldBuffers& held, const char* suffix) {
    return [display, &held, suffix](int counter) {
        SetStatus(display, "Busy (" + std::to_string(counter) + suffix);
        if (display != nullptr) display->DoEvents();
        held.RequireUnchanged();
    };
}

// Views of both buffers, after checking that they hold the entry's pixels.
struct EntryViews {
    PixelView pixels;
    PixelView previewPixels;
};

EntryViews ViewsOf(std::int32_t textureIndex) {
    TextureEntry& entry = TextureAt(textureIndex);
    const std::size_t bytes =
        static_cast<std::size_t>(entry.Width) * static_cast<std::size_t>(entry.Height) * 4;
    const auto holds = [bytes, &entry](const PixelBuffer& buffer) {
        return !buffer.empty() && buffer.width() == entry.Width &&
               buffer.height() == entry.Height && buffer.byteCount() == bytes;
    };
    if (!holds(entry.Pixels) || !holds(entry.PreviewPixels)) {
        throw PlatformError(kErrSubscriptOutOfRange, "Subscript out of range");
    }
    return {entry.Pixels.view(), entry.PreviewPixels.view()};
}

}  // namespace

void AdjustContrastLuminosity(std::int32_t textureIndex, std::int32_t target, float contrast,
                              std::int32_t luminosity, ProgressDisplay* display) {
    CopyOut(textureIndex);
    const EntryViews views = ViewsOf(textureIndex);
    const HeldBuffers held(textureIndex);
    EndWithText(display, kPreviewReadyText, [&] {
        AdjustContrastLuminosity(views.pixels, views.previewPixels, contrast, luminosity,
                                 ShowProgress(display, held, "%)"));
    });
    CopyIn(textureIndex, target);
}

void AdjustHueSaturation(std::int32_t textureIndex, std::int32_t target, std::int32_t hueShift,
                         std::int32_t saturationShift, ProgressDisplay* display) {
    CopyOut(textureIndex);
    const EntryViews views = ViewsOf(textureIndex);
    const HeldBuffers held(textureIndex);
    EndWithText(display, kPreviewReadyText, [&] {
        AdjustHueSaturation(views.pixels, views.previewPixels, hueShift, saturationShift,
                            ShowProgress(display, held, " %)"));
    });
    CopyIn(textureIndex, target);
}

void CommitPreview(std::int32_t textureIndex, ProgressDisplay* display) {
    const EntryViews views = ViewsOf(textureIndex);
    std::memcpy(views.pixels.data, views.previewPixels.data, views.pixels.byteCount());
    CopyIn(textureIndex, 0);
    SetStatus(display, kActionFinishedText);
}

void InvertColors(std::int32_t textureIndex) {
    CopyOut(textureIndex);
    const EntryViews views = ViewsOf(textureIndex);
    InvertColors(views.pixels, views.pixels);
    CopyIn(textureIndex, 0);
}

void AutoContrast(std::int32_t textureIndex, ProgressDisplay* display) {
    const EntryViews views = ViewsOf(textureIndex);
    const HeldBuffers held(textureIndex);
    EndWithText(display, "Action done...", [&] {
        AutoContrast(views.pixels, views.pixels, ShowProgress(display, held, "%)"));
    });
    CopyIn(textureIndex, 0);
}

void Equalize(std::int32_t textureIndex) {
    const EntryViews views = ViewsOf(textureIndex);
    Equalize(views.pixels, views.pixels);
    CopyIn(textureIndex, 0);
}

}  // namespace tintora
