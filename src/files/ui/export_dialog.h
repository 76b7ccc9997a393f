// ExportDialog, "Export texture": the settings File > Export... writes a DDS file with (see
// imagefiles/dds_export.h). The format (format: 32, 24 or 16 bits uncompressed, or a block
// format), the encoder's quality (Fast or Best), sRGB colours, a DX10 header, BC1a's alpha
// threshold, BC1's three-colour blocks, and a full mip chain (mipmaps) with its filter,
// normal-map renormalisation and alpha coverage kept at a reference value.
//
// Options the chosen format cannot use are greyed and left out of the answer: quality for the
// uncompressed formats, sRGB where the format has no sRGB variant (24 and 16 bits, BC4, BC5), the
// DX10 check where the header is fixed (24 bits has no DX10 format, BC7 no DX9 one), the alpha
// threshold but for BC1a, three-colour blocks but for BC1, alpha coverage for formats without
// alpha, and the mip options without mipmaps.
//
// Each showing starts from the choices last exported with, stored under section "Export" of the
// settings; before the first, the format is BC3 for a texture with alpha and BC1 for an opaque
// one, with mipmaps (Kaiser filter), quality Fast, alpha threshold 128 and four-colour blocks
// only. sRGB always starts as the texture's file marked it. "Export..." (exportButton, Enter)
// stores the choices and answers them; "Cancel" (cancelButton), Escape and the close box answer
// nothing. The dialog is only hidden between uses. UI thread only.
#pragma once

#include <QDialog>
#include <optional>

#include "imagefiles/dds_export.h"
#include "services/ui_services.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

namespace tintora {

class ExportDialog : public QDialog {
    Q_OBJECT

  public:
    explicit ExportDialog(SettingsStore& settings, QWidget* parent = nullptr);

    QComboBox* format = nullptr;   // the formats in ExportFormat's order
    QComboBox* quality = nullptr;  // "Fast", "Best"
    QCheckBox* srgb = nullptr;
    QCheckBox* dx10 = nullptr;
    QSpinBox* alphaThreshold = nullptr;  // 1..255: BC1a's EncodeOptions::alphaThreshold
    QCheckBox* threeColour = nullptr;    // BC1's EncodeOptions::bc1ThreeColour
    QCheckBox* mipmaps = nullptr;
    QComboBox* mipFilter = nullptr;  // "Kaiser", "Lanczos", "Box"
    QCheckBox* normalMap = nullptr;
    QCheckBox* alphaCoverage = nullptr;
    QSpinBox* alphaReference = nullptr;  // 1..255
    QPushButton* exportButton = nullptr;
    QPushButton* cancelButton = nullptr;

    // Restores the last choices (the defaults for a texture with or without alpha; sRGB as the
    // texture's file said), shows the dialog modally and returns the settings chosen, or none
    // when it was cancelled.
    std::optional<ExportSettings> ShowModal(bool textureHasAlpha, bool fileSrgb);
    // The settings the enabled controls show.
    ExportSettings Chosen() const;

    void exportButton_Click();

  private:
    void Restore(bool textureHasAlpha, bool fileSrgb);
    void Store();
    // Greys the options the chosen format and the mipmaps check leave without effect.
    void UpdateEnabled();

    SettingsStore& settings_;
};

}  // namespace tintora
