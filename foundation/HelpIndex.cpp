#include "HelpIndex.h"

#include "Konstanten.h"
#include "Reporter.h"
#include "tk_langlib.h"
#include "xProcs.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {

constexpr int HelpNotInstalledMessage = 501;

std::optional<QByteArray>& CachedIndex()
{
    static std::optional<QByteArray> index;
    return index;
}

QString PagePath(const QString& pageName)
{
    return Paths().Program.HelpDir + QLatin1Char('/') + pageName + QLatin1String(HelpPageSuffix);
}

// After unpacking, the page that links into the help directory is generated from its template.
void UnpackHelp(const std::function<bool(const QString&)>& runAndWait)
{
    const TProgramPaths& p = Paths().Program;
    if (!QFileInfo::exists(p.HelpExtractor) || !runAndWait || !runAndWait(p.HelpExtractor))
        return;
    if (!QFileInfo::exists(p.HelpIndexFile))
        return;
    QFile::remove(p.HelpExtractor);
    ForgetHelpIndex();
    QFile index(p.HelpIndexFile);
    if (!index.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = index.readAll();
    const QString templatePage = HelpPageName(content, HelpUnpackedTemplate);
    const QString unpackedPage = HelpPageName(content, HelpUnpackedPage);
    if (!templatePage.isEmpty() && !unpackedPage.isEmpty())
        ReplaceInFile(PagePath(templatePage), PagePath(unpackedPage), QString::fromLatin1(HelpLinkPlaceholder),
                      p.HelpDir + QLatin1Char('/'));
}

} // namespace

QString HelpPageName(const QByteArray& index, int context)
{
    const QByteArray prefix = QByteArray::number(context) + ' ';
    for (QByteArray line : index.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith(prefix))
            return QString::fromUtf8(line.mid(prefix.size()));
    }
    return {};
}

QString HelpLanguageDir(bool english)
{
    return Paths().Program.HelpDir + (english ? QLatin1String("/en") : QLatin1String("/de"));
}

QString HelpLanguageDir()
{
    return HelpLanguageDir(IsEnglish());
}

QUrl HelpUrlForContext(int context, const std::function<bool(const QString&)>& runAndWait)
{
    UnpackHelp(runAndWait);
    std::optional<QByteArray>& index = CachedIndex();
    if (!index) {
        QFile file(Paths().Program.HelpIndexFile);
        if (!file.open(QIODevice::ReadOnly)) {
            Report(HelpNotInstalledMessage, TMessageKind::Warning);
            return {};
        }
        index = file.readAll();
    }
    const QString entry = HelpPageName(*index, context);
    if (entry.isEmpty())
        return {};
    const qsizetype hash = entry.indexOf(QLatin1Char('#'));
    QUrl url = QUrl::fromLocalFile(HelpLanguageDir() + QLatin1Char('/') + entry.left(hash)
                                   + QLatin1String(HelpPageSuffix));
    if (hash >= 0)
        url.setFragment(entry.mid(hash + 1));
    return url;
}

bool HelpIndexLoaded()
{
    return CachedIndex().has_value();
}

void ForgetHelpIndex()
{
    CachedIndex().reset();
}
