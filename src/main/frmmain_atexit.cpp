// The last chance: the process ends through exit() while the window still
// stands, so none of the closing steps ran.

#include <QLineEdit>

#include "datekeeper.h"
#include "frmmain.h"

void frmMain::restoreAtExit()
{
    // Nobody may be there to answer a box, and the event loop is gone.
    quiet_ = true;
    realDate();
    DateKeeper& keeper = *services_.keeper;
    if (todayText() == Text1->text() && !keeper.altered() && !keeper.syncPaused())
        return;
    // No authorisation prompt: nobody may be there to answer it.
    if (AppError error = keeper.restore(false).clock)
        reportFailedRestore(error);
}
