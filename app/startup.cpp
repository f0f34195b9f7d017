#include "app/startup.h"

#include "app/globals.h"
#include "app/input_prompt.h"
#include "platform/system.h"
#include "util/component_config.h"

int rg_startup_class::Start() {
    gProductName = L"Drenvik·Kelvaro";
    gAboutText = BuildAboutText();
    gComponentConfig.LoadFromFile(GetModuleDirectory() + kSettingsFileName);
    InstallInputPromptIfMissing();
    if (mainWindow.LoadWindow()) VolSetMainWindow(&mainWindow);
    return 1;
}
