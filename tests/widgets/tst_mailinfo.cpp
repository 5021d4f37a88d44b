// The message details window: what it shows of a folder message and of a parsed message.

#include "DBMailboxFunctions.h"
#include "Konstanten.h"
#include "MailInfo.h"
#include "ReportCapture.h"
#include "SourceView.h"
#include "qmmsg.h"

#include <QBuffer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Sample = "From: Anna Beispiel <anna@example.org>\r\n"
                          "To: Bob <bob@example.net>, carol@example.net\r\n"
                          "Subject: Hallo\r\n"
                          "Reply-To: replies@example.org\r\n"
                          "X-Mailer: Lumaro Mail 3.20\r\n"
                          "\r\n"
                          "Text.\r\n";

} // namespace

class TestMailInfo : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        InitProgramPaths(m_dir.filePath(QStringLiteral("lumaro")));
    }

    void detailsOfAFolderMessage()
    {
        const TFolderFiles folder = FolderFilesOf(m_dir.filePath(QStringLiteral("Inbox.mbx")));
        QVERIFY(CreateEmptyMessageFile(folder.MessageFile));
        const std::optional<TMessageSpan> span =
            AppendRawBytes(folder.MessageFile, QByteArray(FolderSeparator.data(), FolderSeparator.size()) + Sample);
        QVERIFY(span);
        ReportCapture reports;
        const TMessageDetails details = FolderMessageDetails(folder.MessageFile, span->Offset, span->Length, false);
        QCOMPARE(details.Subject, QStringLiteral("Hallo"));
        QCOMPARE(details.Sender, QStringLiteral("anna@example.org <Anna Beispiel>"));
        QCOMPARE(details.Recipients, QStringLiteral("bob@example.net, carol@example.net"));
        QCOMPARE(details.Size, Sample.size());
        QCOMPARE(details.Source, Sample);
        QVERIFY(details.HeaderLines.first().startsWith(QLatin1String("Content-Type: ")));
        QCOMPARE(details.HeaderLines.mid(1), (QStringList{"X-Mailer: Lumaro Mail 3.20", "Reply-To: replies@example.org"}));
        QVERIFY(!details.Read);
        QVERIFY(!QFile::exists(Paths().System.SourceFile));

        TMailInfoFrm frm;
        frm.Show(details);
        QCOMPARE(frm.SizeLbl->text(), QString::number(Sample.size()));
        QCOMPARE(frm.HeaderLb->count(), 3);
        QVERIFY(frm.SourceMemo->isHidden());
    }

    // The source shown from the details is the stored message byte for byte: 8-bit text of another
    // charset and CR LF survive, and "Speichern unter" writes them back unchanged.
    void sourceKeepsTheStoredBytes()
    {
        ReportCapture reports;
        const QByteArray latin1 = "From: a@example.org\r\nSubject: Gr\xfc\xdf\x65\r\n"
                                  "Content-Type: text/plain; charset=iso-8859-1\r\n\r\nK\xe4se\r\n";
        TqmMessage message;
        QByteArray copy = latin1;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        message.LoadFromStream(buffer);
        TMailInfoFrm frm;
        frm.Show(DetailsOf(message, latin1, latin1.size()));
        frm.SourceBtn->click();
        auto* source = frm.findChild<TSourceFrm*>();
        QVERIFY(source);
        QCOMPARE(source->Source(), latin1);
        QVERIFY(source->SourceMem->toPlainText().endsWith(QStringLiteral("\n\nKäse\n")));
        const QString target = m_dir.filePath(QStringLiteral("source.eml"));
        source->AskSaveFile = [&](const QString&, const QString&, const QString&) { return target; };
        source->SaveAsBtnClick();
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), latin1);
        QVERIFY(!QFile::exists(Paths().System.SourceFile));
    }

    void unreadableMessageShowsTheStoredLength()
    {
        ReportCapture reports;
        const TMessageDetails details = FolderMessageDetails(m_dir.filePath(QStringLiteral("missing.mbx")), 0, 107, true);
        QCOMPARE(details.Size, 100);
        QCOMPARE(reports.Take().size(), 1);
    }
};

QTEST_MAIN(TestMailInfo)
#include "tst_mailinfo.moc"
