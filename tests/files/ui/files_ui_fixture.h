// The editor started with scripted services, plus what the File menu's tests need: answering the
// modal dialogs from the event loop, a scratch directory, and image files written on the spot.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/editor_fixture.h"
#include "document/module1.h"
#include "files/ui/file_commands.h"
#include "device/d3dx_file.h"
#include "support/image_test_support.h"

namespace tintora::testing {

class FilesUiTest : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        Start();
        ASSERT_TRUE(Module1().Device);
        boxes.shown.clear();
    }

    void TearDown() override {
        watchers_.clear();
        EditorTest::TearDown();
    }

    // Runs action on the next modal dialog of type Dialog that is shown, from the event loop
    // that its modal display runs. Counts the dialogs it answered in answered.
    template <typename Dialog>
    void WhenShown(std::function<void(Dialog&)> action) {
        auto timer = std::make_unique<QTimer>();
        QTimer* watcher = timer.get();
        watcher->setInterval(2);
        QObject::connect(watcher, &QTimer::timeout, [this, watcher, action] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible()) return;
            watcher->stop();
            ++answered;
            action(*dialog);
        });
        watcher->start();
        watchers_.push_back(std::move(timer));
    }

    FileCommands& files() { return editor->Files(); }

    // Writes width x height A8R8G8B8 pixels to a file in the scratch directory.
    std::string WriteImage(const std::string& name, D3DXIMAGE_FILEFORMAT type, int width,
                           int height, const std::vector<std::uint32_t>& pixels,
                           D3DFORMAT format = D3DFMT_A8R8G8B8) {
        Device& device = *Module1().Device;
        const std::string path = scratch.File(name);
        auto source = ArgbSurface(device, width, height, pixels);
        if (format == D3DFMT_A8R8G8B8) {
            D3DXSaveSurfaceToFile(path, type, *source, nullptr, nullptr);
        } else {
            auto converted = device.CreateImageSurface(width, height, format);
            D3DXLoadSurfaceFromSurface(*converted, nullptr, nullptr, *source, nullptr, nullptr,
                                       D3DX_DEFAULT_FILTER, 0);
            D3DXSaveSurfaceToFile(path, type, *converted, nullptr, nullptr);
        }
        return path;
    }

    // A pattern of w x h pixels with varied alpha.
    static std::vector<std::uint32_t> Pattern(int width, int height) {
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) ^ 0x3C5A96E1u;
        return pixels;
    }

    // Reads a file back in its own format.
    std::shared_ptr<Texture> Reopen(const std::string& path) {
        return LoadTexture(*Module1().Device, path);
    }

    // The active texture entry.
    TextureEntry& ActiveEntry() {
        return TextureAt(DocumentAt(Module1().ActiveWindowIndex).TextureIndex);
    }

    std::string StatusLine() const { return editor->Label1->text().toStdString(); }

    int answered = 0;
    ScratchDir scratch;

  private:
    std::vector<std::unique_ptr<QTimer>> watchers_;
};

}  // namespace tintora::testing
