// Throughput of the POP3 and SMTP clients against local servers, printed as one line per run:
//   bench_network pop3 HOST:PORT USER PASSWORD [SECURITY]   (none, auto, starttls, tls; default none)
//   bench_network smtp HOST:PORT COUNT MESSAGE_FILE
// bench_network.sh and bench_pop3_tls.sh start the servers and run the Python references in the
// same run.

#include "qmmsg.h"
#include "qmpop3.h"
#include "qmsmtp.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

void Report(const char* name, qint64 messages, qint64 bytes, qint64 elapsedMs)
{
    const double seconds = qMax<qint64>(1, elapsedMs) / 1000.0;
    std::printf("%-34s %6lld msgs %8.1f MB %7.2f s %9.0f msgs/s %7.1f MB/s\n", name, static_cast<long long>(messages),
                bytes / 1e6, seconds, messages / seconds, bytes / 1e6 / seconds);
    std::fflush(stdout);
}

void Configure(TqmRemotePOP& pop, int argc, char** argv)
{
    pop.Server = argv[2];
    pop.UserName = argv[3];
    pop.Password = argv[4];
    pop.Security = argc > 5 ? SecurityFromText(argv[5]) : TqmSecurity::secNone;
}

QByteArray RunName(const TqmRemotePOP& pop, const char* what)
{
    return "TqmRemotePOP " + SecurityText(pop.Security) + ' ' + what;
}

void BenchRetrieve(int argc, char** argv)
{
    TqmRemotePOP pop;
    Configure(pop, argc, argv);
    qint64 bytes = 0;
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { bytes += contents.size(); };
    QElapsedTimer clock;
    clock.start();
    pop.OpenConnection();
    for (int i = 0; i < pop.MessageCount; ++i)
        pop.RetrieveMessage(i);
    pop.CloseConnection();
    Report(RunName(pop, "LIST+RETR each").constData(), pop.MessageCount, bytes, clock.elapsed());
}

// What the agent does with a mailbox it knows: the unique ids, then every message retrieved
// through Transfer, whose RETR commands go out in windows where the server pipelines.
void BenchPipelinedRetrieve(int argc, char** argv)
{
    TqmRemotePOP pop;
    Configure(pop, argc, argv);
    pop.KeepConnection = true;
    qint64 bytes = 0;
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { bytes += contents.size(); };
    QElapsedTimer clock;
    clock.start();
    pop.UpdateUIDL();
    for (int i = 0; i < pop.RemoteInfo.Count(); ++i)
        pop.MarkToRetrieve(i);
    const QByteArray name = RunName(pop, pop.Pipelines() ? "UIDL+RETR pipelined" : "UIDL+RETR");
    pop.Transfer();
    Report(name.constData(), pop.RemoteInfo.Count(), bytes, clock.elapsed());
}

void BenchTransfer(int argc, char** argv)
{
    TqmRemotePOP pop;
    Configure(pop, argc, argv);
    pop.KeepConnection = true;
    qint64 bytes = 0;
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { bytes += contents.size(); };
    QElapsedTimer clock;
    clock.start();
    pop.UpdateRemoteInfoAndUIDL();
    for (int i = 0; i < pop.RemoteInfo.Count(); ++i)
        pop.MarkToRetrieve(i);
    pop.Transfer();
    Report(RunName(pop, "update+Transfer").constData(), pop.RemoteInfo.Count(), bytes, clock.elapsed());
}

void Compose(TqmMessage& message, const QByteArray& text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    message.LoadFromStream(buffer);
    message.Sender.Address = "sender@example.org";
    if (message.Recipients.Count() == 0)
        message.Recipients.AddAddress("rcpt@example.org", {});
}

void BenchSmtp(char** argv)
{
    const int count = QByteArray(argv[3]).toInt();
    QFile file(QString::fromLocal8Bit(argv[4]));
    if (!file.open(QIODevice::ReadOnly))
        throw EMessageError(file.errorString());
    QByteArray text = file.readAll();
    TqmMessage message;
    Compose(message, text);
    {
        TqmSMTP smtp;
        smtp.Server = argv[2];
        smtp.MailMessage = &message;
        QBuffer device(&text);
        device.open(QIODevice::ReadOnly);
        QElapsedTimer clock;
        clock.start();
        smtp.OpenConnection();
        for (int i = 0; i < count; ++i)
            smtp.SendMessageData(device);
        smtp.CloseConnection();
        Report("TqmSMTP encoded text", count, qint64(count) * text.size(), clock.elapsed());
    }
    TqmSMTP smtp;
    smtp.Server = argv[2];
    smtp.MailMessage = &message;
    QElapsedTimer clock;
    clock.start();
    smtp.OpenConnection();
    for (int i = 0; i < count; ++i)
        smtp.Send_Message();
    smtp.CloseConnection();
    Report("TqmSMTP Send_Message (encodes)", count, qint64(count) * text.size(), clock.elapsed());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    try {
        if (mode == "pop3" && (argc == 5 || argc == 6)) {
            BenchRetrieve(argc, argv);
            BenchPipelinedRetrieve(argc, argv);
            if (argc == 5)
                BenchTransfer(argc, argv);
        } else if (mode == "smtp" && argc == 5) {
            BenchSmtp(argv);
        } else {
            std::fprintf(stderr, "usage: bench_network pop3 HOST:PORT USER PASSWORD [SECURITY] | smtp HOST:PORT COUNT MESSAGE_FILE\n");
            return 2;
        }
    } catch (const EqmException& error) {
        std::fprintf(stderr, "bench_network: %s\n", error.what());
        return 1;
    }
    return 0;
}
