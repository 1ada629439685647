// The last chance: the process ends through exit() while the window still
// stands, so none of the closing steps ran.

#include <QLineEdit>

#include "frmmain.h"

void frmMain::restoreAtExit()
{
    // Nobody may be there to answer a box, and the event loop is gone.
    quiet_ = true;
    realDate();
    if (todayText() == Text1->text())
        return;
    if (AppError error = restoreRealDate())
        reportFailedRestore(error);
}
