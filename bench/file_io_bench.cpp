// Prints how fast image files are read and written, and what DXT3 compression costs and gives:
//  - load and save of a photograph-like image as PNG, BMP, DDS A8R8G8B8 and DDS DXT3 (the load
//    as the editor does it: ReadWorkingTexture, the file read into an A8R8G8B8 texture);
//  - the load step by step for these files and a JPEG (and ImageMagick's PNG and BMP of the same
//    picture, when it is installed): the file's bytes read, decoded, made a texture, made the
//    working texture; for PNG and JPEG also Qt's reader on the same bytes, the reference whose
//    pixels our own readers give;
//  - file-to-file conversions timed against ImageMagick 6 doing the same conversion (when
//    convert-im6.q16 is installed), with the ratio;
//  - DXT3 compression in megapixels per second on all threads and on one (our BC2 encoder at its
//    fast level, as the device runs it), libsquish's cluster fit on one thread as the outside
//    reference, and the RGB PSNR of each result (ImageMagick's too).
//
//   bench_file_io [side]      (default 4096: a side x side image)
//
// Figures only: nothing is asserted. Times are medians of three runs, one run for compression.
#include <squish.h>
#include <stdlib.h>
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "device/d3dx_file.h"
#include "device/device.h"
#include "files/texture_load.h"
#include "imagefiles/file_io.h"
#include "imagefiles/image_file.h"
#include "imagefiles/qt_image_codec.h"
#include "support/synthetic_photo.h"

using namespace tintora;

namespace {

// The median milliseconds of runs calls of work, none of them a warm-up.
double Milliseconds(const std::function<void()>& work, int runs) {
    return bench::MedianMilliseconds(work, runs);
}

bool HaveImageMagick() {
    return std::system("command -v convert-im6.q16 >/dev/null 2>&1") == 0;
}

// Milliseconds ImageMagick takes for one command (process start included), or -1 on failure.
double ImageMagickMilliseconds(const std::string& arguments, int runs) {
    bool ok = true;
    const double ms = Milliseconds(
        [&] { ok = ok && std::system(("convert-im6.q16 " + arguments).c_str()) == 0; }, runs);
    return ok ? ms : -1;
}

std::vector<std::uint32_t> Argb(const Surface& surface) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(surface.width()) * surface.height());
    DecodeToArgb(surface.storageFormat(), surface.bits(), surface.pitch(), surface.width(),
                 surface.height(), out.data());
    return out;
}

// The editor's load: the file read into an A8R8G8B8 working texture; its level.
std::shared_ptr<Surface> Load(Device& device, const std::string& path) {
    return ReadWorkingTexture(device, path, {})->GetSurfaceLevel(0);
}

// The load of path step by step, milliseconds (medians of three) on one line.
void PrintReadSteps(Device& device, const char* name, const std::string& path) {
    const ByteBuffer bytes = ReadFileBytes(path);
    const double read = Milliseconds([&] { ReadFileBytes(path); }, 3);
    const double decode = Milliseconds([&] { DecodeImageFile(bytes, path, nullptr); }, 3);
    D3DXIMAGE_FILEFORMAT type = D3DXIFF_BMP;
    DecodeImageFile(bytes, path, &type);
    double qt = -1;
    if (type == D3DXIFF_PNG) qt = Milliseconds([&] { DecodePngWithQt(bytes, path); }, 3);
    if (type == D3DXIFF_JPG) qt = Milliseconds([&] { DecodeJpegWithQt(bytes, path); }, 3);
    const double texture = Milliseconds(
        [&] {
            D3DXCreateTextureFromFileEx(device, path, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_POINT,
                                        D3DX_FILTER_NONE, kLoadColorKey, nullptr, nullptr);
        },
        3);
    const double working = Milliseconds([&] { Load(device, path); }, 3);
    char qtText[16] = "-";
    if (qt >= 0) std::snprintf(qtText, sizeof qtText, "%.0f", qt);
    std::printf("  %-24s %6.0f %8.0f %6s %9.0f %9.0f   %6.1f\n", name, read, decode, qtText,
                texture, working, static_cast<double>(bytes.size()) / 1048576.0);
}

// Saves an A8R8G8B8 surface in a file type and DDS format, as the editor's export does.
void Save(Device& device, const Surface& argb, const std::string& path, D3DXIMAGE_FILEFORMAT type,
          D3DFORMAT format) {
    if (format == D3DFMT_A8R8G8B8) {
        D3DXSaveSurfaceToFile(path, type, argb, nullptr, nullptr);
        return;
    }
    auto converted = device.CreateImageSurface(argb.width(), argb.height(), format);
    D3DXLoadSurfaceFromSurface(*converted, nullptr, nullptr, argb, nullptr, nullptr,
                               D3DX_DEFAULT_FILTER, 0);
    D3DXSaveSurfaceToFile(path, type, *converted, nullptr, nullptr);
}

