#include "alpha/ui/form9.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <string>
#include <vector>

#include "alpha/alpha_ops.h"
#include "alpha/alpha_texture.h"
#include "base/setting_values.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "texture_window/form1.h"
#include "texture_window/widget_names.h"

namespace tintora {

namespace {

// The layout in twips was made for a narrower font than the captions get here: every place and
// size is widened by a quarter so that no caption is cut.
int Scaled(int twips) {
    return TwipsToPixels(twips * 5 / 4);
}

// Places a widget at left, top, width x height twips of its parent; a width or height of 0 keeps
// the widget's own size hint, and a caption never gets less width than it needs.
void Place(QWidget* widget, int left, int top, int width = 0, int height = 0) {
    const QSize hint = widget->sizeHint();
    widget->setGeometry(Scaled(left), Scaled(top),
                        width > 0 && !qobject_cast<QAbstractButton*>(widget)
                            ? Scaled(width)
                            : std::max(width > 0 ? Scaled(width) : 0, hint.width()),
                        height > 0 ? Scaled(height) : hint.height());
}

// Option1's channels by index: section A's group, then section C's.
constexpr AlphaChannel kOptionChannels[10] = {
    AlphaChannel::Red,        AlphaChannel::Green,      AlphaChannel::Blue,
    AlphaChannel::Saturation, AlphaChannel::Luminosity, AlphaChannel::Luminosity,
    AlphaChannel::Saturation, AlphaChannel::Blue,       AlphaChannel::Green,
    AlphaChannel::Red};

// Makes the texture window of document slot the active one again.
void ActivateDocument(std::int32_t slot) {
    auto* window = dynamic_cast<QWidget*>(DocumentAt(slot).Window);
    for (QWidget* w = window; w != nullptr; w = w->parentWidget()) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) {
            if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
            return;
        }
    }
}

}  // namespace

