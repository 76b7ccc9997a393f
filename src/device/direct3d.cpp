#include <unistd.h>

#include <algorithm>

#include "device/device.h"

namespace tintora {

namespace {

std::int64_t DefaultTextureMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    std::int64_t physical = pages > 0 && pageSize > 0 ? static_cast<std::int64_t>(pages) * pageSize
                                                      : std::int64_t{4} << 30;
    return std::min<std::int64_t>(physical / 4, std::int64_t{4095} << 20);
}

}  // namespace

Direct3D8::Direct3D8(AdapterInfo info) : info_(std::move(info)) {
    if (info_.textureMemory <= 0) info_.textureMemory = DefaultTextureMemory();
}

std::shared_ptr<Direct3D8> Direct3DCreate8(AdapterInfo info) {
    return std::make_shared<Direct3D8>(std::move(info));
}

D3DDISPLAYMODE Direct3D8::GetAdapterDisplayMode(std::uint32_t adapter) const {
    Require(adapter == D3DADAPTER_DEFAULT, D3DERR_INVALIDCALL, "There is one adapter only");
    D3DDISPLAYMODE mode;
    mode.Width = static_cast<std::uint32_t>(info_.displayWidth);
    mode.Height = static_cast<std::uint32_t>(info_.displayHeight);
    mode.RefreshRate = 60;
    mode.Format = info_.displayFormat ? info_.displayFormat() : D3DFMT_X8R8G8B8;
    return mode;
}

HRESULT Direct3D8::CheckDepthStencilMatch(std::uint32_t adapter, D3DDEVTYPE /*type*/,
                                          D3DFORMAT /*adapterFormat*/,
                                          D3DFORMAT /*renderTargetFormat*/,
                                          D3DFORMAT depthFormat) const {
    if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
    const auto& formats = info_.depthFormats;
    return std::find(formats.begin(), formats.end(), depthFormat) != formats.end()
               ? D3D_OK
               : D3DERR_NOTAVAILABLE;
}

std::shared_ptr<Device> Direct3D8::CreateDevice(std::uint32_t adapter, D3DDEVTYPE /*type*/,
                                                PresentTarget* /*focusWindow*/,
                                                std::uint32_t /*behaviour*/,
                                                const D3DPRESENT_PARAMETERS& params) const {
    Require(adapter == D3DADAPTER_DEFAULT, D3DERR_INVALIDCALL, "There is one adapter only");
    Require(params.Windowed != 0, D3DERR_INVALIDCALL, "Only windowed devices are supported");
    if (params.EnableAutoDepthStencil != 0) {
        Require(CheckDepthStencilMatch(adapter, D3DDEVTYPE_HAL, params.BackBufferFormat,
                                       params.BackBufferFormat,
                                       params.AutoDepthStencilFormat) == D3D_OK,
                D3DERR_NOTAVAILABLE,
                std::string("Depth format ") + FormatName(params.AutoDepthStencilFormat) +
                    " is not available");
    }
    return std::make_shared<Device>(params, info_.textureMemory);
}

}  // namespace tintora
