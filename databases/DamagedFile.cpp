#include "DamagedFile.h"

#include "Reporter.h"
#include "tk_langlib.h"

#include <QFile>

namespace {

constexpr int KeptAsText = 515;
constexpr int NotSetAsideText = 516;

} // namespace

QString SetDamagedFileAside(const QString& path, const QDate& today)
{
    const QString base = path + QStringLiteral(".damaged-") + today.toString(Qt::ISODate);
    QString target = base;
    for (int n = 2; QFile::exists(target); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    return QFile::rename(path, target) ? target : QString();
}

bool RecreateDamagedDatabase(const QString& path, int messageId, const std::function<bool()>& create)
{
    const QString kept = SetDamagedFileAside(path);
    if (kept.isEmpty()) {
        Report(NotSetAsideText, TMessageKind::Error, path);
        return false;
    }
    ReportText(messageId, TMessageKind::Warning,
               MessageText(messageId) + QLatin1Char('\n') + FillIn(MessageText(KeptAsText), kept));
    return create();
}
