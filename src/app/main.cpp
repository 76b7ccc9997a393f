// The editor's entry point. Until the main window exists it reports what the core offers: it
// creates the software graphics device the editor draws with and prints its figures.
//
// Usage: tintora [texture file]
// Exit status: 0 when the device could be created, 1 otherwise.
#include <cstdint>
#include <cstdio>
#include <exception>

#include "platform/device.h"

#ifndef TINTORA_VERSION
#define TINTORA_VERSION "dev"
#endif

int main(int argc, char** argv) {
    std::printf("Tintora %s: texture editor\n", TINTORA_VERSION);
    try {
        auto d3d = tintora::Direct3DCreate8();
        tintora::D3DPRESENT_PARAMETERS pp;
        pp.BackBufferWidth = 64;
        pp.BackBufferHeight = 64;
        pp.BackBufferFormat = tintora::D3DFMT_X8R8G8B8;
        pp.Windowed = 1;
        pp.EnableAutoDepthStencil = -1;
        pp.AutoDepthStencilFormat = tintora::D3DFMT_D16;
        auto dev = d3d->CreateDevice(0, tintora::D3DDEVTYPE_HAL, nullptr, 0x20, pp);

        const std::uint32_t bytes = dev->GetAvailableTextureMem();
        std::printf("Software device ready: %u MB of texture memory available\n",
                    static_cast<unsigned>(bytes / (1024u * 1024u)));
        std::printf("Largest texture side: %d pixels\n", tintora::kMaxTextureSize);
    } catch (const tintora::PlatformError& e) {
        std::fprintf(stderr, "Tintora: could not create the graphics device: %s (error %ld)\n",
                     e.what(), static_cast<long>(e.code()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Tintora: could not create the graphics device: %s\n", e.what());
        return 1;
    }
    if (argc > 1) {
        std::printf("Tintora: opening files arrives with the editor window; given: %s\n", argv[1]);
    }
    return 0;
}
