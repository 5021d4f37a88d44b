#include "ProgramStart.h"

#include "Konstanten.h"
#include "tk_langlib.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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

namespace {

bool InstallQtTranslation(QCoreApplication& application, const QString& name)
{
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    if (name.isEmpty())
        return true;
    auto* translator = new QTranslator(&application);
    if (!translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}

} // namespace

bool ApplyProgramLanguage(QCoreApplication& application)
{
    const bool english = IsEnglish();
    const QLocale system = QLocale::system();
    // Where the system names no locale, dialogs, dates and numbers follow the interface language
    // instead of Qt's neutral C formats with English month names.
    if (system.language() == QLocale::C)
        QLocale::setDefault(DisplayLocale(system, english));
    ChooseDisplayDateFormat(system, english);
    // Qt's texts are English already; a program switched to English at run time drops the German ones.
    return InstallQtTranslation(application, english ? QString() : QStringLiteral("qtbase_de"));
}
