#pragma once
// The two languages the windows are checked in, as data rows "de" and "en" of the column "language"
// (the suite's language numbers).

#include <QTest>

inline void AddLanguageRows()
{
    QTest::addColumn<int>("language");
    QTest::newRow("de") << 0;
    QTest::newRow("en") << 2;
}
