// The running editor with one texture window open on a photograph-like picture, helpers that
// read the texture's four copies (main and preview texture, main and preview buffer), the pure
// operations' results to compare them with, and a way to act inside a modal dialog.
#pragma once

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/mdi_form1.h"
#include "support/document_fixture.h"
#include "texture_window/form1.h"
#include "document/module1.h"
#include "editor_fixture.h"
#include "effects/contrast_luminosity.h"
#include "effects/effects_support.h"
#include "effects/ui/form2.h"
#include "effects/ui/form8.h"
#include "effects/hue_saturation.h"

namespace tintora::testing {

using Bytes = std::vector<std::uint8_t>;

class AdjustmentTest : public EditorTest {
  protected:
    // Starts the editor and opens a width x height photograph-like picture (through the
    // editor's own loader, from a PNG file); waits until its window has drawn it.
    void OpenPicture(int width, int height) {
        Start();
        ASSERT_TRUE(files_.isValid());
        picture = PhotoLike(width, height);
        const QImage image(picture.bytes.data(), width, height, width * 4, QImage::Format_ARGB32);
        const QString path = files_.filePath(QStringLiteral("picture.png"));
        ASSERT_TRUE(image.save(path, "PNG", 100));
        editor->LoadTexture(path.toStdString());
        document = Module1().ActiveWindowIndex;
        ASSERT_GT(document, 0);
        window = static_cast<Form1*>(DocumentAt(document).Window);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([this] {
            return window->presentedImage().size() == window->size() &&
                   DocumentAt(document).ChainWidth == window->width() &&
                   DocumentAt(document).ChainHeight == window->height();
        }));
        QTest::qWait(20);
        ASSERT_EQ(MainBytes(), picture.bytes);
        ASSERT_EQ(PixelBytes(), picture.bytes);
        shownBefore = Shown();
    }

    std::int32_t texture() const { return DocumentAt(document).TextureIndex; }
    Bytes MainBytes() const { return ReadTexture(*TextureAt(texture()).Texture); }
    Bytes PreviewBytes() const { return ReadTexture(*TextureAt(texture()).PreviewTexture); }
    Bytes PixelBytes() const { return BufferBytes(TextureAt(texture()).Pixels); }
    Bytes PreviewPixelBytes() const { return BufferBytes(TextureAt(texture()).PreviewPixels); }
    // What the texture window shows.
    QImage Shown() const { return window->presentedImage(); }
    std::string Status() const { return editor->Label1->text().toStdString(); }

    // The pure operations on bytes of the picture's size.
    Bytes Contrasted(const Bytes& bytes, int contrast, int luminosity) const {
        return Apply(bytes, [=](const PixelView& in, const PixelView& out) {
            AdjustContrastLuminosity(in, out, ContrastFactor(contrast), luminosity);
        });
    }
    Bytes HueSaturated(const Bytes& bytes, int hue, int saturation) const {
        return Apply(bytes, [=](const PixelView& in, const PixelView& out) {
            AdjustHueSaturation(in, out, hue, saturation);
        });
    }
    template <typename Kernel>
    Bytes Apply(Bytes bytes, const Kernel& kernel) const {
        Image in(picture.width, picture.height);
        in.bytes = std::move(bytes);
        Image out(picture.width, picture.height);
        kernel(in.view(), out.view());
        return out.bytes;
    }

    // Waits until the dialog has no preview running or requested.
    static void Settle(SliderDialog& dialog) {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return !dialog.scheduler().previewRunning() &&
                       !dialog.scheduler().previewRequested();
            },
            20000));
    }

    Image picture;
    std::int32_t document = 0;
    Form1* window = nullptr;
    QImage shownBefore;

  private:
    static Bytes BufferBytes(const PixelBuffer& buffer) {
        return {buffer.data(), buffer.data() + buffer.byteCount()};
    }

    QTemporaryDir files_;
};

// The widgets that Tab visits, in order, starting at first.
inline std::vector<QWidget*> TabOrder(QWidget* first) {
    std::vector<QWidget*> order{first};
    for (QWidget* w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->isVisibleTo(first->window())) {
            order.push_back(w);
        }
    }
    return order;
}

// Runs script on the first dialog of type Dialog that is shown modally from now on, from inside
// its modal loop. A dialog the script leaves open is cancelled, so a failed check cannot hang
// the test.
template <typename Dialog>
class WhenModal {
  public:
    explicit WhenModal(std::function<void(Dialog&)> script) : script_(std::move(script)) {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible()) return;
            timer_.stop();
            ++shown;
            if (script_) script_(*dialog);
            if (dialog->isVisible()) dialog->Command2->click();
        });
        timer_.start();
    }

    int shown = 0;

  private:
    std::function<void(Dialog&)> script_;
    QTimer timer_;
};

}  // namespace tintora::testing
