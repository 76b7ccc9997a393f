#include "preview/preview_frame.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>

#include "base/error.h"
#include "device/d3dx_math.h"
#include "device/device.h"
#include "document/module1.h"

namespace tintora {

namespace {

constexpr float kNearPlane = 1.0f;
constexpr float kFarPlane = 10000.0f;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

Device& FrameDevice() {
    auto& state = Module1();
    if (!state.Device) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    return *state.Device;
}

std::int32_t RoundToInt32(float value) {
    // The current rounding mode is to nearest, ties to even.
    return static_cast<std::int32_t>(std::nearbyint(static_cast<double>(value)));
}

}  // namespace

void PreviewMouseDown(PreviewCamera& camera, float x, float y) {
    camera.OldX = RoundToInt32(x);
    camera.OldY = RoundToInt32(y);
}

void PreviewMouseMove(PreviewCamera& camera, int buttons, float x, float y) {
    if (buttons == kPreviewLeftButton) {
        const double dx = static_cast<double>(x) - camera.OldX;
        const double dy = static_cast<double>(y) - camera.OldY;
        camera.OldX = RoundToInt32(x);
        camera.OldY = RoundToInt32(y);
        camera.Angle =
            static_cast<float>(static_cast<double>(camera.Angle) - dx / kPixelsPerRadian);
        camera.AngleY =
            static_cast<float>(static_cast<double>(camera.AngleY) - dy / kPixelsPerRadian);
    } else if (buttons == kPreviewRightButton) {
        camera.Far = static_cast<float>(static_cast<double>(camera.Far) + static_cast<double>(y) -
                                        camera.OldY);
        camera.OldY = RoundToInt32(y);
    }
}

void PreviewWheel(PreviewCamera& camera, double notches, std::int32_t width, std::int32_t height) {
    const double larger = std::max(width, height);
    if (larger <= 0.0) return;
    double far = static_cast<double>(camera.Far) + notches * larger / 10.0;
    // Far = M puts the eye on the target: the wheel stops a tenth of M before it.
    if (notches > 0.0) far = std::min(far, std::max(static_cast<double>(camera.Far), larger * 0.9));
    camera.Far = static_cast<float>(far);
}

std::array<WallVertex, 4> WallVertices(std::int32_t width, std::int32_t height) {
    const auto w = static_cast<float>(width);
    const auto h = static_cast<float>(height);
    return {{
        {-w, -h, 0.0f, kWhite, 0u, 0.0f, 1.0f},
        {w, -h, 0.0f, kWhite, 0u, 1.0f, 1.0f},
        {-w, h, 0.0f, kWhite, 0u, 0.0f, 0.0f},
        {w, h, 0.0f, kWhite, 0u, 1.0f, 0.0f},
    }};
}

float PreviewCameraDistance(bool sphere, float far, std::int32_t width, std::int32_t height) {
    const std::int32_t larger = width > height ? width : height;
    const double distance = static_cast<double>(far) - larger;
    return static_cast<float>(sphere ? distance / 40.0 : distance);
}

float PreviewFieldOfView() {
    return static_cast<float>(3.14159 / 2.0);
}

void DrawPreviewFrame(PreviewCamera& camera, const PreviewFrameView& view) {
    auto& state = Module1();
    const auto autoRotate = [&] {
        if (view.autoRotate) {
            camera.Angle =
                static_cast<float>(static_cast<double>(camera.Angle) + kAutoRotationStep);
        }
    };

    // 1-2. The preview back buffer and depth surface become the render target.
    std::shared_ptr<Surface> backBuffer;
    CarryOnAfterFailure([&] {
        const std::shared_ptr<SwapChain> chain = DocumentAt(state.PreviewDocIndex).SwapChain;
        if (!chain) throw PlatformError(kErrObjectNotSet, "The preview has no swap chain");
        backBuffer = chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO);
    });
    bool targetSet = false;
    CarryOnAfterFailure([&] {
        if (!backBuffer) throw PlatformError(kErrObjectNotSet, "The preview has no back buffer");
        FrameDevice().SetRenderTarget(backBuffer, DocumentAt(state.PreviewDocIndex).DepthSurface);
        targetSet = true;
    });
    if (!targetSet) {
        // Whatever target is current belongs to another drawing: leave it alone.
        autoRotate();
        return;
    }

