// The running editor with texture windows opened from pictures made by the test, and readers of a
// texture's main and preview copies.
#pragma once

#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/mdi_form1.h"
#include "support/document_fixture.h"
#include "texture_window/form1.h"
#include "document/module1.h"
#include "editor_fixture.h"

namespace tintora::testing {

using Bytes = std::vector<std::uint8_t>;

class AlphaWindowTest : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        ASSERT_TRUE(files_.isValid());
    }

    // Writes a width x height PNG whose pixel (x, y) is texel(x, y) (B, G, R, A) and returns its
    // path.
    std::string WritePicture(const std::string& name, int width, int height,
                             const std::function<Bgra(int, int)>& texel) {
        QImage image(width, height, QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Bgra c = texel(x, y);
                image.setPixel(x, y, qRgba(c[2], c[1], c[0], c[3]));
            }
        }
        const QString path = files_.filePath(QString::fromStdString(name));
        EXPECT_TRUE(image.save(path, "PNG", 100));
        return path.toStdString();
    }

    // Opens a picture in a new texture window (which becomes the active one); returns its
    // document slot once the window has drawn.
    std::int32_t Open(const std::string& name, int width, int height,
                      const std::function<Bgra(int, int)>& texel) {
        editor->LoadTexture(WritePicture(name, width, height, texel));
        const std::int32_t document = Module1().ActiveWindowIndex;
        EXPECT_GT(document, 0);
        auto* window = static_cast<Form1*>(DocumentAt(document).Window);
        EXPECT_TRUE(QTest::qWaitFor([window] { return !window->presentedImage().isNull(); }));
        return document;
    }

    static std::int32_t TextureOf(std::int32_t document) {
        return DocumentAt(document).TextureIndex;
    }
    static Bytes MainBytes(std::int32_t document) {
        return ReadTexture(*TextureAt(TextureOf(document)).Texture);
    }
    static Bytes PreviewBytes(std::int32_t document) {
        return ReadTexture(*TextureAt(TextureOf(document)).PreviewTexture);
    }
    static Bytes PixelBytes(std::int32_t document) {
        return BufferBytes(TextureAt(TextureOf(document)).Pixels);
    }
  public:
    // The bytes with every alpha replaced by alpha(x, y, pixel).
    static Bytes WithAlpha(Bytes bytes, int width,
                           const std::function<std::uint8_t(int, int, const std::uint8_t*)>& alpha) {
        for (std::size_t p = 0; p < bytes.size() / 4; ++p) {
            bytes[4 * p + 3] = alpha(static_cast<int>(p % width), static_cast<int>(p / width),
                                     &bytes[4 * p]);
        }
        return bytes;
    }
  protected:
    std::string Status() const { return editor->Label1->text().toStdString(); }

  private:
    QTemporaryDir files_;
};

}  // namespace tintora::testing
