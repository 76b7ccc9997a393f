#include "device/resources.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "base/error.h"
#include "base/pixel_format.h"

namespace tintora {

namespace {

constexpr int kMaxSurfaceSide = 16384;

D3DFORMAT StorageFormatFor(D3DFORMAT format, SurfaceKind kind) {
    if (kind == SurfaceKind::RenderTarget && format == D3DFMT_R5G6B5) return D3DFMT_X8R8G8B8;
    return format;
}

std::size_t StorageBytes(D3DFORMAT storage, int width, int height) {
    if (IsDepthFormat(storage)) {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * sizeof(float);
    }
    return static_cast<std::size_t>(RowPitchBytes(storage, width)) *
           static_cast<std::size_t>(StorageRows(storage, height));
}

}  // namespace

Surface::Surface(int width, int height, D3DFORMAT format, SurfaceKind kind, D3DPOOL pool,
                 std::shared_ptr<MemoryAccount> account, ByteBuffer pixels)
    : width_(width),
      height_(height),
      pitch_(0),
      format_(format),
      storageFormat_(StorageFormatFor(format, kind)),
      kind_(kind),
      pool_(pool),
      size_(0),
      account_(std::move(account)) {
    Require(width >= 1 && height >= 1, D3DERR_INVALIDCALL,
            "Invalid surface size " + std::to_string(width) + " x " + std::to_string(height) +
                ": width and height must be at least 1");
    Require(width <= kMaxSurfaceSide && height <= kMaxSurfaceSide, D3DERR_INVALIDCALL,
            "Surface size " + std::to_string(width) + " x " + std::to_string(height) +
                " is larger than the device allows");
    const bool isDepth = IsDepthFormat(format);
    Require((kind == SurfaceKind::DepthStencil) == isDepth, D3DERR_INVALIDCALL,
            std::string("Format ") + FormatName(format) +
                (isDepth ? " is a depth format" : " is not a depth format"));
    if (kind == SurfaceKind::RenderTarget) {
        Require(storageFormat_ == D3DFMT_A8R8G8B8 || storageFormat_ == D3DFMT_X8R8G8B8,
                D3DERR_INVALIDCALL,
                std::string("The device cannot render into format ") + FormatName(format));
    }
    Require(isDepth || BytesPerPixel(format) > 0 || IsBlockCompressed(format), D3DERR_INVALIDCALL,
            std::string("Unsupported surface format ") + FormatName(format));
    pitch_ = isDepth ? width * 4 : static_cast<int>(RowPitchBytes(storageFormat_, width));
    size_ = StorageBytes(storageFormat_, width, height);
    if (!pixels.empty()) {
        Require(pixels.size() == size_ && !isDepth, D3DERR_INVALIDCALL,
                "The pixels given for a " + std::to_string(width) + " x " +
                    std::to_string(height) + " surface are " + std::to_string(pixels.size()) +
                    " bytes, not " + std::to_string(size_));
        data_ = std::move(pixels);
    } else if (!isDepth) {
        try {
            data_ = ZeroedBytes(size_);
        } catch (const std::bad_alloc&) {
            throw PlatformError(E_OUTOFMEMORY, "Not enough memory for a " + std::to_string(width) +
                                                   " x " + std::to_string(height) + " surface");
        }
    }
    if (account_) account_->Add(static_cast<std::int64_t>(size_));
}

void Surface::MakeDepth() {
    try {
        data_.resize(size_);
    } catch (const std::bad_alloc&) {
        throw PlatformError(E_OUTOFMEMORY, "Not enough memory for a " + std::to_string(width_) +
                                               " x " + std::to_string(height_) + " depth surface");
    }
    float* d = reinterpret_cast<float*>(data_.data());
    std::fill(d, d + static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 1.0f);
}

Surface::~Surface() {
    if (account_) account_->Remove(static_cast<std::int64_t>(size_));
}

D3DSURFACE_DESC Surface::GetDesc() const {
    D3DSURFACE_DESC desc;
    desc.Format = format_;
    desc.Type = D3DRTYPE_SURFACE;
    desc.Usage = kind_ == SurfaceKind::RenderTarget   ? D3DUSAGE_RENDERTARGET
                 : kind_ == SurfaceKind::DepthStencil ? D3DUSAGE_DEPTHSTENCIL
                                                      : 0;
    desc.Pool = pool_;
    desc.Size = static_cast<std::uint32_t>(size_);
    desc.Width = static_cast<std::uint32_t>(width_);
    desc.Height = static_cast<std::uint32_t>(height_);
    return desc;
}

D3DLOCKED_RECT Surface::LockRect(const RECT* rect, std::uint32_t flags) {
    Require(kind_ != SurfaceKind::DepthStencil, D3DERR_INVALIDCALL,
            "A depth surface cannot be locked");
    Require(!locked_, D3DERR_INVALIDCALL, "The surface is already locked");
    std::size_t offset = 0;
    if (rect != nullptr) {
        Require(rect->left >= 0 && rect->top >= 0 && rect->right <= width_ &&
                    rect->bottom <= height_ && rect->left < rect->right && rect->top < rect->bottom,
                D3DERR_INVALIDCALL, "The lock rectangle lies outside the surface");
        if (IsBlockCompressed(format_)) {
            Require(rect->left % 4 == 0 && rect->top % 4 == 0, D3DERR_INVALIDCALL,
                    "A compressed surface can only be locked on 4 x 4 block edges");
            offset = static_cast<std::size_t>(rect->top / 4) * pitch_ +
                     static_cast<std::size_t>(RowPitchBytes(format_, rect->left));
        } else {
            offset = static_cast<std::size_t>(rect->top) * pitch_ +
                     static_cast<std::size_t>(rect->left) * BytesPerPixel(storageFormat_);
        }
    }
    locked_ = true;
    lockedReadOnly_ = (flags & D3DLOCK_READONLY) != 0;
    return {pitch_, data_.data() + offset};
}

void Surface::UnlockRect() {
    Require(locked_, D3DERR_INVALIDCALL, "The surface is not locked");
    locked_ = false;
    if (!lockedReadOnly_) Touch();
}

Texture::Texture(int width, int height, D3DFORMAT format, D3DPOOL pool, std::uint32_t usage,
                 std::shared_ptr<MemoryAccount> account, ByteBuffer pixels)
    : level0_(std::make_shared<Surface>(width, height, format,
                                        (usage & D3DUSAGE_RENDERTARGET) != 0
                                            ? SurfaceKind::RenderTarget
                                            : SurfaceKind::TextureLevel,
                                        pool, std::move(account), std::move(pixels))) {}

D3DSURFACE_DESC Texture::GetLevelDesc(std::uint32_t level) const {
    Require(level == 0, D3DERR_INVALIDCALL, "The texture has one level only");
    D3DSURFACE_DESC desc = level0_->GetDesc();
    desc.Type = D3DRTYPE_TEXTURE;
    return desc;
}

std::shared_ptr<Surface> Texture::GetSurfaceLevel(std::uint32_t level) const {
    Require(level == 0, D3DERR_INVALIDCALL, "The texture has one level only");
    return level0_;
}

D3DLOCKED_RECT Texture::LockRect(std::uint32_t level, const RECT* rect, std::uint32_t flags) {
    Require(level == 0, D3DERR_INVALIDCALL, "The texture has one level only");
    return level0_->LockRect(rect, flags);
}

void Texture::UnlockRect(std::uint32_t level) {
    Require(level == 0, D3DERR_INVALIDCALL, "The texture has one level only");
    level0_->UnlockRect();
}

const std::uint32_t* Texture::SampleTexels() {
    Require(!level0_->locked(), D3DERR_INVALIDCALL, "A locked texture cannot be drawn");
    if (level0_->storageFormat() == D3DFMT_A8R8G8B8) {
        return reinterpret_cast<const std::uint32_t*>(level0_->bits());
    }
    if (convertedVersion_ != level0_->version() || converted_.empty()) {
        converted_.resize(static_cast<std::size_t>(width()) * static_cast<std::size_t>(height()));
        DecodeToArgb(level0_->storageFormat(), level0_->bits(), level0_->pitch(), width(), height(),
                     converted_.data());
        convertedVersion_ = level0_->version();
    }
    return converted_.data();
}

SwapChain::SwapChain(int width, int height, D3DFORMAT format, PresentTarget* window,
                     std::shared_ptr<MemoryAccount> account)
    : backBuffer_(std::make_shared<Surface>(width, height, format, SurfaceKind::RenderTarget,
                                            D3DPOOL_DEFAULT, std::move(account))),
      window_(window) {}

std::shared_ptr<Surface> SwapChain::GetBackBuffer(std::uint32_t index,
                                                  D3DBACKBUFFER_TYPE type) const {
    Require(index == 0 && type == D3DBACKBUFFER_TYPE_MONO, D3DERR_INVALIDCALL,
            "A swap chain has one mono back buffer");
    return backBuffer_;
}

void SwapChain::Present(const RECT* source, const RECT* dest, PresentTarget* override,
                        const void* dirtyRegion) {
    Require(source == nullptr && dest == nullptr && dirtyRegion == nullptr, D3DERR_INVALIDCALL,
            "Presenting part of a back buffer is not supported");
    PresentTarget* target = override != nullptr ? override : window_;
    if (target == nullptr) return;
    target->PresentImage(backBuffer_->view());
}

}  // namespace tintora
