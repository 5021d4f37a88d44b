// Starting programs and waiting for them with the running flag, while events keep being handled.

#include "ReportCapture.h"
#include "xProcs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestRunAndWait : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Script(const QByteArray& body)
    {
        const QString path = m_dir.filePath(QStringLiteral("program.sh"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

private slots:
    void flagIsSetWhileTheProgramRuns()
    {
        const QString program = Script("sleep 0.4; exit 3");
        bool running = false;
        QList<bool> seenAtRefresh;
        bool seenByTimer = false;
        QTimer::singleShot(150, [&] { seenByTimer = running; });
        ReportCapture reports;
        QVERIFY(RunAndWait(program, {}, running, [&] { seenAtRefresh.append(running); }));
        QCOMPARE(seenAtRefresh, (QList<bool>{true, false}));
        QVERIFY(seenByTimer);
        QVERIFY(!running);
    }

    // A second program of the same kind started while the first is waited for (a reply window opened
    // from a shown message) ends first: the count stays up for the one still running.
    void countStaysUpWhileAnOuterInstanceRuns()
    {
        const QString inner = m_dir.filePath(QStringLiteral("inner.sh"));
        QVERIFY(QFile::copy(Script("sleep 0.1"), inner));
        const QString outer = Script("sleep 0.6");
        int running = 0;
        int afterInner = -1;
        QTimer::singleShot(100, [&] {
            QVERIFY(RunAndWait(inner, {}, running));
            afterInner = running;
        });
        ReportCapture reports;
        QVERIFY(RunAndWait(outer, {}, running));
        QCOMPARE(afterInner, 1);
        QCOMPARE(running, 0);
    }

    void argumentsAndDirectory()
    {
        const QString out = m_dir.filePath(QStringLiteral("out.txt"));
        const QString program = Script("pwd > \"$2\"; echo \"$1\" >> \"$2\"");
        bool running = false;
        QVERIFY(RunAndWait(program, {QStringLiteral("a b"), out}, running));
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), (m_dir.path() + QStringLiteral("\na b\n")).toUtf8());
    }

    void missingProgramReports73()
    {
        bool running = false;
        int refreshes = 0;
        ReportCapture reports;
        QVERIFY(!RunAndWait(m_dir.filePath(QStringLiteral("nothing")), {}, running, [&] { ++refreshes; }));
        QCOMPARE(refreshes, 0);
        QVERIFY(!running);
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().Id, ProgramNotFoundMessage);
        QVERIFY(!StartProgram(m_dir.filePath(QStringLiteral("nothing"))));
        QVERIFY(!StartProgram(m_dir.path()));
    }
};

QTEST_GUILESS_MAIN(TestRunAndWait)
#include "tst_runandwait.moc"
