#include "store/hook_settings.h"

#include "res/resource.h"

const char kSettingsKeyPath[] = "Software\\QBL\\KMXHooks\\Application_Prefs";

// "M-&Lelt" is how the hooks' users have always seen it; keep it.
const HookSetting kHookSettings[kHookSettingCount] = {
    {"use_GetUpdateRect", IDC_GETUPDATERECT, "Get Update &Regions", 1, IDC_GETUPDATERECT},
    {"use_Timer", IDC_TIMER, "Use &Timer updates", 0, IDC_TIMER},
    {"use_KeyPress", IDC_KEYPRESS, "Update on &KeyPress", 1, IDC_KEYPRESS},
    {"use_LButtonUp", IDC_LBUTTONUP, "Update on M-&Lelt", 1, IDC_LBUTTONUP},
    {"use_MButtonUp", IDC_MBUTTONUP, "Update on M-&Middle", 1, IDC_MBUTTONUP},
    {"use_RButtonUp", IDC_RBUTTONUP, "Update on M-&Right", 1, IDC_RBUTTONUP},
    {"use_Deferral", IDC_DEFERRAL, "Use &Deferred updates", 1, IDC_DEFERRAL},
};
