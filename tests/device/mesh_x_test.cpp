// LoadMeshFromX: the shipped sphere and small hand-written files whose numbers are known.
#include "device/mesh_x.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device/device.h"
#include "base/error.h"

namespace tintora {
namespace {

std::shared_ptr<Device> MakeDevice() {
    auto d3d = Direct3DCreate8();
    D3DPRESENT_PARAMETERS pp;
    pp.BackBufferWidth = 16;
    pp.BackBufferHeight = 16;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.Windowed = 1;
    return d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                             D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp);
}

std::vector<MeshVertex> VerticesOf(const Mesh& mesh) {
    std::vector<MeshVertex> out(mesh.GetNumVertices());
    std::memcpy(out.data(), mesh.vertexData().data(), out.size() * sizeof(MeshVertex));
    return out;
}

struct Vec {
    double x, y, z;
};
Vec Sub(const MeshVertex& a, const MeshVertex& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec Cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// A file of its own in the test's temporary folder.
class MeshFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() /
            ("tintora_mesh_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& text) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    std::filesystem::path dir_;
    std::shared_ptr<Device> device_ = MakeDevice();
};

TEST_F(MeshFileTest, ShippedSphereIsARoundTexturedSphereFacingTheCamera) {
    const auto mesh =
        LoadMeshFromX(std::string(TINTORA_DATA_DIR) + "/sphere.x", D3DXMESH_MANAGED, device_);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->GetFVF(), 0x112u);
    EXPECT_EQ(mesh->stride(), 32u);
    // 32 segments x 16 rings: one triangle per segment in each pole row, two in the 14 others.
    EXPECT_EQ(mesh->GetNumFaces(), 32u * 2 + 32u * 14 * 2);
    // The 17 x 33 grid less the two pole vertices no triangle uses.
    EXPECT_EQ(mesh->GetNumVertices(), 17u * 33 - 2);
    ASSERT_EQ(mesh->attributes().size(), 1u);
    EXPECT_EQ(mesh->attributes()[0].attributeId, 0u);
    EXPECT_EQ(mesh->attributes()[0].faceStart, 0u);
    EXPECT_EQ(mesh->attributes()[0].faceCount, mesh->GetNumFaces());

    // The radius scripts/make_sphere.py writes.
    constexpr double kRadius = 4.0;
    const auto vertices = VerticesOf(*mesh);
    float uMin = 1.0f, uMax = 0.0f, vMin = 1.0f, vMax = 0.0f;
    bool middleFacesCamera = false;
    for (const MeshVertex& p : vertices) {
        const double r = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
        ASSERT_NEAR(r, kRadius, 1e-4);
        // Smooth sphere normals: unit length, pointing outwards along the position.
        EXPECT_NEAR(p.nx * kRadius, p.x, 1e-3);
        EXPECT_NEAR(p.ny * kRadius, p.y, 1e-3);
        EXPECT_NEAR(p.nz * kRadius, p.z, 1e-3);
        uMin = std::min(uMin, p.u);
        uMax = std::max(uMax, p.u);
        vMin = std::min(vMin, p.v);
        vMax = std::max(vMax, p.v);
        // The north pole is v = 0 (top of the texture); the texture's middle faces -z.
        if (p.y > kRadius - 0.01) {
            EXPECT_FLOAT_EQ(p.v, 0.0f);
        }
        if (p.y < -kRadius + 0.01) {
            EXPECT_FLOAT_EQ(p.v, 1.0f);
        }
        if (p.u == 0.5f && p.v == 0.5f) middleFacesCamera = p.z < -kRadius + 0.01;
    }
    EXPECT_FLOAT_EQ(uMin, 0.0f);
    EXPECT_FLOAT_EQ(uMax, 1.0f);
    EXPECT_FLOAT_EQ(vMin, 0.0f);
    EXPECT_FLOAT_EQ(vMax, 1.0f);
    EXPECT_TRUE(middleFacesCamera);

    // Front faces wind clockwise seen from outside (Direct3D's default culling keeps them).
    const auto& idx = mesh->indexData();
    for (std::size_t f = 0; f < idx.size(); f += 3) {
        const MeshVertex& a = vertices[idx[f]];
        const MeshVertex& b = vertices[idx[f + 1]];
        const MeshVertex& c = vertices[idx[f + 2]];
        const Vec centre{(a.x + b.x + c.x) / 3.0, (a.y + b.y + c.y) / 3.0, (a.z + b.z + c.z) / 3.0};
        ASSERT_GT(Dot(Cross(Sub(b, a), Sub(c, a)), centre), 0.0) << "face " << f / 3;
    }
}

TEST_F(MeshFileTest, KeepsTheFilesNumbersWindingAndTopLeftTextureOrigin) {
    // Two triangles, no normals, deliberately asymmetric numbers.
    const std::string path = Write("quad.x", R"(xof 0303txt 0032
Mesh Quad {
  4;
  -1.0;2.0;3.0;,
  1.5;2.0;3.0;,
  1.5;-0.5;3.0;,
  -1.0;-0.5;3.0;;
  2;
  3;0,1,2;,
  3;0,2,3;;
  MeshTextureCoords {
    4;
    0.0;0.0;,
    1.0;0.0;,
    1.0;0.75;,
    0.0;0.75;;
  }
}
)");
    const auto mesh = LoadMeshFromX(path, D3DXMESH_MANAGED, device_);
    ASSERT_EQ(mesh->GetNumFaces(), 2u);
    ASSERT_EQ(mesh->GetNumVertices(), 4u);
    const auto vertices = VerticesOf(*mesh);
    const auto& idx = mesh->indexData();

    const float expected[4][5] = {{-1.0f, 2.0f, 3.0f, 0.0f, 0.0f},
                                  {1.5f, 2.0f, 3.0f, 1.0f, 0.0f},
                                  {1.5f, -0.5f, 3.0f, 1.0f, 0.75f},
                                  {-1.0f, -0.5f, 3.0f, 0.0f, 0.75f}};
    const int faces[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int f = 0; f < 2; ++f) {
        for (int k = 0; k < 3; ++k) {
            const MeshVertex& got = vertices[idx[static_cast<std::size_t>(3 * f + k)]];
            const float* want = expected[faces[f][k]];
            EXPECT_FLOAT_EQ(got.x, want[0]) << "face " << f << " corner " << k;
            EXPECT_FLOAT_EQ(got.y, want[1]) << "face " << f << " corner " << k;
            EXPECT_FLOAT_EQ(got.z, want[2]) << "face " << f << " corner " << k;
            EXPECT_FLOAT_EQ(got.u, want[3]) << "face " << f << " corner " << k;
            EXPECT_FLOAT_EQ(got.v, want[4]) << "face " << f << " corner " << k;
            // Generated normals face the side the clockwise winding shows: -z here.
            EXPECT_NEAR(got.nx, 0.0f, 1e-5);
            EXPECT_NEAR(got.ny, 0.0f, 1e-5);
            EXPECT_NEAR(got.nz, -1.0f, 1e-5);
        }
    }
}

TEST_F(MeshFileTest, NormalsOfTheFileAreKept) {
    const std::string path = Write("tri.x", R"(xof 0303txt 0032
Mesh Tri {
  3;
  0.0;0.0;0.0;,
  0.0;1.0;0.0;,
  1.0;0.0;0.0;;
  1;
  3;0,1,2;;
  MeshNormals {
    1;
    0.6;0.0;0.8;;
    1;
    3;0,0,0;;
  }
}
)");
    const auto mesh = LoadMeshFromX(path, D3DXMESH_MANAGED, device_);
    for (const MeshVertex& v : VerticesOf(*mesh)) {
        EXPECT_NEAR(v.nx, 0.6f, 1e-5);
        EXPECT_NEAR(v.ny, 0.0f, 1e-5);
        EXPECT_NEAR(v.nz, 0.8f, 1e-5);
        // No texture coordinates in the file: (0, 0).
        EXPECT_EQ(v.u, 0.0f);
        EXPECT_EQ(v.v, 0.0f);
    }
}

HRESULT CodeOf(const std::function<void()>& call, std::string* message = nullptr) {
    try {
        call();
    } catch (const PlatformError& e) {
        if (message) *message = e.what();
        return e.code();
    }
    return 0;
}

TEST_F(MeshFileTest, FailuresThrowWithACodeAndTheFileName) {
    std::string message;
    const std::string missing = (dir_ / "nothere.x").string();
    EXPECT_EQ(CodeOf([&] { LoadMeshFromX(missing, D3DXMESH_MANAGED, device_); }, &message),
              kErrorFileNotFound);
    EXPECT_NE(message.find(missing), std::string::npos);

    const std::string garbage = Write("garbage.x", "this is not a mesh file\n");
    EXPECT_EQ(CodeOf([&] { LoadMeshFromX(garbage, D3DXMESH_MANAGED, device_); }, &message),
              D3DXERR_INVALIDDATA);
    EXPECT_NE(message.find(garbage), std::string::npos);

    const std::string empty = Write("empty.x", "xof 0303txt 0032\n");
    EXPECT_EQ(CodeOf([&] { LoadMeshFromX(empty, D3DXMESH_MANAGED, device_); }),
              D3DXERR_INVALIDDATA);

    // A folder is not a file.
    EXPECT_EQ(CodeOf([&] { LoadMeshFromX(dir_.string(), D3DXMESH_MANAGED, device_); }),
              kErrorFileNotFound);

    EXPECT_EQ(CodeOf([&] {
                  LoadMeshFromX(std::string(TINTORA_DATA_DIR) + "/sphere.x", D3DXMESH_MANAGED,
                                nullptr);
              }),
              D3DERR_INVALIDCALL);
}

}  // namespace
}  // namespace tintora
