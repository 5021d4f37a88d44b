// The transfer agent: carries out the one job the main client left in the job file, then ends.

#include "Main.h"
#include "ProgramStart.h"
#include "ReportBoxes.h"
#include "SharedFunctions.h"
#include "qmpump.h"

#include <QApplication>
#include <QLabel>

#include <cstdio>

namespace {

// Unattended test runs: no box waits for a click; the texts go to stderr, questions get Yes.
void PrintReport(const TUserMessage& message)
{
    std::fprintf(stderr, "report %d: %s\n", message.Id, qPrintable(message.Text));
}

bool AnswerYes(const QString& text)
{
    std::fprintf(stderr, "question: %s\n", qPrintable(text));
    return true;
}

// A certificate is trusted only when LUMARO_TEST_CERTIFICATE_ANSWER says "trust".
bool AnswerCertificate(const TnkCertificateFacts& facts)
{
    std::fprintf(stderr, "certificate: %s:%u %s pinned=%s\n", facts.Host.constData(), unsigned(facts.Port),
                 facts.Fingerprint.constData(), facts.PinnedFingerprint.constData());
    return qEnvironmentVariable("LUMARO_TEST_CERTIFICATE_ANSWER") == QLatin1String("trust");
}

std::optional<QByteArray> AnswerNoPassword(const QString& caption, const QString& text)
{
    std::fprintf(stderr, "password for %s: %s\n", qPrintable(caption), qPrintable(text));
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[])
{
    TProgramArguments arguments(argc, argv);
    TurnOffCoreDumps();
    QApplication app(arguments.QtArgc, arguments.QtArgv);
    QApplication::setApplicationName(QStringLiteral("Lumaro Mail"));
    const bool unattended = qEnvironmentVariable("LUMARO_TEST_AUTOCLOSE") == QLatin1String("1");
    SetReportHandler(unattended ? PrintReport : ShowReportInMessageBox);
    SetMessagePump([] { QCoreApplication::processEvents(); });
    InitProgramForActiveUser(QApplication::applicationFilePath());
    ApplyProgramLanguage(app);

    TAgentFrm agentFrm(DefaultRasBackend(), unattended);
    if (unattended) {
        agentFrm.AskQuestion = AnswerYes;
        agentFrm.AskCertificate = AnswerCertificate;
        agentFrm.AskPassword = AnswerNoPassword;
    }
    agentFrm.show();
    const int result = QApplication::exec();
    if (unattended)
        std::fprintf(stderr, "status: %s\n", qPrintable(agentFrm.StatusLbl->text()));
    return agentFrm.ErrorFlag() ? 1 : result;
}
