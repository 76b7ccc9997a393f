// The 3D preview's camera and its frame: the active texture on a sphere or on a flat wall, drawn
// with the shared device into the preview document's swap chain and presented into the preview
// picture box.
//
// No window code here: the preview window (preview/form5.h) keeps a PreviewCamera, turns mouse
// events into PreviewMouseDown / PreviewMouseMove calls and runs DrawPreviewFrame on its 40 ms
// timer. Everything here runs on the UI thread.
//
// Device state. The frame sets the render target (not restored afterwards), the projection, view
// and world transforms, alpha test on with reference 1, the texture of stage 0, the vertex
// format, and for the wall clamp addressing in u and v. Everything else stays as the last drawing
// left it, as on a real device: a texture window's redraw turns lighting off, culling off and
// addressing back to wrap, so a sphere drawn after a wall frame samples with clamp until a texture
// window is redrawn. Before any texture window has drawn, the device defaults hold: lighting on
// with no light and a black material, so the shape comes out black, and counter-clockwise culling,
// which drops the wall's front faces (it is seen from behind only). Depth testing stays on: the
// preview document has a depth surface.
#pragma once

#include <array>
#include <cstdint>

#include "base/d3d8_types.h"

namespace tintora {

// The camera state of the preview window, all zero when the window is loaded.
struct PreviewCamera {
    std::int32_t OldX = 0;  // mouse x (pixels) at the last mouse-down or left-drag step
    std::int32_t OldY = 0;  // mouse y (pixels) at the last mouse-down or drag step
    float Angle = 0.0f;     // yaw of the shape, radians
    float AngleY = 0.0f;    // pitch of the shape, radians
    float Far = 0.0f;       // zoom: a positive value brings the camera closer
};

// Mouse button states, as a bit mask.
constexpr int kPreviewLeftButton = 1;
constexpr int kPreviewRightButton = 2;
constexpr int kPreviewMiddleButton = 4;

// Pixels of left drag per radian of rotation.
constexpr double kPixelsPerRadian = 30.0;

// A button went down at (x, y) pixels: remembers the point, rounded to the nearest integer (ties
// to even).
void PreviewMouseDown(PreviewCamera& camera, float x, float y);

// The mouse moved to (x, y) with buttons held (a kPreview*Button mask).
//  - left alone: the shape turns by the distance from the remembered point, one radian per 30
//    pixels; dragging right decreases Angle, dragging down decreases AngleY. The point is
//    remembered.
//  - right alone: Far grows by the vertical distance (dragging down brings the camera closer);
//    only the remembered y changes.
//  - anything else (no button, middle, several together): nothing changes.
void PreviewMouseMove(PreviewCamera& camera, int buttons, float x, float y);

// The mouse wheel turned by notches (positive: away from the user) over the preview of a width x
// height texture, M its larger side: each notch forward brings the camera M / 10 closer (Far
// grows), never closer than M / 10 to the target by the wheel; each notch back moves it M / 10
// away. Nothing changes without a texture (M = 0).
void PreviewWheel(PreviewCamera& camera, double notches, std::int32_t width, std::int32_t height);

// What the frame reads of the preview window besides the camera.
struct PreviewFrameView {
    bool sphere = true;          // "Sphere" selected; otherwise the wall
    bool autoRotate = false;     // "AutoRotate" checked
    float pictureWidth = 0.0f;   // the picture box, pixels
    float pictureHeight = 0.0f;  // the picture box, pixels
};

// The wall's vertex: position, diffuse and specular colour (ARGB), one texture coordinate set.
struct WallVertex {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    std::uint32_t diffuse = 0;
    std::uint32_t specular = 0;
    float u = 0.0f;
    float v = 0.0f;
};
static_assert(sizeof(WallVertex) == 28);
constexpr std::uint32_t kWallVertexFvf =
    D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
static_assert(kWallVertexFvf == 0x1C2);

// The wall of a width x height texture as a two-triangle strip, 2 x width by 2 x height units
// centred on the origin in the plane z = 0, the texture's top-left corner at (-width, height).
std::array<WallVertex, 4> WallVertices(std::int32_t width, std::int32_t height);

// The camera's z position for a texture of width x height: with M the larger side, Far - M for
// the wall and (Far - M) / 40 for the sphere, computed in double precision. With Far = 0 the
// camera stands M in front of the wall (z = -M), where a square wall exactly fills the 90 degree
// vertical field of view.
float PreviewCameraDistance(bool sphere, float far, std::int32_t width, std::int32_t height);

// The vertical field of view: 3.14159 / 2, computed in double precision, as single precision.
float PreviewFieldOfView();

// Radians added to Angle on every frame while auto-rotation is on (0.5 radian a second at 25
// frames a second).
constexpr double kAutoRotationStep = 0.02;

// Draws one frame of the active texture into the preview document (Module1().PreviewDocIndex)
// and presents it. Adds the auto-rotation to camera.Angle.
//
// Steps: the preview back buffer as render target with the preview depth surface; clear colour and
// depth to ToDeviceColor(BackgroundColor) and 1; begin the scene; projection (90 degree vertical
// field of view, aspect = picture width / height, near 1, far 10000); look-at from (0, 0, d)
// towards the origin with y up; auto-rotation; world = yaw Angle, pitch AngleY; alpha test on,
// reference 1; the active entry's main texture; vertex format 0x1C2; the shape (the sphere mesh's
// attribute group 0, or the wall with clamp addressing); end the scene; present.
//
// Failures never leave the frame: a step that fails (no device, no preview document, a slot
// outside a table, a device call that throws) is skipped and the frame goes on with the next one.
// Beyond that:
//  - no active texture (no texture window active, or its entry holds no texture): the background
//    only;
//  - d = 0 (Far equal to the larger side: the eye would be at the target): the background only;
//  - no preview back buffer to draw into (no device yet, no preview document): nothing is drawn
//    or presented, so no other window's target is touched; auto-rotation still advances;
//  - a picture of height 0 gives no projection: nothing of the shape shows.
void DrawPreviewFrame(PreviewCamera& camera, const PreviewFrameView& view);

}  // namespace tintora
