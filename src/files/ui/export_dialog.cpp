#include "files/ui/export_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <array>
#include <string>

#include "texture_window/widget_names.h"

namespace tintora {

namespace {

constexpr const char* kSection = "Export";

// One entry of the format list: the format, its stored name, its caption, and whether it holds
// alpha (so that alpha coverage applies).
struct FormatRow {
    ExportFormat format;
    const char* key;
    const char* caption;
    bool alpha;
};
constexpr std::array<FormatRow, 10> kFormats = {{
    {ExportFormat::Bgra32, "32", "32 bits (A8R8G8B8)", true},
    {ExportFormat::Bgr24, "24", "24 bits (R8G8B8, no alpha)", false},
    {ExportFormat::Argb16, "16", "16 bits (A4R4G4B4)", true},
    {ExportFormat::Bc1, "bc1", "BC1 / DXT1", false},
    {ExportFormat::Bc1a, "bc1a", "BC1 with 1-bit alpha", true},
    {ExportFormat::Bc2, "bc2", "BC2 / DXT3", true},
    {ExportFormat::Bc3, "bc3", "BC3 / DXT5", true},
    {ExportFormat::Bc4, "bc4", "BC4 (red)", false},
    {ExportFormat::Bc5, "bc5", "BC5 (red, green)", false},
    {ExportFormat::Bc7, "bc7", "BC7", true},
}};
// The list is in ExportFormat's order, so that an index is a format.
constexpr bool InFormatOrder() {
    for (std::size_t i = 0; i < kFormats.size(); ++i) {
        if (static_cast<std::size_t>(kFormats[i].format) != i) return false;
    }
    return true;
}
static_assert(InFormatOrder());
constexpr std::array<const char*, 3> kFilterKeys = {"kaiser", "lanczos", "box"};
constexpr std::array<MipFilter, 3> kFilters = {MipFilter::Kaiser, MipFilter::Lanczos,
                                               MipFilter::Box};
constexpr std::array<const char*, 2> kQualityKeys = {"fast", "best"};

// The index of text among keys, or fallback when it is none of them.
template <std::size_t N>
int KeyIndex(const std::array<const char*, N>& keys, const std::string& text, int fallback) {
    for (std::size_t i = 0; i < N; ++i) {
        if (text == keys[i]) return static_cast<int>(i);
    }
    return fallback;
}

std::array<const char*, kFormats.size()> FormatKeys() {
    std::array<const char*, kFormats.size()> keys{};
    for (std::size_t i = 0; i < kFormats.size(); ++i)
        keys[i] = kFormats[i].key;
    return keys;
}

const FormatRow& RowAt(const QComboBox* format) {
    return kFormats[static_cast<std::size_t>(format->currentIndex())];
}

}  // namespace

ExportDialog::ExportDialog(SettingsStore& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("ExportDialog"));
    setWindowTitle(QStringLiteral("Export texture"));
    setModal(true);

    format = Named(new QComboBox(this), "format");
    for (const FormatRow& row : kFormats)
        format->addItem(QString::fromLatin1(row.caption));
    quality = Named(new QComboBox(this), "quality");
    quality->addItems({QStringLiteral("Fast"), QStringLiteral("Best")});
    srgb = Named(new QCheckBox(QStringLiteral("sRGB colours"), this), "srgb");
    dx10 = Named(new QCheckBox(QStringLiteral("DX10 header"), this), "dx10");
    alphaThreshold = Named(new QSpinBox(this), "alphaThreshold");
    alphaThreshold->setRange(1, 255);
    alphaThreshold->setToolTip(QStringLiteral("Texels with alpha below this become transparent"));
    threeColour = Named(new QCheckBox(QStringLiteral("Three-colour blocks"), this), "threeColour");
    threeColour->setToolTip(
        QStringLiteral("Opaque blocks may use BC1's three-colour mode where it is closer.\n"
                       "Some engines show its black as transparent."));

    auto* chain = Named(new QGroupBox(QStringLiteral("Mipmaps"), this), "chain");
    mipmaps =
        Named(new QCheckBox(QStringLiteral("Full mip chain down to 1 x 1"), chain), "mipmaps");
    mipFilter = Named(new QComboBox(chain), "mipFilter");
    mipFilter->addItems(
        {QStringLiteral("Kaiser"), QStringLiteral("Lanczos"), QStringLiteral("Box")});
    normalMap = Named(new QCheckBox(QStringLiteral("Normal map: renormalise each level"), chain),
                      "normalMap");
    alphaCoverage =
        Named(new QCheckBox(QStringLiteral("Keep the share of alpha at or above"), chain),
              "alphaCoverage");
    alphaReference = Named(new QSpinBox(chain), "alphaReference");
    alphaReference->setRange(1, 255);

