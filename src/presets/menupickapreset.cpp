#include "frmmain.h"
#include "frmpresets.h"

void frmMain::menuPickaPreset_Click()
{
    // A new window each time: it reads the presets file afresh.
    frmPresets presets(*this);
    presets.Form_Load();
    presets.exec();
    // Add sets the clock back to the real date.
    showAlteredState();
    Form_Activate();
}
