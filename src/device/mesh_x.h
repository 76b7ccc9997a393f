// Reading a DirectX mesh file (.x, text or binary) into a Mesh of the device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/d3d8_types.h"
#include "device/device.h"

namespace tintora {

// Mesh options of the loader (accepted and ignored: every mesh lives in main memory).
constexpr std::uint32_t D3DXMESH_MANAGED = 0x220;

// The result a Windows file call gives for a file that is not there
// (HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)).
constexpr HRESULT kErrorFileNotFound = static_cast<HRESULT>(0x80070002u);

// Vertex layout of the meshes LoadMeshFromX makes: position, normal, one texture coordinate set.
constexpr std::uint32_t kMeshFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
struct MeshVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
static_assert(sizeof(MeshVertex) == 32 && kMeshFvf == 0x112);

// Reads the mesh file at path into a mesh of device with the layout above. Every mesh of the
// file (with its frame transforms applied) goes into one triangle list whose faces all belong to
// attribute group 0; materials are not read. Positions, winding (clockwise front faces) and
// texture coordinates (origin at the top left) are kept as the file gives them, in the file's
// left-handed frame. Normals come from the file, or are generated (smooth) when it has none;
// texture coordinates are (0, 0) when it has none.
//
// Throws PlatformError: kErrorFileNotFound when there is no file at path, D3DXERR_INVALIDDATA
// when it cannot be read as a mesh or holds no triangle, D3DERR_INVALIDCALL without a device.
// Each message names the file.
std::shared_ptr<Mesh> LoadMeshFromX(const std::string& path, std::uint32_t options,
                                    std::shared_ptr<Device> device);

}  // namespace tintora
