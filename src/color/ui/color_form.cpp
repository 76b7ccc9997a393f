#include "color/ui/color_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include "base/setting_values.h"
#include "color/colors.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "texture_window/form1.h"
#include "texture_window/mouse_codes.h"
#include "texture_window/window_places.h"

namespace tintora {

namespace {

constexpr int kClientWidth = 354;
constexpr int kClientHeight = 70;

QColor ToQColor(std::uint32_t color) {
    return {static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
            static_cast<int>((color >> 16) & 0xFFu)};
}

// The field as a 24-bit picture.
QImage ColorFieldPicture() {
    QImage picture(kColorFieldWidth, kColorFieldHeight, QImage::Format_RGB888);
    const ColorFieldPixels& field = ColorField();
    for (int y = 0; y < kColorFieldHeight; ++y) {
        for (int x = 0; x < kColorFieldWidth; ++x) {
            picture.setPixelColor(
                x, y, ToQColor(field[static_cast<std::size_t>(y * kColorFieldWidth + x)]));
        }
    }
    return picture;
}

// Sets the busy flag for as long as it lives.
class BusyFlag {
  public:
    explicit BusyFlag(std::string& tag) : tag_(tag) { tag_ = "NO"; }
    ~BusyFlag() { tag_.clear(); }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

  private:
    std::string& tag_;
};

}  // namespace

ColorSwatch::ColorSwatch(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ColorSwatch::SetFillColor(std::uint32_t color) {
    fill_ = color;
    update();
}

void ColorSwatch::SetBorder(QColor color, int width) {
    borderColor_ = color;
    borderWidth_ = width;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), borderColor_);
    painter.fillRect(rect().adjusted(borderWidth_, borderWidth_, -borderWidth_, -borderWidth_),
                     ToQColor(fill_));
}

ClickArea::ClickArea(QWidget* parent) : QWidget(parent) {}

void ClickArea::mouseReleaseEvent(QMouseEvent* event) {
    const bool second = afterDoubleClick_;
    afterDoubleClick_ = false;
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        !second) {
        Q_EMIT clicked();
    }
}

void ClickArea::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    afterDoubleClick_ = true;
    Q_EMIT doubleClicked();
}

ColorFieldBox::ColorFieldBox(QWidget* parent) : QWidget(parent), picture_(ColorFieldPicture()) {
    setFixedSize(kColorFieldWidth, kColorFieldHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves arrive with and without a button; the handler looks at the buttons itself.
    setMouseTracking(true);
}

float ColorFieldBox::ScaleWidth() const {
    return static_cast<float>(kColorFieldWidth);
}

float ColorFieldBox::ScaleHeight() const {
    return static_cast<float>(kColorFieldHeight);
}

std::uint32_t ColorFieldBox::Point(float x, float y) const {
    return ColorFieldPoint(x, y);
}

void ColorFieldBox::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}