    // 3-4. Clear and begin the scene.
    CarryOnAfterFailure([&] {
        FrameDevice().Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
                            ToDeviceColor(state.BackgroundColor), 1.0f, 0);
    });
    bool sceneBegun = false;
    CarryOnAfterFailure([&] {
        FrameDevice().BeginScene();
        sceneBegun = true;
    });

    // Per-frame values, all zero to begin with: a step that fails leaves its value at zero.
    D3DXMATRIX projection;
    D3DXMATRIX viewMatrix;
    D3DXMATRIX world;
    float distance = 0.0f;

    // 5. Projection. A picture of height 0 has no aspect ratio: the zero matrix stays.
    CarryOnAfterFailure([&] {
        if (view.pictureHeight == 0.0f) {
            throw PlatformError(kErrObjectNotSet, "The preview picture has no height");
        }
        const auto aspect = static_cast<float>(static_cast<double>(view.pictureWidth) /
                                               static_cast<double>(view.pictureHeight));
        D3DXMatrixPerspectiveFovLH(&projection, PreviewFieldOfView(), aspect, kNearPlane,
                                   kFarPlane);
    });

    // 6-8. Camera distance from the active texture, the look-at view, both transforms.
    std::shared_ptr<Texture> texture;
    std::int32_t width = 0;
    std::int32_t height = 0;
    CarryOnAfterFailure([&] {
        const TextureEntry& e = TextureAt(DocumentAt(state.ActiveWindowIndex).TextureIndex);
        texture = e.Texture;
        width = e.Width;
        height = e.Height;
        distance = PreviewCameraDistance(view.sphere, camera.Far, width, height);
    });
    CarryOnAfterFailure([&] {
        const D3DXVECTOR3 eye{0.0f, 0.0f, distance};
        const D3DXVECTOR3 at{0.0f, 0.0f, 0.0f};
        const D3DXVECTOR3 up{0.0f, 1.0f, 0.0f};
        D3DXMatrixLookAtLH(&viewMatrix, &eye, &at, &up);
    });
    CarryOnAfterFailure([&] { FrameDevice().SetTransform(D3DTS_PROJECTION, projection); });
    CarryOnAfterFailure([&] { FrameDevice().SetTransform(D3DTS_VIEW, viewMatrix); });

    // 9. Auto-rotation.
    autoRotate();

    // 10-12. World rotation, alpha test, world transform.
    CarryOnAfterFailure([&] { D3DXMatrixRotationYawPitchRoll(&world, camera.Angle, camera.AngleY, 0.0f); });
    CarryOnAfterFailure([&] { FrameDevice().SetRenderState(D3DRS_ALPHATESTENABLE, 1); });
    CarryOnAfterFailure([&] { FrameDevice().SetRenderState(D3DRS_ALPHAREF, 1); });
    CarryOnAfterFailure([&] { FrameDevice().SetTransform(D3DTS_WORLD, world); });

    // 13-15. The shape, when there is a texture to show and the eye is not at the target.
    if (texture && distance != 0.0f) {
        CarryOnAfterFailure([&] { FrameDevice().SetTexture(0, texture); });
        CarryOnAfterFailure([&] { FrameDevice().SetVertexShader(kWallVertexFvf); });
        if (view.sphere) {
            CarryOnAfterFailure([&] {
                if (!state.SphereMesh) {
                    throw PlatformError(kErrObjectNotSet, "The sphere mesh is not loaded");
                }
                state.SphereMesh->DrawSubset(0);
            });
        } else {
            const std::array<WallVertex, 4> wall = WallVertices(width, height);
            CarryOnAfterFailure(
                [&] { FrameDevice().SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP); });
            CarryOnAfterFailure(
                [&] { FrameDevice().SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP); });
            CarryOnAfterFailure([&] {
                FrameDevice().DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, wall.data(),
                                              sizeof(WallVertex));
            });
        }
    }

    // 16-17. End the scene (only one this frame began) and present into the picture box.
    if (sceneBegun) CarryOnAfterFailure([&] { FrameDevice().EndScene(); });
    CarryOnAfterFailure([&] {
        const std::shared_ptr<SwapChain> chain = DocumentAt(state.PreviewDocIndex).SwapChain;
        if (!chain) throw PlatformError(kErrObjectNotSet, "The preview has no swap chain");
        chain->Present(nullptr, nullptr, nullptr, nullptr);
    });
}

}  // namespace tintora
