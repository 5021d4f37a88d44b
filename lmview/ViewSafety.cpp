#include "ViewSafety.h"

#include "tk_langlib.h"

#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

#include <array>

namespace {

constexpr int MsgVirusWarning = 2;
constexpr int MsgAttachmentNamed = 31;
constexpr int MsgAttachmentRuns = 32;

// Types that run commands when the desktop opens them; subclasses (application/x-sharedlib,
// application/x-pie-executable, text/x-python3 …) count through QMimeType::inherits.
constexpr std::array<const char*, 19> RunningTypes = {
    "application/x-executable", "application/x-sharedlib", "application/x-pie-executable",
    "application/x-shellscript", "application/x-desktop", "application/x-msdownload",
    "application/x-ms-dos-executable", "application/vnd.microsoft.portable-executable",
    "application/x-msi", "application/x-java-archive", "application/x-perl", "text/x-python",
    "application/x-ruby", "application/javascript", "application/x-bat", "application/x-ms-shortcut",
    "application/vnd.appimage", "application/x-csh", "text/x-tcl"};

bool Runs(const QMimeType& type)
{
    for (const char* name : RunningTypes)
        if (type.inherits(QLatin1String(name)))
            return true;
    return false;
}

QString ComparableHost(const QUrl& url)
{
    QString host = QString::fromLatin1(QUrl::toAce(url.host())).toLower();
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (host.startsWith(QLatin1String("www.")))
        host.remove(0, 4);
    return host;
}

// The address a visible text stands for, invalid when the text is no address.
QUrl ShownAddress(const QString& visibleText)
{
    const QString text = visibleText.trimmed();
    if (text.isEmpty() || text.contains(QRegularExpression(QStringLiteral("\\s"))))
        return {};
    static const QRegularExpression withScheme(QStringLiteral("^(https?|ftp)://"), QRegularExpression::CaseInsensitiveOption);
    if (withScheme.match(text).hasMatch())
        return QUrl(text);
    // A bare host name needs a dot and a top-level label of letters: "www.bank.example/x".
    static const QRegularExpression bareHost(QStringLiteral("^[\\w-]+(\\.[\\w-]+)*\\.[^\\W\\d_]{2,}\\.?(/.*)?$"),
                                             QRegularExpression::UseUnicodePropertiesOption);
    if (bareHost.match(text).hasMatch())
        return QUrl(QLatin1String("http://") + text);
    return {};
}

} // namespace

TAttachmentType AttachmentTypeOf(const QString& fileName, const QByteArray& data)
{
    const QMimeDatabase database;
    QMimeType type = database.mimeTypeForFileNameAndData(fileName, data);
    for (const QMimeType& alone : {database.mimeTypeForData(data), database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension)}) {
        if (!Runs(type) && Runs(alone))
            type = alone;
    }
    return {type.name(), type.comment(), Runs(type)};
}

QString OpenWarningText(const QString& fileName, const TAttachmentType& type)
{
    const QString description = type.Description.isEmpty() ? type.MimeName : type.Description;
    QStringList paragraphs{FillInEach(MessageText(MsgAttachmentNamed), {fileName, description, type.MimeName})};
    if (type.Runs)
        paragraphs.append(MessageText(MsgAttachmentRuns));
    paragraphs.append(MessageText(MsgVirusWarning));
    return paragraphs.join(QLatin1String("\n\n"));
}

QString MisleadingLinkHost(const QString& visibleText, const QUrl& target)
{
    const QUrl shown = ShownAddress(visibleText);
    if (!shown.isValid() || shown.host().isEmpty())
        return {};
    const QString shownHost = ComparableHost(shown);
    return shownHost == ComparableHost(target) ? QString() : shown.host();
}