void ColorFieldBox::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    Q_EMIT mouseDown(MouseButtonCode(event->button()), ShiftCode(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void ColorFieldBox::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    Q_EMIT mouseMove(MouseButtonCode(event->buttons()), ShiftCode(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
}

ColorForm::ColorForm(Services& services, QWidget& main, WindowHost& host)
    : QWidget(&main, Qt::Tool), services_(services), host_(host) {
    setObjectName(QStringLiteral("ColorForm"));
    setWindowTitle(QStringLiteral("Color picker"));
    setFixedSize(kClientWidth, kClientHeight);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    // Created back to front: the foreground swatch and its click area lie over the background's.
    Shape1 = new ColorSwatch(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(10, 10, 28, 28);
    Label2 = new ClickArea(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(9, 10, 29, 28);
    Shape2 = new ColorSwatch(this);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    Shape2->setGeometry(16, 18, 28, 27);
    Label3 = new ClickArea(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(15, 19, 29, 28);
    connect(Label2, &ClickArea::clicked, this, [this] { RunHandler(&host_, [this] { Label2_Click(); }); });
    connect(Label3, &ClickArea::clicked, this, [this] { RunHandler(&host_, [this] { Label3_Click(); }); });
    connect(Label2, &ClickArea::doubleClicked, this,
            [this] { RunHandler(&host_, [this] { Label2_DblClick(); }); });
    connect(Label3, &ClickArea::doubleClicked, this,
            [this] { RunHandler(&host_, [this] { Label3_DblClick(); }); });

    const char* const captions[3] = {"R: ", "G:", "B:"};
    const int labelRows[3] = {7, 25, 44};
    const int boxRows[3] = {4, 22, 41};
    for (int i = 0; i < 3; ++i) {
        Label1[i] = new QLabel(QString::fromLatin1(captions[i]), this);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[i]->setGeometry(56, labelRows[i], 70, 11);
        Label1[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    for (int i = 0; i < 3; ++i) {
        Text1[i] = new QLineEdit(QStringLiteral("0"), this);
        Text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
        Text1[i]->setGeometry(72, boxRows[i], 27, 19);
        Text1[i]->setStyleSheet(QStringLiteral("QLineEdit { padding: 0px 1px; }"));
        connect(Text1[i], &QLineEdit::textChanged, this,
                [this, i] { RunHandler(&host_, [this, i] { Text1_Change(i); }); });
    }

    Picture1 = new ColorFieldBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->move(111, 7);
    connect(Picture1, &ColorFieldBox::mouseDown, this,
            [this](int button, int shift, float x, float y) {
                RunHandler(&host_, [&] { Picture1_MouseDown(button, shift, x, y); });
            });
    connect(Picture1, &ColorFieldBox::mouseMove, this,
            [this](int button, int shift, float x, float y) {
                RunHandler(&host_, [&] { Picture1_MouseMove(button, shift, x, y); });
            });
}

void ColorForm::Form_Load(const QRect& workspace) {
    Label3_Click();

    // By default the picker stands in the workspace's bottom-right corner, beside the textures.
    // Before it was first shown its frame is not known yet: it is taken to be the main window's.
    QSize size = frameGeometry().size();
    if (windowHandle() == nullptr && parentWidget() != nullptr)
        size += parentWidget()->frameGeometry().size() - parentWidget()->size();
    const QPoint corner(workspace.right() + 1 - size.width(), workspace.bottom() + 1 - size.height());
    const std::string app = kSettingsApplication;
    const auto stored = [&](const char* key) {
        return WindowPositionFromText(
            services_.settings->GetSetting(app, "Tintora", key, std::string()), -1.0f);
    };
    const float left = stored("ColorX");
    const float top = stored("ColorY");
    const QPoint place(TwipsToPixels(left), TwipsToPixels(top));
    // A stored place counts when the whole window is on one screen there.
    const bool usable = left >= 0.0f && top >= 0.0f && OnOneScreen(QRect(place, size), ScreenAreas());
    move(usable ? place : corner);
}

void ColorForm::SetSettings() {
    const std::string app = kSettingsApplication;
    services_.settings->SaveSetting(app, "Tintora", "ColorX",
                                    SingleToText(static_cast<float>(x() * kTwipsPerPixel)));
    services_.settings->SaveSetting(app, "Tintora", "ColorY",
                                    SingleToText(static_cast<float>(y() * kTwipsPerPixel)));
}

std::uint32_t& ColorForm::SelectedColor() {
    auto& state = Module1();
    return selection == 1 ? state.ForegroundColor : state.BackgroundColor;
}

void ColorForm::Select(std::int16_t which) {
    selection = which;
    ColorSwatch* chosen = which == 1 ? Shape2 : Shape1;
    ColorSwatch* other = which == 1 ? Shape1 : Shape2;
    chosen->SetBorder(QColor(255, 0, 0), 3);
    other->SetBorder(QColor(0, 0, 0), 1);
    setWindowTitle(
        QString::fromLatin1(which == 1 ? kForegroundSelectedCaption : kBackgroundSelectedCaption));
    RefreshColorValue();
}

void ColorForm::Label3_Click() {
    Select(1);
}

void ColorForm::Label2_Click() {
    Select(0);
}

void ColorForm::Label3_DblClick() {
    Label3_Click();
    CarryOnAfterFailure([this] {
        auto& state = Module1();
        if (const auto chosen = services_.dialogs->ShowColor(state.ForegroundColor)) {
            state.ForegroundColor = *chosen;
        }
    });
    RefreshColorValue();
}

void ColorForm::Label2_DblClick() {
    Label2_Click();
    bool chosen = false;
    CarryOnAfterFailure([&] {
        auto& state = Module1();
        if (const auto color = services_.dialogs->ShowColor(state.BackgroundColor)) {
            state.BackgroundColor = *color;
            chosen = true;
        }
    });
    if (chosen) RefreshColorValue();
}

void ColorForm::Picture1_MouseDown(int button, int /*shift*/, float x, float y) {
    if (!(x >= 0.0f && x <= Picture1->ScaleWidth() && y >= 0.0f && y <= Picture1->ScaleHeight())) {
        return;
    }
    // On the far edges the query answers kOutsidePicture, which is taken like any colour.
    const std::uint32_t color = Picture1->Point(x, y);
    auto& state = Module1();
    if (button == kRightButton) {
        state.BackgroundColor = color;
    } else {
        state.ForegroundColor = color;
    }
    RefreshColorValue();
}

void ColorForm::Picture1_MouseMove(int button, int shift, float x, float y) {
    if (button == 0) return;
    Picture1_MouseDown(button, shift, x, y);
}

void ColorForm::Text1_Change(int index) {
    if (!Text1Tag.empty()) return;
    std::uint32_t& color = SelectedColor();
    const std::int32_t value =
        NumberBoxValue(Text1[static_cast<std::size_t>(index)]->text().toStdString());
    color = WithComponent(color, index, value);
    RefreshColorValue();
}

void ColorForm::RefreshColorValue() {
    auto& state = Module1();
    Shape1->SetFillColor(state.BackgroundColor);
    Shape2->SetFillColor(state.ForegroundColor);

    // The bound is read on every pass: a redraw lets window messages run, which may open or
    // close windows.
    for (std::int32_t slot = 1; slot <= state.DocumentTableUBound; ++slot) {
        if (static_cast<std::size_t>(slot) >= state.DocumentTable.size()) break;
        const TextureDocument& d = state.DocumentTable[static_cast<std::size_t>(slot)];
        if (!d.InUse || d.IsPreview) continue;
        CarryOnAfterFailure([this, slot] { RenderDocument(slot, false, &host_); });
    }

    std::int32_t blue = 0;
    std::int32_t green = 0;
    std::int32_t red = 0;
    SplitColor(SelectedColor(), blue, green, red);
    CarryOnAfterFailure([this, &state] { Q_EMIT foregroundShown(state.ForegroundColor); });

    const BusyFlag busy(Text1Tag);
    Text1[0]->setText(QString::number(red));
    Text1[1]->setText(QString::number(green));
    Text1[2]->setText(QString::number(blue));
}

}  // namespace tintora
