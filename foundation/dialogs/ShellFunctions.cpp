#include "ShellFunctions.h"

#include "HelpContexts.h"
#include "HelpIndex.h"
#include "HelpWindow.h"
#include "Konstanten.h"
#include "Reporter.h"
#include "xProcs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QKeySequence>
#include <QShortcut>
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

int HelpContextOf(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (const int context = widget->property(HelpContextProperty).toInt())
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

void ShowHelp(int context, QWidget* window)
{
    QUrl url = HelpUrlForContext(context, RunExtractor);
    // A control without a topic of its own still gets the guide rather than nothing.
    if (url.isEmpty() && context != HelpContext::Contents && HelpIndexLoaded())
        url = HelpUrlForContext(HelpContext::Contents, RunExtractor);
    if (url.isEmpty())
        return;
    if (!QFileInfo::exists(url.toLocalFile())) {
        Report(FileNotFoundMessage, TMessageKind::Warning, url.toLocalFile());
        return;
    }
    HelpWindow(window)->ShowUrl(url);
}

void ShowHelpForActiveControl()
{
    QWidget* focus = QApplication::focusWidget();
    ShowHelp(HelpContextOf(focus), focus ? focus->window() : QApplication::activeWindow());
}

void SetHelpContext(QWidget* widget, int context)
{
    widget->setProperty(HelpContextProperty, context);
}

void InstallHelpKey(QWidget* window, int context)
{
    SetHelpContext(window, context);
    auto* key = new QShortcut(QKeySequence::HelpContents, window);
    QObject::connect(key, &QShortcut::activated, window, [] { ShowHelpForActiveControl(); });
}
