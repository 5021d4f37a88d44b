#include "PythonMail.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryFile>

QJsonObject ReadWithPython(const QByteArray& message, QString& error)
{
    QTemporaryFile file;
    if (!file.open() || file.write(message) != message.size() || !file.flush()) {
        error = file.errorString();
        return {};
    }
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral(LUMARO_MAIL_READBACK), file.fileName()});
    if (!python.waitForFinished(30000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        error = QStringLiteral("python3: %1 %2").arg(python.errorString(), QString::fromUtf8(python.readAllStandardError()));
        return {};
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(python.readAllStandardOutput(), &parseError);
    if (!document.isObject()) {
        error = parseError.errorString();
        return {};
    }
    return document.object();
}
