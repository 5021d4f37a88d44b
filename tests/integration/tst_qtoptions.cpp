// Qt's own command-line options reach none of the suite's programs: arguments can come from a
// message (a sender's name handed to the address book, a file name), and "-platformpluginpath"
// would make a program load code from wherever the message put it.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

const QStringList Programs = {"lumaro", "lmab", "lmserver", "modules/lmview", "modules/lmagent", "modules/lmaccounts",
                              "tools/lmchglang"};

// Each option would end the program at once, or change what it loads, if Qt saw it.
const QStringList QtOptions = {"-platform", "nosuchplugin", "-platformpluginpath", "/nonexistent",
                               "-stylesheet=/nonexistent.qss", "-plugin", "nosuchplugin"};

// A private copy of the installation tree: the programs create their data directory beside them.
bool CopyInstallation(const QString& target)
{
    return QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), QStringLiteral(LUMARO_DIST_DIR "/."), target}) == 0;
}

} // namespace

class TestQtOptions : public QObject {
    Q_OBJECT

private slots:
    void programsIgnoreQtOptions()
    {
        QTemporaryDir installation;
        QVERIFY(CopyInstallation(installation.path()));
        std::vector<std::unique_ptr<QProcess>> running;
        for (const QString& program : Programs) {
            auto process = std::make_unique<QProcess>();
            process->setProgram(QDir(installation.path()).filePath(program));
            process->setArguments(QtOptions);
            process->start();
            QVERIFY2(process->waitForStarted(), qPrintable(program));
            running.push_back(std::move(process));
        }
        // A program that took the options aborts while it builds its application object.
        QTest::qWait(3000);
        for (std::size_t i = 0; i < running.size(); ++i) {
            QProcess& process = *running[i];
            const bool ended = process.state() == QProcess::NotRunning;
            if (!ended) {
                process.kill();
                process.waitForFinished();
            }
            const QByteArray errors = process.readAllStandardError();
            QVERIFY2(!errors.contains("platform plugin") && !errors.contains("nosuchplugin"),
                     qPrintable(Programs[int(i)] + QLatin1String(": ") + QString::fromLocal8Bit(errors)));
            QVERIFY2(!ended || process.exitStatus() == QProcess::NormalExit, qPrintable(Programs[int(i)]));
        }
    }
};

QTEST_GUILESS_MAIN(TestQtOptions)
#include "tst_qtoptions.moc"
