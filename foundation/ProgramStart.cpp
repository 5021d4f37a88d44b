#include "ProgramStart.h"

#include <QFile>

#include <sys/prctl.h>

TProgramArguments::TProgramArguments(int argc, char* argv[])
{
    static char fallbackName[] = "lumaro";
    QtArgv[0] = argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName;
    for (int i = 1; i < argc; ++i)
        Own.append(QFile::decodeName(argv[i]));
}

void TurnOffCoreDumps()
{
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}
