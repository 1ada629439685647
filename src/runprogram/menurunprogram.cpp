#include "frmmain.h"
#include "frmrunprogram.h"

#include <QLineEdit>

void frmMain::menuRunProgram_Click()
{
    frmRunProgram dialog(this, Text2->text(), services().dates);
    dialog.exec();
    Form_Activate();
}
