#include "app/color_form.h"

#include "app/mdi_form1.h"
#include "app/setting_values.h"

namespace tintora {

ColorForm::ColorForm(Services& services, MDIForm1& main)
    : QWidget(&main, Qt::Tool), services_(services), main_(main) {
    setObjectName(QStringLiteral("ColorForm"));
    setWindowTitle(QStringLiteral("Color picker"));
    setFixedSize(354, 70);
}

void ColorForm::Form_Load() {
    const std::string app = kSettingsApplication;
    const float mainWidth = static_cast<float>(main_.frameGeometry().width() * kTwipsPerPixel);
    const float mainHeight = static_cast<float>(main_.frameGeometry().height() * kTwipsPerPixel);
    const float ownWidth = static_cast<float>(frameGeometry().width() * kTwipsPerPixel);
    const float ownHeight = static_cast<float>(frameGeometry().height() * kTwipsPerPixel);
    const float left =
        TextToSingle(services_.settings->GetSetting(app, "Tintora", "ColorX",
                                                    SingleToText(mainWidth - ownWidth - 2000.0f)),
                     0.0f);
    const float top =
        TextToSingle(services_.settings->GetSetting(app, "Tintora", "ColorY",
                                                    SingleToText(mainHeight - ownHeight - 1500.0f)),
                     0.0f);
    move(TwipsToPixels(left), TwipsToPixels(top));
}

void ColorForm::SetSettings() {
    const std::string app = kSettingsApplication;
    services_.settings->SaveSetting(app, "Tintora", "ColorX",
                                    SingleToText(static_cast<float>(x() * kTwipsPerPixel)));
    services_.settings->SaveSetting(app, "Tintora", "ColorY",
                                    SingleToText(static_cast<float>(y() * kTwipsPerPixel)));
}

}  // namespace tintora
