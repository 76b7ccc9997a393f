#include "effects/ui/form8.h"

#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>

#include "document/module1.h"
#include "drawing/views.h"
#include "effects/texture_effects.h"
#include "effects/ui/effect_commands.h"
#include "texture_window/form1.h"

namespace tintora {

Form8::Form8(WindowHost& host, QWidget* parent)
    : SliderDialog(host, parent, "Form8", "Adjust Hue and Saturation", {"Hue :", -180, 180},
                   {"Saturation", -100, 100}, [this] { UpdatePreview(); }) {
    setTabOrder(Command2, Command1);
    setTabOrder(Command1, HScroll2);
    setTabOrder(HScroll2, Value2);
    setTabOrder(Value2, HScroll1);
    setTabOrder(HScroll1, Value1);
}

void Form8::Command1_Click() {
    scheduler().RunWhenIdle([this] {
        const std::int32_t slot = Module1().ActiveWindowIndex;
        ComputePreview(slot);
        const std::int32_t texture = DocumentAt(slot).TextureIndex;
        RunStep(host_, texture, kHueSaturationStep,
                [this, texture] { CommitPreview(texture, &host_); });
        RenderDocument(slot, true, &host_);
        Tag = "OK";
        hide();
    });
}

void Form8::Command2_Click() {
    scheduler().RunWhenIdle([this] {
        Tag = "CANCEL";
        hide();
        RenderDocument(Module1().ActiveWindowIndex, false, &host_);
    });
}

void Form8::HScroll1_Change() {
    RequestPreview();
}

void Form8::HScroll2_Change() {
    RequestPreview();
}

void Form8::reject() {
    RunHandler(&host_, [this] { Command2_Click(); });
}

void Form8::ComputePreview(std::int32_t slot) {
    AdjustHueSaturation(DocumentAt(slot).TextureIndex, 1, HScroll1->value(), HScroll2->value(),
                        &host_);
}

void Form8::UpdatePreview() {
    const std::int32_t slot = Module1().ActiveWindowIndex;
    ComputePreview(slot);
    RenderDocument(slot, true, &host_);
}

void RunHueSaturation(Form8& form) {
    if (Module1().ActiveWindowIndex <= 0) return;
    form.Tag.clear();
    form.exec();
}

}  // namespace tintora
