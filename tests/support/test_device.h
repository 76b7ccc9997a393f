// A software device for tests: 64 x 64 X8R8G8B8 back buffer with a D16 automatic depth buffer.
#pragma once

#include <memory>

#include "device/device.h"

namespace tintora::testing {

inline D3DPRESENT_PARAMETERS TestPresentParams() {
    D3DPRESENT_PARAMETERS pp;
    pp.BackBufferWidth = pp.BackBufferHeight = 64;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.Windowed = 1;
    pp.EnableAutoDepthStencil = -1;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    return pp;
}

inline std::shared_ptr<Device> MakeTestDevice(const std::shared_ptr<Direct3D8>& d3d) {
    return d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                             D3DCREATE_SOFTWARE_VERTEXPROCESSING, TestPresentParams());
}

}  // namespace tintora::testing
