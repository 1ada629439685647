#include "frmabout.h"
#include "frmmain.h"

void frmMain::cmdAbout_Click()
{
    {
        // A fresh window for every showing: it keeps nothing in between.
        frmabout about(services_, this);
        about.Form_Load();
        about.exec();
    }
    // Only once the About window is gone does the focus belong here again:
    // the date box gets it, with its text selected.
    Form_Activate();
}