    exportButton = Named(new QPushButton(QStringLiteral("Export..."), this), "exportButton");
    cancelButton = Named(new QPushButton(QStringLiteral("Cancel"), this), "cancelButton");
    exportButton->setDefault(true);
    cancelButton->setAutoDefault(false);
    connect(exportButton, &QPushButton::clicked, this, [this] { exportButton_Click(); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(format, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabled(); });
    connect(mipmaps, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
    connect(alphaCoverage, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Format:"), this), 0, 0);
    top->addWidget(format, 0, 1);
    top->addWidget(new QLabel(QStringLiteral("Quality:"), this), 1, 0);
    top->addWidget(quality, 1, 1);
    top->addWidget(srgb, 2, 0, 1, 2);
    top->addWidget(dx10, 3, 0, 1, 2);
    top->addWidget(new QLabel(QStringLiteral("Alpha threshold:"), this), 4, 0);
    top->addWidget(alphaThreshold, 4, 1);
    top->addWidget(threeColour, 5, 0, 1, 2);
    auto* mips = new QGridLayout(chain);
    mips->addWidget(mipmaps, 0, 0, 1, 2);
    mips->addWidget(new QLabel(QStringLiteral("Filter:"), chain), 1, 0);
    mips->addWidget(mipFilter, 1, 1);
    mips->addWidget(normalMap, 2, 0, 1, 2);
    mips->addWidget(alphaCoverage, 3, 0);
    mips->addWidget(alphaReference, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(exportButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(chain);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Tab order: as laid out, top to bottom.
    QWidget* order[] = {format,         quality,      srgb,        dx10,      alphaThreshold,
                        threeColour,    mipmaps,      mipFilter,   normalMap, alphaCoverage,
                        alphaReference, exportButton, cancelButton};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

std::optional<ExportSettings> ExportDialog::ShowModal(bool textureHasAlpha, bool fileSrgb) {
    Restore(textureHasAlpha, fileSrgb);
    format->setFocus();
    if (exec() != QDialog::Accepted) return std::nullopt;
    return Chosen();
}

void ExportDialog::exportButton_Click() {
    Store();
    accept();
}

ExportSettings ExportDialog::Chosen() const {
    ExportSettings chosen;
    chosen.format = RowAt(format).format;
    chosen.mipmaps = mipmaps->isChecked();
    chosen.mip.filter = kFilters[static_cast<std::size_t>(mipFilter->currentIndex())];
    chosen.mip.normalMap = chosen.mipmaps && normalMap->isChecked();
    if (alphaCoverage->isEnabled() && alphaCoverage->isChecked())
        chosen.mip.alphaReference = alphaReference->value();
    chosen.srgb = chosen.mip.srgb = srgb->isEnabled() && srgb->isChecked();
    chosen.encode.level = quality->currentIndex() == 1 ? EncodeLevel::Best : EncodeLevel::Fast;
    if (alphaThreshold->isEnabled())
        chosen.encode.alphaThreshold = static_cast<std::uint8_t>(alphaThreshold->value());
    chosen.encode.bc1ThreeColour = threeColour->isEnabled() && threeColour->isChecked();
    chosen.dx10 = dx10->isEnabled() && dx10->isChecked();
    return chosen;
}

void ExportDialog::Restore(bool textureHasAlpha, bool fileSrgb) {
    const auto stored = [this](const char* key, const char* fallback) {
        return settings_.GetSetting(kSettingsApplication, kSection, key, fallback);
    };
    const int byAlpha =
        textureHasAlpha ? static_cast<int>(ExportFormat::Bc3) : static_cast<int>(ExportFormat::Bc1);
    format->setCurrentIndex(KeyIndex(FormatKeys(), stored("Format", ""), byAlpha));
    quality->setCurrentIndex(KeyIndex(kQualityKeys, stored("Quality", ""), 0));
    dx10->setChecked(stored("DX10", "0") == "1");
    mipmaps->setChecked(stored("Mipmaps", "1") == "1");
    mipFilter->setCurrentIndex(KeyIndex(kFilterKeys, stored("MipFilter", ""), 0));
    normalMap->setChecked(stored("NormalMap", "0") == "1");
    alphaCoverage->setChecked(stored("AlphaCoverage", "0") == "1");
    bool number = false;
    const int reference = QString::fromStdString(stored("AlphaReference", "")).toInt(&number);
    alphaReference->setValue(number ? reference : 128);
    const int threshold = QString::fromStdString(stored("AlphaThreshold", "")).toInt(&number);
    alphaThreshold->setValue(number ? threshold : 128);
    threeColour->setChecked(stored("ThreeColour", "0") == "1");
    srgb->setChecked(fileSrgb);
    UpdateEnabled();
}

void ExportDialog::Store() {
    const auto store = [this](const char* key, const std::string& value) {
        settings_.SaveSetting(kSettingsApplication, kSection, key, value);
    };
    const auto flag = [](const QCheckBox* box) { return box->isChecked() ? "1" : "0"; };
    store("Format", RowAt(format).key);
    store("Quality", kQualityKeys[static_cast<std::size_t>(quality->currentIndex())]);
    store("DX10", flag(dx10));
    store("Mipmaps", flag(mipmaps));
    store("MipFilter", kFilterKeys[static_cast<std::size_t>(mipFilter->currentIndex())]);
    store("NormalMap", flag(normalMap));
    store("AlphaCoverage", flag(alphaCoverage));
    store("AlphaReference", std::to_string(alphaReference->value()));
    store("AlphaThreshold", std::to_string(alphaThreshold->value()));
    store("ThreeColour", flag(threeColour));
}

void ExportDialog::UpdateEnabled() {
    const FormatRow& row = RowAt(format);
    const bool chain = mipmaps->isChecked();
    quality->setEnabled(IsBlockExport(row.format));
    srgb->setEnabled(ExportHasSrgb(row.format));
    // BC7 has no DX9 header: its DX10 one is no choice.
    dx10->setEnabled(ExportHasDx10(row.format) && row.format != ExportFormat::Bc7);
    alphaThreshold->setEnabled(row.format == ExportFormat::Bc1a);
    // BC1a reads index 3 of a three-colour block as transparent: only opaque BC1 may use them.
    threeColour->setEnabled(row.format == ExportFormat::Bc1);
    mipFilter->setEnabled(chain);
    normalMap->setEnabled(chain);
    alphaCoverage->setEnabled(chain && row.alpha);
    alphaReference->setEnabled(alphaCoverage->isEnabled() && alphaCoverage->isChecked());
}

}  // namespace tintora
