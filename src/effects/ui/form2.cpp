#include "effects/ui/form2.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>

#include "document/module1.h"
#include "drawing/views.h"
#include "effects/contrast_luminosity.h"
#include "effects/texture_effects.h"
#include "effects/ui/effect_commands.h"
#include "texture_window/form1.h"

namespace tintora {

Form2::Form2(WindowHost& host, QWidget* parent)
    : SliderDialog(host, parent, "Form2", "adjust contrast/luminosity", {"Contrast", -100, 100},
                   {"Luminosity", -100, 100}, [this] { UpdatePreview(); }) {
    setTabOrder(HScroll1, Value1);
    setTabOrder(Value1, HScroll2);
    setTabOrder(HScroll2, Value2);
    setTabOrder(Value2, Command1);
    setTabOrder(Command1, Command2);
}

void Form2::Command1_Click() {
    Tag = "OK";
    hide();
}

void Form2::Command2_Click() {
    Tag = "CANCEL";
    hide();
}

void Form2::HScroll1_Change() {
    RequestPreview();
}

void Form2::HScroll2_Change() {
    RequestPreview();
}

void Form2::EnsurePreview() {
    scheduler().RunWhenIdle([this] {
        if (computed_ != CurrentPositions()) UpdatePreview();
    });
}

void Form2::keyPressEvent(QKeyEvent* event) {
    // Escape is the Cancel button; the dialog's own Escape would close it without an answer.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Command2->click();
        return;
    }
    SliderDialog::keyPressEvent(event);
}

Form2::Positions Form2::CurrentPositions() const {
    return {HScroll1->value(), HScroll2->value()};
}

void Form2::UpdatePreview() {
    const std::int32_t slot = Module1().ActiveWindowIndex;
    const Positions positions = CurrentPositions();
    computed_.reset();
    AdjustContrastLuminosity(DocumentAt(slot).TextureIndex, 1, ContrastFactor(positions.contrast),
                             positions.luminosity, &host_);
    computed_ = positions;
    RenderDocument(slot, true, &host_);
}

void RunContrastLuminosity(WindowHost& host, QWidget* parent) {
    if (Module1().ActiveWindowIndex <= 0) return;
    Form2 form(host, parent);
    form.exec();
    if (form.Tag == "OK") {
        form.EnsurePreview();
        const std::int32_t texture = DocumentAt(Module1().ActiveWindowIndex).TextureIndex;
        RunStep(host, texture, kContrastLuminosityStep,
                [&host, texture] { CommitPreview(texture, &host); });
    }
    RenderDocument(Module1().ActiveWindowIndex, false, &host);
}

}  // namespace tintora
