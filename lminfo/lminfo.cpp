#include "lminfo.h"

#include "InfoFrm.h"

#include <QApplication>

void ShowInfoDialog()
{
    TInfoFrm info(QApplication::activeWindow());
    info.exec();
}

const char* LminfoGetProgBuild()
{
    return LUMARO_PROGRAM_VERSION " (" LUMARO_SOURCE_REVISION ")";
}
