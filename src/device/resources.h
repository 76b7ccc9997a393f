// Device resources: surfaces, single-level textures and additional swap chains.
//
// Objects are shared: a std::shared_ptr plays the part of a COM reference, and "release" is
// dropping the pointer. A resource keeps the bookkeeping it needs (the texture-memory account)
// alive by itself, so it may outlive the device that made it.
//
// Storage contract: a surface's pixels are one block, rows top to bottom, with a pitch of exactly
// width x bytes-per-pixel (4 x width for A8R8G8B8, pixels B G R A). Block-compressed surfaces hold
// rows of 4x4 blocks. Depth surfaces hold one float per pixel, quantised to the format's precision.
// Render targets in R5G6B5 (a 16-bit desktop) are stored as 32-bit pixels whose colours the
// rasteriser quantises to 5-6-5 on every write, so drawing code handles one pixel size.
// New storage starts cleared (depth surfaces at 1.0); large surfaces get it zeroed from the system
// (base/byte_buffer.h), and a texture made from pixels already in memory takes them over uncopied.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "base/byte_buffer.h"
#include "base/d3d8_types.h"

namespace tintora {

// Bytes of texture memory in use, shared by a device and every resource it made.
class MemoryAccount {
  public:
    explicit MemoryAccount(std::int64_t budget) : budget_(budget) {}
    void Add(std::int64_t bytes) { used_ += bytes; }
    void Remove(std::int64_t bytes) { used_ -= bytes; }
    std::int64_t used() const { return used_; }
    std::int64_t budget() const { return budget_; }

  private:
    std::int64_t budget_;
    std::atomic<std::int64_t> used_{0};
};

// A read-only view of an image as it is handed to whatever shows it.
struct ImageView {
    const std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
};

// Whatever a swap chain presents into: a window's client area, a picture box, a test's capture.
class PresentTarget {
  public:
    virtual ~PresentTarget() = default;
    // Client size in pixels; used when a swap chain is created with a back buffer size of 0.
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    // Receives the presented image. It is only valid during the call: copy what you keep.
    virtual void PresentImage(const ImageView& image) = 0;
};

enum class SurfaceKind { Plain, RenderTarget, DepthStencil, TextureLevel };

class Surface {
  public:
    // Throws PlatformError for sizes below 1 or a format the device cannot store.
    // pixels (may be empty: cleared storage) become the surface's storage; they must hold
    // exactly its bytes in the layout of the storage contract, else D3DERR_INVALIDCALL.
    Surface(int width, int height, D3DFORMAT format, SurfaceKind kind, D3DPOOL pool,
            std::shared_ptr<MemoryAccount> account, ByteBuffer pixels = {});
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    D3DSURFACE_DESC GetDesc() const;
    // Locks the whole surface (rect == nullptr) or a rectangle of it. A surface can be locked once
    // at a time; depth surfaces cannot be locked. Compressed rectangles must lie on block edges.
    D3DLOCKED_RECT LockRect(const RECT* rect, std::uint32_t flags);
    void UnlockRect();

    int width() const { return width_; }
    int height() const { return height_; }
    int pitch() const { return pitch_; }
    D3DFORMAT format() const { return format_; }
    // The layout of the stored bytes (X8R8G8B8 for an R5G6B5 render target, else format()).
    D3DFORMAT storageFormat() const { return storageFormat_; }
    SurfaceKind kind() const { return kind_; }
    bool locked() const { return locked_; }
    std::uint8_t* bits() { return data_.data(); }
    const std::uint8_t* bits() const { return data_.data(); }
    std::size_t byteSize() const { return size_; }
    // A depth surface's values (all 1.0 at first). Its storage is made on the first call: the
    // texture windows' views that draw no triangles never touch theirs. Throws PlatformError
    // E_OUTOFMEMORY when that storage cannot be made.
    float* depth() {
        if (data_.empty()) MakeDepth();
        return reinterpret_cast<float*>(data_.data());
    }
    // Changes whenever the pixels may have changed (an unlock that could write, a draw, a clear).
    std::uint64_t version() const { return version_; }
    void Touch() { ++version_; }
    ImageView view() const { return {data_.data(), width_, height_, pitch_, storageFormat_}; }

  private:
    void MakeDepth();

    int width_;
    int height_;
    int pitch_;
    D3DFORMAT format_;
    D3DFORMAT storageFormat_;
    SurfaceKind kind_;
    D3DPOOL pool_;
    std::size_t size_;
    ByteBuffer data_;
    std::shared_ptr<MemoryAccount> account_;
    bool locked_ = false;
    bool lockedReadOnly_ = false;
    std::uint64_t version_ = 1;
};

// A single-level texture. Its level 0 is a Surface; locking the texture locks that surface.
class Texture {
  public:
    // pixels: level 0's storage, as for Surface (empty: cleared).
    Texture(int width, int height, D3DFORMAT format, D3DPOOL pool, std::uint32_t usage,
            std::shared_ptr<MemoryAccount> account, ByteBuffer pixels = {});

    std::uint32_t GetLevelCount() const { return 1; }
    D3DSURFACE_DESC GetLevelDesc(std::uint32_t level) const;
    std::shared_ptr<Surface> GetSurfaceLevel(std::uint32_t level) const;
    D3DLOCKED_RECT LockRect(std::uint32_t level, const RECT* rect, std::uint32_t flags);
    void UnlockRect(std::uint32_t level);

    int width() const { return level0_->width(); }
    int height() const { return level0_->height(); }
    D3DFORMAT format() const { return level0_->format(); }

    // Level 0 as A8R8G8B8 texels for sampling (B G R A bytes, pitch 4 x width). Other formats are
    // converted once per change of the level and cached. Not thread-safe against a concurrent lock.
    const std::uint32_t* SampleTexels();

  private:
    std::shared_ptr<Surface> level0_;
    std::vector<std::uint32_t> converted_;
    std::uint64_t convertedVersion_ = 0;
};

// An additional swap chain: one back buffer that Present hands to its window.
class SwapChain {
  public:
    SwapChain(int width, int height, D3DFORMAT format, PresentTarget* window,
              std::shared_ptr<MemoryAccount> account);

    std::shared_ptr<Surface> GetBackBuffer(std::uint32_t index, D3DBACKBUFFER_TYPE type) const;
    // Hands the back buffer to the window (or to override when given). The rectangles and the
    // dirty region of the Direct3D call are not supported: pass nullptr.
    void Present(const RECT* source, const RECT* dest, PresentTarget* override,
                 const void* dirtyRegion);

    PresentTarget* window() const { return window_; }

  private:
    std::shared_ptr<Surface> backBuffer_;
    PresentTarget* window_;
    std::vector<std::uint8_t> converted_;
};

}  // namespace tintora
