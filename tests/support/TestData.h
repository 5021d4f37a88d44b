#pragma once
// Locating and reading the sample files below tests/data.

#include <QByteArray>
#include <QString>
#include <QStringList>

// Absolute path of a file or folder below tests/data.
QString TestDataPath(const QString& relative);
// The whole content of a file below tests/data; fails the running test when it cannot be read.
QByteArray ReadTestData(const QString& relative);
// Names of the files in a folder below tests/data that do not end in `excludedSuffix`, sorted.
QStringList TestDataCases(const QString& folder, const QString& excludedSuffix = QStringLiteral(".expected"));
