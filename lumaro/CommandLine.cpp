#include "CommandLine.h"

#include <QByteArray>
#include <QStringList>
#include <QUrl>

namespace {

const QString MailtoPrefix = QStringLiteral("mailto:");
const QString SubjectPrefix = QStringLiteral("SUBJECT=");
const QString UserPrefix = QStringLiteral("-U");
const QString EmlSuffix = QStringLiteral(".eml");
const QString FilePrefix = QStringLiteral("file:");

// Links from browsers arrive percent-encoded ("Hello%20World"); a "%" without two hex digits stays.
QString Decoded(const QString& text)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8()));
}

TArgumentAction MailtoAction(QString link)
{
    if (link.startsWith(MailtoPrefix, Qt::CaseInsensitive))
        link.remove(0, MailtoPrefix.size());
    const qsizetype question = link.indexOf(QLatin1Char('?'));
    TArgumentAction action;
    action.Kind = TArgumentKind::Mailto;
    QString recipients = question < 0 ? link : link.left(question);
    recipients.remove(QLatin1Char('<')).remove(QLatin1Char('>'));
    action.Recipients = Decoded(recipients);
    if (question < 0)
        return action;
    for (const QString& parameter : link.mid(question + 1).split(QLatin1Char('&'))) {
        if (parameter.left(SubjectPrefix.size()).toUpper() == SubjectPrefix)
            action.Subject = Decoded(parameter.mid(SubjectPrefix.size()));
    }
    return action;
}

TArgumentAction EmlAction(const QString& path)
{
    TArgumentAction action;
    action.Kind = TArgumentKind::EmlFile;
    action.Path = path;
    return action;
}

} // namespace

TArgumentAction ParseArgument(const QString& argument)
{
    // The desktop may hand a message file over as a "file:" URL (the registration's "%u"); its path is
    // a path even when it holds an "@".
    const QString local = argument.startsWith(FilePrefix, Qt::CaseInsensitive) ? QUrl(argument).toLocalFile() : QString();
    if (!local.isEmpty())
        return local.endsWith(EmlSuffix, Qt::CaseInsensitive) ? EmlAction(local) : TArgumentAction{};
    if (argument.startsWith(MailtoPrefix, Qt::CaseInsensitive) || argument.contains(QLatin1Char('@')))
        return MailtoAction(argument);
    if (argument.endsWith(EmlSuffix, Qt::CaseInsensitive))
        return EmlAction(argument);
    return {};
}

std::optional<QString> UserOfArgument(const QString& argument)
{
    if (!argument.startsWith(UserPrefix, Qt::CaseInsensitive))
        return std::nullopt;
    return argument.mid(UserPrefix.size());
}
