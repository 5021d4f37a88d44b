#include "ShellFunctions.h"

#include "HelpIndex.h"
#include "Konstanten.h"
#include "Reporter.h"
#include "tk_langlib.h"
#include "xProcs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QWidget>

namespace {

constexpr int FileNotFoundMessage = 502;

bool RunExtractor(const QString& program)
{
    bool running = false;
    return RunAndWait(program, {}, running);
}

// Page 901 is made from template 900 so that English users see a link to the page in question.
QString EnglishLinkPage(const QString& page)
{
    const QString templatePage = HelpPageForContext(HelpLinkTemplate, RunExtractor);
    const QString linkPage = HelpPageForContext(HelpLinkPage, RunExtractor);
    if (templatePage.isEmpty() || linkPage.isEmpty())
        return page;
    ReplaceInFile(templatePage, linkPage, QString::fromLatin1(HelpLinkPlaceholder), page);
    return linkPage;
}

int HelpContextOf(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (const int context = widget->property("HelpContext").toInt())
            return context;
    }
    return 0;
}

} // namespace

bool OpenDocument(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool OpenWebPage(const QString& url)
{
    return QDesktopServices::openUrl(QUrl(url));
}

void ShowHelp(int context, QWidget*)
{
    if (context == 0)
        return;
    QString page = HelpPageForContext(context, RunExtractor);
    if (page.isEmpty())
        return;
    if (IsEnglish())
        page = EnglishLinkPage(page);
    if (!QFileInfo::exists(page)) {
        Report(FileNotFoundMessage, TMessageKind::Warning, page);
        return;
    }
    OpenDocument(page);
}

void ShowHelpForActiveControl()
{
    ShowHelp(HelpContextOf(QApplication::focusWidget()));
}
