#include "TestData.h"

#include <QDir>
#include <QFile>
#include <QTest>

QString TestDataPath(const QString& relative)
{
    const QString root = qEnvironmentVariable("LUMARO_TEST_DATA");
    return QDir(root).filePath(relative);
}

QByteArray ReadTestData(const QString& relative)
{
    QFile file(TestDataPath(relative));
    if (!file.open(QIODevice::ReadOnly)) {
        QTest::qFail(qPrintable(QStringLiteral("cannot read test data %1").arg(file.fileName())), __FILE__, __LINE__);
        return {};
    }
    return file.readAll();
}

QStringList TestDataCases(const QString& folder, const QString& excludedSuffix)
{
    QStringList cases;
    const QStringList names = QDir(TestDataPath(folder)).entryList(QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (!name.endsWith(excludedSuffix))
            cases << name;
    }
    return cases;
}
