#include "device/mesh_x.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <array>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "base/error.h"

namespace tintora {

namespace {

// The .x reader hands its data over converted to a right-handed frame: z mirrored, winding
// reversed and v flipped to a bottom-left origin. ConvertToLeftHanded undoes all three, so the
// mesh holds the file's own numbers. PreTransformVertices bakes the frame transforms in.
// Missing normals are computed here, not by the importer, whose normals of such a file point
// away from the side the clockwise winding shows.
constexpr unsigned kImportFlags = aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                                  aiProcess_PreTransformVertices | aiProcess_ConvertToLeftHanded;

// Smooth normals of a mesh without any: each vertex gets the normalised sum of the face normals
// around it, each face weighted by its area. A clockwise face (seen from its front) has the normal
// (b - a) x (c - a) in the left-handed frame, pointing towards the viewer.
void ComputeNormals(std::vector<MeshVertex>& vertices, const std::vector<std::uint32_t>& indices,
                    std::size_t firstVertex, std::size_t firstIndex) {
    std::vector<std::array<double, 3>> sums(vertices.size() - firstVertex, {0.0, 0.0, 0.0});
    for (std::size_t f = firstIndex; f + 2 < indices.size(); f += 3) {
        const MeshVertex& a = vertices[indices[f]];
        const MeshVertex& b = vertices[indices[f + 1]];
        const MeshVertex& c = vertices[indices[f + 2]];
        const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
        const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
        const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                             e1[0] * e2[1] - e1[1] * e2[0]};
        for (std::size_t k = 0; k < 3; ++k) {
            auto& sum = sums[indices[f + k] - firstVertex];
            for (int i = 0; i < 3; ++i)
                sum[static_cast<std::size_t>(i)] += n[i];
        }
    }
    for (std::size_t i = 0; i < sums.size(); ++i) {
        const auto& s = sums[i];
        const double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        if (length == 0.0) continue;
        MeshVertex& v = vertices[firstVertex + i];
        v.nx = static_cast<float>(s[0] / length);
        v.ny = static_cast<float>(s[1] / length);
        v.nz = static_cast<float>(s[2] / length);
    }
}

}  // namespace

std::shared_ptr<Mesh> LoadMeshFromX(const std::string& path, std::uint32_t /*options*/,
                                    std::shared_ptr<Device> device) {
    if (!device) {
        throw PlatformError(D3DERR_INVALIDCALL, "Cannot load the mesh " + path + ": no device");
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        throw PlatformError(kErrorFileNotFound, "File not found: " + path);
    }

    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, kImportFlags);
    if (scene == nullptr || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) != 0) {
        throw PlatformError(D3DXERR_INVALIDDATA,
                            "Cannot read the mesh file " + path + ": " + importer.GetErrorString());
    }

    std::vector<MeshVertex> vertices;
    std::vector<std::uint32_t> indices;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh& mesh = *scene->mMeshes[m];
        if ((mesh.mPrimitiveTypes & aiPrimitiveType_TRIANGLE) == 0) continue;
        const auto base = static_cast<std::uint32_t>(vertices.size());
        const std::size_t firstIndex = indices.size();
        for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
            MeshVertex vertex{};
            vertex.x = mesh.mVertices[i].x;
            vertex.y = mesh.mVertices[i].y;
            vertex.z = mesh.mVertices[i].z;
            if (mesh.mNormals != nullptr) {
                vertex.nx = mesh.mNormals[i].x;
                vertex.ny = mesh.mNormals[i].y;
                vertex.nz = mesh.mNormals[i].z;
            }
            if (mesh.mTextureCoords[0] != nullptr) {
                vertex.u = mesh.mTextureCoords[0][i].x;
                vertex.v = mesh.mTextureCoords[0][i].y;
            }
            vertices.push_back(vertex);
        }
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            // Triangulation leaves points and lines of a mixed mesh as they are: skip them.
            if (face.mNumIndices != 3) continue;
            for (unsigned k = 0; k < 3; ++k)
                indices.push_back(base + face.mIndices[k]);
        }
        if (mesh.mNormals == nullptr) ComputeNormals(vertices, indices, base, firstIndex);
    }
    if (indices.empty()) {
        throw PlatformError(D3DXERR_INVALIDDATA,
                            "Cannot read the mesh file " + path + ": it holds no triangle");
    }

    std::vector<std::uint8_t> bytes(vertices.size() * sizeof(MeshVertex));
    std::memcpy(bytes.data(), vertices.data(), bytes.size());
    const auto faceCount = static_cast<std::uint32_t>(indices.size() / 3);
    std::vector<Mesh::AttributeRange> groups{{0, 0, faceCount}};
    return std::make_shared<Mesh>(std::move(device), kMeshFvf, std::move(bytes), std::move(indices),
                                  std::move(groups));
}

}  // namespace tintora
