#include <QTest>
class TestPlaceholder : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestPlaceholder)
#include "tst_maildates.moc"