Form9::Form9(WindowHost& host, QWidget* parent) : QDialog(parent, Qt::Tool), host_(host) {
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QStringLiteral("Generate automatically an alpha layer"));
    setModal(false);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    setFixedSize(Scaled(5775), Scaled(4920));

    // Frames first, so that the section options drawn over their top edges stay on top.
    Frame3 = Named(new QGroupBox(this), QStringLiteral("Frame3"));
    Place(Frame3, 165, 150, 5400, 630);
    Frame2[0] = Named(new QGroupBox(this), QStringLiteral("Frame2_0"));
    Place(Frame2[0], 180, 2475, 5460, 990);
    Frame2[1] = Named(new QGroupBox(this), QStringLiteral("Frame2_1"));
    Place(Frame2[1], 150, 975, 5460, 1380);
    Frame1 = Named(new QGroupBox(QStringLiteral("From an expanded/normal color key."), this),
                   QStringLiteral("Frame1"));
    Place(Frame1, 180, 3525, 5445, 645);
    Label1 = Named(new QLabel(QStringLiteral("Use the Set ColorKey tool instead."), Frame1),
                   QStringLiteral("Label1"));
    Place(Label1, 405, 270, 4170, 300);

    Option3 = Named(new QRadioButton(QStringLiteral("From a existing alpha layer of a texture"), this),
                    QStringLiteral("Option3"));
    Place(Option3, 120, 120, 3030, 210);
    Option4 = Named(
        new QRadioButton(QStringLiteral("From a color channel of an external texture"), this),
        QStringLiteral("Option4"));
    Place(Option4, 120, 945, 3315, 225);
    Option2 = Named(new QRadioButton(QStringLiteral("From a color channel of the texture"), this),
                    QStringLiteral("Option2"));
    Place(Option2, 180, 2475, 2865, 225);
    Option2->setChecked(true);
    for (QRadioButton* option : {Option2, Option3, Option4}) {
        option->setAutoFillBackground(true);  // hides the frame's edge behind the caption
        option->raise();
    }

    // Section A's channels.
    const char* const captionsA[] = {"Red", "Green", "Blue", "Saturation", "Luminosity"};
    const int placesA[5][2] = {{240, 300}, {885, 300}, {1650, 300}, {225, 555}, {1305, 585}};
    // Section C's channels.
    const char* const captionsC[] = {"Luminosity", "Saturation", "Blue", "Green", "Red"};
    const int placesC[5][2] = {{1335, 945}, {255, 930}, {1680, 675}, {915, 675}, {270, 675}};
    for (int i = 0; i < 10; ++i) {
        QGroupBox* frame = i < 5 ? Frame2[0] : Frame2[1];
        const char* caption = i < 5 ? captionsA[i] : captionsC[i - 5];
        const int* place = i < 5 ? placesA[i] : placesC[i - 5];
        Option1[i] = Named(new QRadioButton(QLatin1String(caption), frame),
                           QStringLiteral("Option1_%1").arg(i));
        Place(Option1[i], place[0], place[1]);
    }
    Option1[4]->setChecked(true);
    Option1[5]->setChecked(true);
    // Three groups of their own: the sections, and each frame's channels. (Auto-exclusive buttons
    // would group every radio button under this window, the frames' ones included.)
    auto* sections = new QButtonGroup(this);
    auto* channelsA = new QButtonGroup(this);
    auto* channelsC = new QButtonGroup(this);
    for (QRadioButton* option : {Option2, Option3, Option4}) sections->addButton(option);
    for (int i = 0; i < 10; ++i) (i < 5 ? channelsA : channelsC)->addButton(Option1[i]);

    // The reference boxes of both channel frames.
    const int referencePlaces[2][4][2] = {
        {{2700, 330}, {4230, 285}, {2715, 585}, {4215, 585}},
        {{2700, 675}, {4230, 630}, {2715, 945}, {4215, 930}},
    };
    for (int i = 0; i < 2; ++i) {
        const auto& at = referencePlaces[i];
        Label2[i] = Named(new QLabel(QStringLiteral("Opaque Reference :"), Frame2[i]),
                          QStringLiteral("Label2_%1").arg(i));
        Place(Label2[i], at[0][0], at[0][1] + 30, 1500, 225);
        Text1[i] = Named(new QLineEdit(QStringLiteral("255"), Frame2[i]),
                         QStringLiteral("Text1_%1").arg(i));
        Place(Text1[i], at[1][0], at[1][1], 450, 285);
        Label3[i] = Named(new QLabel(QStringLiteral("Trans. Reference :"), Frame2[i]),
                          QStringLiteral("Label3_%1").arg(i));
        Place(Label3[i], at[2][0], at[2][1] + 30, 1500, 225);
        Text2[i] = Named(new QLineEdit(QStringLiteral("0"), Frame2[i]),
                         QStringLiteral("Text2_%1").arg(i));
        Place(Text2[i], at[3][0], at[3][1], 480, 285);
    }

    // The source lists and their "Load texture..." buttons.
    QGroupBox* const sourceFrames[2] = {Frame3, Frame2[1]};
    const int comboPlaces[2][2] = {{150, 240}, {180, 270}};
    const int loadPlaces[2][2] = {{3810, 225}, {3840, 240}};
    for (int i = 0; i < 2; ++i) {
        Combo1[i] = Named(new QComboBox(sourceFrames[i]), QStringLiteral("Combo1_%1").arg(i));
        Combo1[i]->setEditable(true);
        Combo1[i]->setInsertPolicy(QComboBox::NoInsert);
        // Shown while no other texture is open to take from.
        Combo1[i]->lineEdit()->setPlaceholderText(QStringLiteral("(no other texture)"));
        Place(Combo1[i], comboPlaces[i][0], comboPlaces[i][1], 3330, 315);
        Command4[i] = Named(new QPushButton(QStringLiteral("Load texture..."), sourceFrames[i]),
                            QStringLiteral("Command4_%1").arg(i));
        Command4[i]->setAutoDefault(false);
        Place(Command4[i], loadPlaces[i][0], loadPlaces[i][1], 1275, 315);
    }

    Command2 = Named(new QPushButton(QStringLiteral("Preview"), this), QStringLiteral("Command2"));
    Place(Command2, 255, 4320, 1380, 390);
    Command1 = Named(new QPushButton(QStringLiteral("Generate !"), this), QStringLiteral("Command1"));
    Place(Command1, 1905, 4335, 1650, 405);
    Command3 = Named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("Command3"));
    Place(Command3, 3900, 4320, 1335, 405);
    Command1->setDefault(true);
    Command1->setAutoDefault(true);
    Command2->setAutoDefault(false);
    Command3->setAutoDefault(false);

    // Tab order of the controls that take the focus.
    std::vector<QWidget*> order = {Option2, Command1, Command2, Command3};
    for (int i = 0; i < 5; ++i) order.push_back(Option1[i]);
    for (QWidget* w : {static_cast<QWidget*>(Text1[0]), static_cast<QWidget*>(Text2[0]),
                       static_cast<QWidget*>(Combo1[0]), static_cast<QWidget*>(Command4[0]),
                       static_cast<QWidget*>(Text2[1]), static_cast<QWidget*>(Text1[1])}) {
        order.push_back(w);
    }
    for (int i = 5; i < 10; ++i) order.push_back(Option1[i]);
    for (QWidget* w : {static_cast<QWidget*>(Option4), static_cast<QWidget*>(Combo1[1]),
                       static_cast<QWidget*>(Command4[1]), static_cast<QWidget*>(Option3)}) {
        order.push_back(w);
    }
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    const auto onClick = [this](QAbstractButton* button, std::function<void()> handler) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler = std::move(handler)] { RunHandler(&host_, handler); });
    };
    onClick(Option2, [this] { Option2_Click(); });
    onClick(Option3, [this] { Option3_Click(); });
    onClick(Option4, [this] { Option4_Click(); });
    onClick(Command1, [this] { Command1_Click(); });
    onClick(Command2, [this] { Command2_Click(); });
    onClick(Command3, [this] { Command3_Click(); });
    onClick(Command4[0], [this] { Command4_Click(0); });
    onClick(Command4[1], [this] { Command4_Click(1); });
}

AlphaChannel Form9::ChannelOfOption(int index) {
    return kOptionChannels[index];
}

