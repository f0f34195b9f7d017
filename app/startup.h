// The program object: created by the entry point, it holds the main window and runs the start-up.
#pragma once
#include "app/main_window.h"
#include "platform/object.h"

class rg_startup_class : public CVolObject {
    VOL_CLASS(rg_startup_class, CVolObject, "app::rg_startup_class")
    VOL_MEMBERS(mainWindow)

public:
    // Sets the global texts, loads the settings file from the program's folder and creates the main
    // window. 1 once done, whether or not the window could be created. (The application object has
    // bound the run-time function table before.)
    int Start();

    rg_ZhuChuangKouLei mainWindow;
};

// The settings file beside the program.
inline constexpr wchar_t kSettingsFileName[] = L"软件配置.ini";