void PrintRatio(const char* what, double ours, double theirs) {
    if (theirs < 0) {
        std::printf("  %-34s %9.0f ms   %9s      %s\n", what, ours, "-", "-");
    } else {
        std::printf("  %-34s %9.0f ms   %9.0f ms   %5.2f\n", what, ours, theirs, theirs / ours);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::atoi(argv[1]) : 4096;
    if (side < 4 || side > kMaxTextureSize) {
        std::fprintf(stderr, "side must be 4..%d\n", kMaxTextureSize);
        return 2;
    }
    const double megapixels = static_cast<double>(side) * side / 1e6;
    std::string dirTemplate = (std::filesystem::temp_directory_path() / "tintora-bench-XXXXXX");
    const std::filesystem::path dir = ::mkdtemp(dirTemplate.data());
    const auto file = [&dir](const char* name) { return (dir / name).string(); };

    auto device = bench::MakeDevice(*Direct3DCreate8());

    std::printf("Image files: %d x %d synthetic photograph (%.1f megapixels), %d threads\n\n", side,
                side, megapixels, tbb::info::default_concurrency());
    const std::vector<std::uint32_t> photo = testing::SyntheticPhoto(side, side);
    auto source = device->CreateImageSurface(side, side, D3DFMT_A8R8G8B8);
    std::memcpy(source->bits(), photo.data(), photo.size() * 4);

    struct Kind {
        const char* name;
        const char* file;
        D3DXIMAGE_FILEFORMAT type;
        D3DFORMAT format;
        int runs;
    };
    const Kind kinds[] = {
        {"PNG", "photo.png", D3DXIFF_PNG, D3DFMT_A8R8G8B8, 3},
        {"BMP 32-bit", "photo.bmp", D3DXIFF_BMP, D3DFMT_A8R8G8B8, 3},
        {"DDS A8R8G8B8", "photo_argb.dds", D3DXIFF_DDS, D3DFMT_A8R8G8B8, 3},
        {"DDS DXT3 (compression included)", "photo_dxt3.dds", D3DXIFF_DDS, D3DFMT_DXT3, 1},
    };
    std::printf("Tintora                                  save         load      file size\n");
    for (const Kind& k : kinds) {
        const double save =
            Milliseconds([&] { Save(*device, *source, file(k.file), k.type, k.format); }, k.runs);
        const double load = Milliseconds([&] { Load(*device, file(k.file)); }, 3);
        std::printf("  %-34s %7.0f ms   %7.0f ms   %6.1f MiB\n", k.name, save, load,
                    static_cast<double>(std::filesystem::file_size(file(k.file))) / 1048576.0);
    }

    Save(*device, *source, file("photo.jpg"), D3DXIFF_JPG, D3DFMT_A8R8G8B8);
    std::printf(
        "\nReading step by step (ms)     file   decode     Qt   texture   working    MiB\n");
    struct Read {
        const char* name;
        std::string path;
    };
    std::vector<Read> reads = {{"PNG (Qt's writer)", file("photo.png")},
                               {"JPEG (Qt's writer, q90)", file("photo.jpg")},
                               {"BMP 32-bit", file("photo.bmp")},
                               {"DDS A8R8G8B8", file("photo_argb.dds")},
                               {"DDS DXT3", file("photo_dxt3.dds")}};
    if (HaveImageMagick()) {
        const std::string bmp = file("photo.bmp");
        if (std::system(("convert-im6.q16 " + bmp + " PNG32:" + file("im.png") + " && " +
                         "convert-im6.q16 " + bmp + " -alpha off PNG24:" + file("im_rgb.png") +
                         " && convert-im6.q16 " + bmp + " -alpha off BMP3:" + file("im24.bmp"))
                            .c_str()) == 0) {
            reads.push_back({"PNG RGBA (ImageMagick)", file("im.png")});
            reads.push_back({"PNG RGB (ImageMagick)", file("im_rgb.png")});
            reads.push_back({"BMP 24-bit (ImageMagick)", file("im24.bmp")});
        }
    }
    for (const Read& r : reads)
        PrintReadSteps(*device, r.name, r.path);

    std::printf("\nDXT3 compression                              Mpixel/s      RGB PSNR\n");
    auto dxt3 = device->CreateImageSurface(side, side, D3DFMT_DXT3);
    const auto compress = [&] {
        D3DXLoadSurfaceFromSurface(*dxt3, nullptr, nullptr, *source, nullptr, nullptr,
                                   D3DX_DEFAULT_FILTER, 0);
    };
    const double allThreads = Milliseconds(compress, 1);
    const double psnr = testing::RgbPsnr(photo, Argb(*dxt3));
    std::printf("  %-40s %8.2f      %6.2f dB\n", "Tintora, all threads",
                megapixels / (allThreads / 1000.0), psnr);
    double oneThread;
    {
        tbb::global_control single(tbb::global_control::max_allowed_parallelism, 1);
        oneThread = Milliseconds(compress, 1);
    }
    std::printf("  %-40s %8.2f      %6.2f dB\n", "Tintora, one thread",
                megapixels / (oneThread / 1000.0), psnr);
    {
        std::vector<squish::u8> rgba(photo.size() * 4);
        for (std::size_t i = 0; i < photo.size(); ++i) {
            rgba[4 * i + 0] = static_cast<squish::u8>(photo[i] >> 16);
            rgba[4 * i + 1] = static_cast<squish::u8>(photo[i] >> 8);
            rgba[4 * i + 2] = static_cast<squish::u8>(photo[i]);
            rgba[4 * i + 3] = static_cast<squish::u8>(photo[i] >> 24);
        }
        std::vector<squish::u8> blocks(
            static_cast<std::size_t>(squish::GetStorageRequirements(side, side, squish::kDxt3)));
        const double squishAlone = Milliseconds(
            [&] {
                squish::CompressImage(rgba.data(), side, side, blocks.data(),
                                      squish::kDxt3 | squish::kColourClusterFit);
            },
            1);
        squish::DecompressImage(rgba.data(), side, side, blocks.data(), squish::kDxt3);
        std::vector<std::uint32_t> decoded(photo.size());
        for (std::size_t i = 0; i < photo.size(); ++i) {
            const squish::u8* p = &rgba[4 * i];
            decoded[i] = std::uint32_t{p[3]} << 24 | p[0] << 16 | p[1] << 8 | p[2];
        }
        std::printf("  %-40s %8.2f      %6.2f dB\n", "libsquish cluster fit, one thread",
                    megapixels / (squishAlone / 1000.0), testing::RgbPsnr(photo, decoded));
    }

    if (!HaveImageMagick()) {
        std::printf("\nImageMagick (convert-im6.q16) is not installed: no comparison.\n");
    } else {
        std::printf(
            "\nConversions, file to file              Tintora    ImageMagick   ratio "
            "(ImageMagick / Tintora)\n");
        struct Conversion {
            const char* name;
            const char* from;
            const char* to;
            D3DXIMAGE_FILEFORMAT type;
            D3DFORMAT format;
            std::string magick;
            int runs;
        };
        const std::string bmp = file("photo.bmp"), png = file("photo.png");
        const std::string argbDds = file("photo_argb.dds"), dxtDds = file("photo_dxt3.dds");
        const Conversion conversions[] = {
            {"PNG -> BMP 32-bit", "photo.png", "c.bmp", D3DXIFF_BMP, D3DFMT_A8R8G8B8,
             png + " BMP:" + file("im.bmp"), 3},
            {"BMP -> PNG", "photo.bmp", "c.png", D3DXIFF_PNG, D3DFMT_A8R8G8B8,
             bmp + " PNG32:" + file("im.png"), 3},
            {"BMP -> DDS A8R8G8B8", "photo.bmp", "c.dds", D3DXIFF_DDS, D3DFMT_A8R8G8B8,
             bmp + " -define dds:compression=none -define dds:mipmaps=0 DDS:" + file("im.dds"), 3},
            {"DDS A8R8G8B8 -> BMP", "photo_argb.dds", "c.bmp", D3DXIFF_BMP, D3DFMT_A8R8G8B8,
             argbDds + " BMP:" + file("im.bmp"), 3},
            {"DDS DXT3 -> BMP", "photo_dxt3.dds", "c.bmp", D3DXIFF_BMP, D3DFMT_A8R8G8B8,
             dxtDds + " BMP:" + file("im.bmp"), 3},
            {"BMP -> DDS DXT3 (IM: DXT5, default)", "photo.bmp", "c.dds", D3DXIFF_DDS, D3DFMT_DXT3,
             bmp + " -define dds:compression=dxt3 -define dds:mipmaps=0 DDS:" + file("im_fast.dds"),
             1},
            {"BMP -> DDS DXT3 (IM: cluster fit)", "photo.bmp", "c.dds", D3DXIFF_DDS, D3DFMT_DXT3,
             bmp +
                 " -define dds:compression=dxt3 -define dds:cluster-fit=true "
                 "-define dds:mipmaps=0 DDS:" +
                 file("im_cluster.dds"),
             1},
        };
        for (const Conversion& c : conversions) {
            const double ours = Milliseconds(
                [&] {
                    auto loaded = Load(*device, file(c.from));
                    Save(*device, *loaded, file(c.to), c.type, c.format);
                },
                c.runs);
            PrintRatio(c.name, ours, ImageMagickMilliseconds(c.magick, c.runs));
        }
        for (const char* name : {"im_fast.dds", "im_cluster.dds"}) {
            std::error_code missing;
            if (!std::filesystem::exists(file(name), missing)) continue;
            auto theirs = Load(*device, file(name));
            std::printf("  ImageMagick %-22s RGB PSNR %6.2f dB\n", name,
                        testing::RgbPsnr(photo, Argb(*theirs)));
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
