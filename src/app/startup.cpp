#include "app/startup.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMdiSubWindow>
#include <algorithm>
#include <cmath>

#include "alpha/ui/form7.h"
#include "app/form3.h"
#include "color/ui/color_form.h"
#include "device/device.h"
#include "device/mesh_x.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "preview/ui/form5.h"
#include "texture_window/form1.h"

namespace tintora {

std::string CommandLineFileName(const std::vector<std::string>& arguments) {
    std::string line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) line += ' ';
        line += arguments[i];
    }
    line.erase(std::remove(line.begin(), line.end(), '"'), line.end());
    return line;
}

std::unique_ptr<MDIForm1> Main(Services& services, const std::string& commandLine) {
    auto& state = Module1();
    auto main = std::make_unique<MDIForm1>(services);
    MDIForm1& mdi = *main;

    mdi.ShowAtPlace();
    Form3& splash = mdi.Form3Window();
    splash.ShowModal();
    QCoreApplication::processEvents();
    splash.Label1->setText(QStringLiteral("Initialize 3d device..."));

    // The device, the colour picker and the preview document.
    RunHandler(&mdi, [&] {
        AdapterInfo adapter;
        DisplayInfo* display = services.display;
        adapter.displayFormat = [display] { return DisplayFormatForDepth(display->ScreenDepth()); };
        state.D3D = Direct3DCreate8(adapter);

        D3DFORMAT adapterFormat = D3DFMT_UNKNOWN;
        D3DFORMAT depthFormat = D3DFMT_UNKNOWN;
        CheckDisplayFormats(adapterFormat, depthFormat, &mdi);
        if (services.ended) return;

        D3DPRESENT_PARAMETERS& pp = state.PresentParams;
        pp.BackBufferFormat = adapterFormat;
        pp.AutoDepthStencilFormat = depthFormat;
        pp.EnableAutoDepthStencil = -1;
        pp.BackBufferWidth = 0;
        pp.BackBufferHeight = 0;
        pp.SwapEffect = D3DSWAPEFFECT_COPY;
        pp.Windowed = 1;
        // Asking for the device window loads Form5 (its load handler runs here).
        Form5& preview = mdi.Form5Window();
        pp.hDeviceWindow = &preview;
        preview.SetOuterSizeTwips(5000, 5000);
        state.Device = state.D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                               D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp);

        splash.Label1->setText(QStringLiteral("Initialize color form..."));
        mdi.ColorFormWindow().show();
        splash.Label1->setText(QStringLiteral("Initialization finished..."));

        const std::int32_t w = preview.Picture1->width();
        const std::int32_t h = preview.Picture1->height();
        state.PreviewDocIndex = CreateDocument(w, h, true, true, &mdi);
        DocumentAt(state.PreviewDocIndex).IsPreview = true;
        preview.HideWindow();
    });
    if (services.ended) return main;

    RunHandler(&mdi, [&] {
        state.SphereMesh =
            LoadMeshFromX(services.programDirectory + "/sphere.x", D3DXMESH_MANAGED, state.Device);
    });

    // The colour-key window is made now, hidden, with the key colour in its sample.
    mdi.Form7Window();
    QCoreApplication::processEvents();
    mdi.Form7Window().hide();

    if (!commandLine.empty()) {
        std::string fileName = commandLine;
        fileName.erase(std::remove(fileName.begin(), fileName.end(), '"'), fileName.end());
        RunHandler(&mdi, [&] { mdi.LoadTexture(fileName); });
    }
    return main;
}

}  // namespace tintora