AlphaChannel Form9::SectionAChannel() const {
    for (int i = 0; i < 5; ++i) {
        if (Option1[i]->isChecked()) return ChannelOfOption(i);
    }
    return AlphaChannel::Luminosity;
}

AlphaChannel Form9::SectionCChannel() const {
    for (int i = 5; i < 10; ++i) {
        if (Option1[i]->isChecked()) return ChannelOfOption(i);
    }
    return AlphaChannel::Luminosity;
}

void Form9::RefreshItems() {
    Combo1[0]->clear();
    Combo1[1]->clear();
    const Module1State& state = Module1();
    const std::int32_t active =
        state.ActiveWindowIndex > 0 ? DocumentAt(state.ActiveWindowIndex).TextureIndex : 0;
    for (const std::string& item : SourceListItems(active)) {
        const QString text = QString::fromStdString(item);
        Combo1[0]->addItem(text);
        Combo1[1]->addItem(text);
    }
    for (QComboBox* combo : Combo1) {
        if (combo->count() > 0) {
            combo->setCurrentIndex(0);
        } else {
            combo->clearEditText();
        }
    }
}

void Form9::Form_Activate() {
    const std::int32_t kept[2] = {SelectedSlot(0), SelectedSlot(1)};
    RefreshItems();
    for (int i = 0; i < 2; ++i) {
        for (int k = 0; k < Combo1[i]->count(); ++k) {
            if (kept[i] > 0 && SlotOfItem(Combo1[i]->itemText(k).toStdString()) == kept[i]) {
                Combo1[i]->setCurrentIndex(k);
                break;
            }
        }
    }
}

bool Form9::event(QEvent* event) {
    if (event->type() == QEvent::Show) {
        // Beside the texture it previews (or where the user last put it), before it is seen.
        place_.Open(*this);
        if (!loaded_) {
            loaded_ = true;
            RunHandler(&host_, [this] { RefreshItems(); });
        }
    } else if (event->type() == QEvent::Hide) {
        place_.Close(*this);
    } else if (event->type() == QEvent::WindowActivate) {
        RunHandler(&host_, [this] { Form_Activate(); });
    }
    return QDialog::event(event);
}

void Form9::EnableFrames(bool a, bool b, bool c) {
    Frame2[0]->setEnabled(a);
    Frame3->setEnabled(b);
    Frame2[1]->setEnabled(c);
}

void Form9::Option2_Click() {
    EnableFrames(true, false, false);
}

void Form9::Option3_Click() {
    EnableFrames(false, true, false);
}

void Form9::Option4_Click() {
    EnableFrames(false, false, true);
}

std::int32_t Form9::SelectedSlot(int index) const {
    const int position = Combo1[index]->currentIndex();
    if (position < 0) return 0;
    return SlotOfItem(Combo1[index]->itemText(position).toStdString());
}

std::int32_t Form9::Preview() {
    const std::int32_t slot = Module1().ActiveWindowIndex;
    if (slot <= 0) return 0;
    const std::int32_t texture = DocumentAt(slot).TextureIndex;
    if (Option2->isChecked()) {
        AlphaFromOwnChannel(texture, SectionAChannel());
    } else if (Option3->isChecked()) {
        if (!AlphaFromOtherTexture(texture, SelectedSlot(0), AlphaChannel::Alpha)) return 0;
    } else if (Option4->isChecked()) {
        if (!AlphaFromOtherTexture(texture, SelectedSlot(1), SectionCChannel())) return 0;
    } else {
        return 0;
    }
    RenderDocument(slot, true, &host_);
    return slot;
}

void Form9::Command2_Click() {
    Preview();
}

void Form9::Command1_Click() {
    const std::int32_t slot = Preview();
    if (slot == 0) return;
    const std::int32_t texture = DocumentAt(slot).TextureIndex;
    RunStep(host_, texture, "Alpha layer", [texture] { CommitAlphaPreview(texture); });
    RenderDocument(slot, false, &host_);
    hide();
}

void Form9::Command3_Click() {
    hide();
}

void Form9::reject() {
    RunHandler(&host_, [this] { Command3_Click(); });
}

void Form9::Command4_Click(int index) {
    auto& state = Module1();
    const std::int32_t editing = state.ActiveWindowIndex;
    const std::int32_t loadedBefore = state.LastLoadedTexture;
    if (OpenFile) OpenFile();
    // The new texture's window comes up active; the texture being edited stays the target and
    // the loaded one becomes a source.
    if (state.LastLoadedTexture != loadedBefore && editing > 0 &&
        state.ActiveWindowIndex != editing && editing < static_cast<std::int32_t>(state.DocumentTable.size()) &&
        DocumentAt(editing).InUse) {
        ActivateDocument(editing);
    }
    RefreshItems();
    for (int k = 0; k < Combo1[0]->count(); ++k) {
        if (SlotOfItem(Combo1[0]->itemText(k).toStdString()) == state.LastLoadedTexture) {
            Combo1[index]->setCurrentIndex(k);
        }
    }
}

}  // namespace tintora
