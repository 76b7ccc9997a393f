// LoadMeshFromX on small hand-written files whose numbers are known.
#include "device/mesh_x.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/error.h"
#include "device/device.h"
#include "support/test_device.h"
#include "support/test_files.h"

namespace tintora::testing {
namespace {

class MeshFileTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const std::string& text) {
        WriteBytes(dir_.File(name), FileBytes(text.begin(), text.end()));
        return dir_.File(name);
    }
    // x y z nx ny nz u v of each corner of each face, in order.
    std::vector<std::vector<float>> Corners(const std::string& path) {
        const auto mesh = LoadMeshFromX(path, D3DXMESH_MANAGED, device_);
        std::vector<std::vector<float>> corners;
        for (std::uint32_t index : mesh->indexData()) {
            std::vector<float> v(8);
            std::memcpy(v.data(), mesh->vertexData().data() + index * sizeof(MeshVertex), 32);
            corners.push_back(v);
        }
        return corners;
    }

    ScratchDir dir_;
    std::shared_ptr<Device> device_ = MakeTestDevice(Direct3DCreate8());
};

// Positions, winding and top-left texture coordinates as the file gives them; normals generated
// on the side the clockwise winding shows (-z here), or taken from the file; texture coordinates
// (0, 0) when the file has none.
TEST_F(MeshFileTest, KeepsTheFilesNumbersWindingAndNormals) {
    const std::string quad = Write("quad.x", R"(xof 0303txt 0032
Mesh Quad {
  4;
  -1.0;2.0;3.0;, 1.5;2.0;3.0;, 1.5;-0.5;3.0;, -1.0;-0.5;3.0;;
  2;
  3;0,1,2;, 3;0,2,3;;
  MeshTextureCoords { 4; 0.0;0.0;, 1.0;0.0;, 1.0;0.75;, 0.0;0.75;; }
}
)");
    const std::vector<float> a = {-1, 2, 3, 0, 0, -1, 0, 0}, b = {1.5f, 2, 3, 0, 0, -1, 1, 0},
                             c = {1.5f, -0.5f, 3, 0, 0, -1, 1, 0.75f},
                             d = {-1, -0.5f, 3, 0, 0, -1, 0, 0.75f};
    EXPECT_EQ(Corners(quad), (std::vector<std::vector<float>>{a, b, c, a, c, d}));

    const std::string tri = Write("tri.x", R"(xof 0303txt 0032
Mesh Tri {
  3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;;
  1; 3;0,1,2;;
  MeshNormals { 1; 0.6;0.0;0.8;; 1; 3;0,0,0;; }
}
)");
    EXPECT_EQ(Corners(tri), (std::vector<std::vector<float>>{{0, 0, 0, 0.6f, 0, 0.8f, 0, 0},
                                                             {0, 1, 0, 0.6f, 0, 0.8f, 0, 0},
                                                             {1, 0, 0, 0.6f, 0, 0.8f, 0, 0}}));
}

TEST_F(MeshFileTest, FailuresThrowWithACodeAndTheFileName) {
    const struct {
        std::string path;
        HRESULT code;
    } cases[] = {
        {dir_.File("nothere.x"), kErrorFileNotFound},
        {Write("garbage.x", "this is not a mesh file\n"), D3DXERR_INVALIDDATA},
        {Write("empty.x", "xof 0303txt 0032\n"), D3DXERR_INVALIDDATA},
        {dir_.path().string(), kErrorFileNotFound},  // a folder
    };
    for (const auto& c : cases) {
        try {
            LoadMeshFromX(c.path, D3DXMESH_MANAGED, device_);
            ADD_FAILURE() << "loaded " << c.path;
        } catch (const PlatformError& e) {
            EXPECT_EQ(e.code(), c.code) << c.path;
            EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(LoadMeshFromX(TINTORA_DATA_DIR "/sphere.x", D3DXMESH_MANAGED, nullptr),
                 PlatformError);
}

}  // namespace
}  // namespace tintora::testing
