// Kelvaro's entry point: the application object sets up the process and runs the program object.
#include "app/startup.h"
#include "platform/app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CVolMFCApp app;
    if (!app.InitInstance()) return -1;
    auto program = std::make_unique<rg_startup_class>();
    return app.Run([&] {
        // Without a main window there is nothing to wait for.
        if (!program->Start() || !app.GetMainWindow()) ::PostQuitMessage(-1);
    });
}
