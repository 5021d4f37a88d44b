// The suite's message boxes: texts that quote a subject or a server reply show as plain text, so
// markup in them neither loads files nor draws anything into the box.

#include "ModalDialogs.h"
#include "ReportBoxes.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

namespace {

const QString Hostile = QStringLiteral("-ERR <img src=\"/dev/zero\"> <font color=red>Konto gesperrt</font>");

struct TShownBox {
    Qt::TextFormat Format = Qt::AutoText;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
};

// Records the next message box and presses `press` in it.
void AnswerNextBox(TShownBox& shown, QMessageBox::StandardButton press)
{
    WhenModal<QMessageBox>([&shown, press](QMessageBox& box) {
        shown = {box.textFormat(), box.text(), box.icon()};
        box.button(press)->click();
    });
}

} // namespace

class TestReportBoxes : public QObject {
    Q_OBJECT

private slots:
    void reportsShowPlainText_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("icon");
        QTest::newRow("information") << int(TMessageKind::Information) << int(QMessageBox::Information);
        QTest::newRow("warning") << int(TMessageKind::Warning) << int(QMessageBox::Warning);
        QTest::newRow("error") << int(TMessageKind::Error) << int(QMessageBox::Critical);
    }

    void reportsShowPlainText()
    {
        QFETCH(int, kind);
        TShownBox shown;
        AnswerNextBox(shown, QMessageBox::Ok);
        ShowReportInMessageBox({7, Hostile, TMessageKind(kind)});
        QCOMPARE(shown.Format, Qt::PlainText);
        QCOMPARE(shown.Text, Hostile);
        QTEST(int(shown.Icon), "icon");
    }

    void questionsReturnTheButtonPressed_data()
    {
        QTest::addColumn<int>("press");
        QTest::newRow("yes") << int(QMessageBox::Yes);
        QTest::newRow("no") << int(QMessageBox::No);
    }

    void questionsReturnTheButtonPressed()
    {
        QFETCH(int, press);
        TShownBox shown;
        AnswerNextBox(shown, QMessageBox::StandardButton(press));
        const QMessageBox::StandardButton answer = ShowPlainMessageBox(
            QMessageBox::Question, nullptr, QStringLiteral("Titel"), Hostile, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(int(answer), press);
        QCOMPARE(shown.Format, Qt::PlainText);
    }
};

QTEST_MAIN(TestReportBoxes)
#include "tst_reportboxes.moc"
