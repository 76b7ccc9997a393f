// LoadMeshFromX: the shipped sphere and small hand-written files whose numbers are known.
#include "device/mesh_x.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/error.h"
#include "device/device.h"
#include "support/test_device.h"
#include "support/test_files.h"

namespace tintora::testing {
namespace {

std::vector<MeshVertex> VerticesOf(const Mesh& mesh) {
    std::vector<MeshVertex> out(mesh.GetNumVertices());
    std::memcpy(out.data(), mesh.vertexData().data(), out.size() * sizeof(MeshVertex));
    return out;
}

class MeshFileTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const std::string& text) {
        WriteBytes(dir_.File(name), FileBytes(text.begin(), text.end()));
        return dir_.File(name);
    }
    std::shared_ptr<Mesh> Load(const std::string& path) {
        return LoadMeshFromX(path, D3DXMESH_MANAGED, device_);
    }

    ScratchDir dir_;
    std::shared_ptr<Device> device_ = MakeTestDevice(Direct3DCreate8());
};

TEST_F(MeshFileTest, ShippedSphereIsARoundTexturedSphereFacingTheCamera) {
    const auto mesh = Load(TINTORA_DATA_DIR "/sphere.x");
    EXPECT_EQ(mesh->GetFVF(), 0x112u);
    EXPECT_EQ(mesh->stride(), 32u);
    // 32 segments x 16 rings: one triangle per segment in each pole row, two in the 14 others;
    // the 17 x 33 grid less the two pole vertices no triangle uses.
    EXPECT_EQ(mesh->GetNumFaces(), 32u * 2 + 32u * 14 * 2);
    EXPECT_EQ(mesh->GetNumVertices(), 17u * 33 - 2);
    ASSERT_EQ(mesh->attributes().size(), 1u);
    EXPECT_EQ(mesh->attributes()[0].faceCount, mesh->GetNumFaces());

    constexpr double kRadius = 4.0;  // as scripts/make_sphere.py writes it
    const auto vertices = VerticesOf(*mesh);
    float uMin = 1, uMax = 0, vMin = 1, vMax = 0;
    bool middleFacesCamera = false;
    for (const MeshVertex& p : vertices) {
        ASSERT_NEAR(std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z), kRadius,
                    1e-4);
        // Smooth sphere normals: unit length, pointing outwards along the position.
        EXPECT_NEAR(p.nx * kRadius, p.x, 1e-3);
        EXPECT_NEAR(p.ny * kRadius, p.y, 1e-3);
        EXPECT_NEAR(p.nz * kRadius, p.z, 1e-3);
        uMin = std::min(uMin, p.u), uMax = std::max(uMax, p.u);
        vMin = std::min(vMin, p.v), vMax = std::max(vMax, p.v);
        // The north pole is v = 0 (top of the texture); the texture's middle faces -z.
        if (std::abs(p.y) > kRadius - 0.01) {
            EXPECT_FLOAT_EQ(p.v, p.y > 0 ? 0.0f : 1.0f);
        }
        if (p.u == 0.5f && p.v == 0.5f) middleFacesCamera = p.z < -kRadius + 0.01;
    }
    EXPECT_EQ(std::vector<float>({uMin, uMax, vMin, vMax}), std::vector<float>({0, 1, 0, 1}));
    EXPECT_TRUE(middleFacesCamera);

    // Front faces wind clockwise seen from outside (Direct3D's default culling keeps them):
    // (b - a) x (c - a) points away from the centre.
    const auto& idx = mesh->indexData();
    for (std::size_t f = 0; f < idx.size(); f += 3) {
        const MeshVertex &a = vertices[idx[f]], &b = vertices[idx[f + 1]],
                         &c = vertices[idx[f + 2]];
        const double e1[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
        const double e2[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
        const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                             e1[0] * e2[1] - e1[1] * e2[0]};
        ASSERT_GT(n[0] * (a.x + b.x + c.x) + n[1] * (a.y + b.y + c.y) + n[2] * (a.z + b.z + c.z),
                  0.0)
            << "face " << f / 3;
    }
}

TEST_F(MeshFileTest, KeepsTheFilesNumbersWindingAndTopLeftTextureOrigin) {
    // Two triangles, no normals, deliberately asymmetric numbers.
    const auto mesh = Load(Write("quad.x", R"(xof 0303txt 0032
Mesh Quad {
  4;
  -1.0;2.0;3.0;, 1.5;2.0;3.0;, 1.5;-0.5;3.0;, -1.0;-0.5;3.0;;
  2;
  3;0,1,2;, 3;0,2,3;;
  MeshTextureCoords { 4; 0.0;0.0;, 1.0;0.0;, 1.0;0.75;, 0.0;0.75;; }
}
)"));
    ASSERT_EQ(mesh->GetNumFaces(), 2u);
    ASSERT_EQ(mesh->GetNumVertices(), 4u);
    const auto vertices = VerticesOf(*mesh);
    // x y z u v of the corners of faces (0, 1, 2) and (0, 2, 3), in order.
    const std::vector<float> corners[4] = {{-1.0f, 2.0f, 3.0f, 0.0f, 0.0f},
                                           {1.5f, 2.0f, 3.0f, 1.0f, 0.0f},
                                           {1.5f, -0.5f, 3.0f, 1.0f, 0.75f},
                                           {-1.0f, -0.5f, 3.0f, 0.0f, 0.75f}};
    const int order[6] = {0, 1, 2, 0, 2, 3};
    for (int k = 0; k < 6; ++k) {
        const MeshVertex& got = vertices[mesh->indexData()[static_cast<std::size_t>(k)]];
        EXPECT_EQ(std::vector<float>({got.x, got.y, got.z, got.u, got.v}), corners[order[k]])
            << "corner " << k;
        // Generated normals face the side the clockwise winding shows: -z here.
        EXPECT_NEAR(got.nz, -1.0f, 1e-5) << "corner " << k;
    }
}

TEST_F(MeshFileTest, NormalsOfTheFileAreKept) {
    const auto mesh = Load(Write("tri.x", R"(xof 0303txt 0032
Mesh Tri {
  3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;;
  1; 3;0,1,2;;
  MeshNormals { 1; 0.6;0.0;0.8;; 1; 3;0,0,0;; }
}
)"));
    for (const MeshVertex& v : VerticesOf(*mesh)) {
        EXPECT_NEAR(v.nx, 0.6f, 1e-5);
        EXPECT_NEAR(v.ny, 0.0f, 1e-5);
        EXPECT_NEAR(v.nz, 0.8f, 1e-5);
        // No texture coordinates in the file: (0, 0).
        EXPECT_EQ(v.u, 0.0f);
        EXPECT_EQ(v.v, 0.0f);
    }
}

TEST_F(MeshFileTest, FailuresThrowWithACodeAndTheFileName) {
    const struct {
        const char* name;
        std::string path;
        HRESULT code;
    } cases[] = {
        {"missing", dir_.File("nothere.x"), kErrorFileNotFound},
        {"not a mesh", Write("garbage.x", "this is not a mesh file\n"), D3DXERR_INVALIDDATA},
        {"no mesh in it", Write("empty.x", "xof 0303txt 0032\n"), D3DXERR_INVALIDDATA},
        {"a folder", dir_.path().string(), kErrorFileNotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            Load(c.path);
            ADD_FAILURE() << "loaded";
        } catch (const PlatformError& e) {
            EXPECT_EQ(e.code(), c.code);
            EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(LoadMeshFromX(TINTORA_DATA_DIR "/sphere.x", D3DXMESH_MANAGED, nullptr),
                 PlatformError);
}

}  // namespace
}  // namespace tintora::testing
