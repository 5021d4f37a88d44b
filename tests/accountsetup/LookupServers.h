#pragma once
// The servers behind an address look-up test, all on 127.0.0.1 (dnsmasq on a loopback address of
// its own, port 53): Dovecot for POP3 and a second one for IMAP only (alice/secret, TLS required,
// one message each), the SMTP server, the autoconfig HTTPS server naming them, and SRV records for
// srv.test (POP3) and imapsrv.test (IMAP). The guessed names: guess.test (POP3), imapguess.test (IMAPS), imapstarttls.test (IMAP
// with STARTTLS on the mail. name) and both.test (POP3 and IMAP). Each test program starts them
// once; the look-up's test variables point at them.

#include "TestServers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTemporaryDir>

class LookupServers {
public:
    LookupServers() = default;
    LookupServers(const LookupServers&) = delete;
    LookupServers& operator=(const LookupServers&) = delete;
    ~LookupServers()
    {
        for (QProcess* process : {&m_autoconfig, &m_dns}) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
        }
    }

    static QByteArray Message() { return "From: Bob <bob@example.org>\r\nTo: alice@good.test\r\nSubject: Willkommen\r\n\r\nHallo Alice\r\n"; }

    // An error text, empty on success.
    QString Start()
    {
        QString error = TestServer::MakeCertificates(Certificates.path());
        if (!error.isEmpty())
            return error;
        QFile message(m_mail.filePath(QStringLiteral("1.eml")));
        if (!message.open(QIODevice::WriteOnly) || message.write(Message()) < 0)
            return QStringLiteral("cannot write the message");
        message.close();
        if (!(error = Pop3.StartPop3(QStringLiteral("alice"), QStringLiteral("secret"), m_mail.path(), Certificates.path())).isEmpty())
            return error;
        if (!(error = Imap.StartImap(QStringLiteral("alice"), QStringLiteral("secret"), m_mail.path(), Certificates.path())).isEmpty())
            return error;
        if (!(error = Smtp.StartSmtp(Received.path(), QStringLiteral("alice"), QStringLiteral("secret"), {}, Certificates.path())).isEmpty())
            return error;
        if (!(error = StartAutoconfig()).isEmpty())
            return error;
        // Without root no DNS server on port 53: the SRV cases then say so and are skipped.
        DnsError = StartDns();
        qputenv("LUMARO_TEST_AUTOCONFIG_URL", "https://localhost:" + QByteArray::number(AutoconfigPort));
        qputenv("LUMARO_TEST_DNS_SERVER", DnsAddress.toString().toLatin1());
        const QByteArray pop3s = "=localhost:" + QByteArray::number(Pop3.TlsPort());
        const QByteArray imaps = "=localhost:" + QByteArray::number(Imap.TlsPort());
        const QByteArray submission = "=localhost:" + QByteArray::number(Smtp.Port());
        qputenv("LUMARO_TEST_GUESS_MAP", "pop.guess.test:995" + pop3s + ",smtp.guess.test:587" + submission
                                             + ",imap.imapguess.test:993" + imaps + ",smtp.imapguess.test:587" + submission
                                             + ",mail.imapstarttls.test:143=localhost:" + QByteArray::number(Imap.Port())
                                             + ",mail.imapstarttls.test:587" + submission + ",pop.both.test:995" + pop3s
                                             + ",imap.both.test:993" + imaps + ",smtp.both.test:587" + submission);
        return {};
    }

    QTemporaryDir Certificates;
    QTemporaryDir Received;
    TestServer Pop3;
    TestServer Imap;
    TestServer Smtp;
    quint16 AutoconfigPort = 0;
    QHostAddress DnsAddress;
    QString DnsError;

private:
    QString StartAutoconfig()
    {
        const QString pop3 = QStringLiteral("localhost:%1:SSL").arg(Pop3.TlsPort());
        const QString smtp = QStringLiteral("localhost:%1:STARTTLS").arg(Smtp.Port());
        const QString imap = QStringLiteral("localhost:%1:SSL").arg(Imap.TlsPort());
        m_autoconfig.start(QStringLiteral(LUMARO_TESTSERVERS_DIR "/autoconfig-server.py"),
                           {Certificates.path(), QStringLiteral("--pop3"), pop3, QStringLiteral("--smtp"), smtp,
                            QStringLiteral("--imap"), imap});
        if (!m_autoconfig.waitForStarted(10000) || !m_autoconfig.waitForReadyRead(20000))
            return QStringLiteral("autoconfig-server.py: ") + QString::fromLocal8Bit(m_autoconfig.readAllStandardError());
        AutoconfigPort = QString::fromLatin1(m_autoconfig.readLine()).section(QLatin1Char(' '), 0, 0).toUShort();
        return AutoconfigPort ? QString() : QStringLiteral("unexpected output of autoconfig-server.py");
    }

    // dnsmasq serves only its own records, on a loopback address chosen from the process id so that
    // test programs running at once do not meet.
    QString StartDns()
    {
        const qint64 pid = QCoreApplication::applicationPid();
        DnsAddress = QHostAddress(QStringLiteral("127.%1.%2.%3").arg(50 + pid % 100).arg((pid / 100) % 250 + 1).arg(pid % 200 + 2));
        const QString pop3s = QStringLiteral("--srv-host=_pop3s._tcp.srv.test,localhost,%1,0,1").arg(Pop3.TlsPort());
        const QString submission = QStringLiteral("--srv-host=_submission._tcp.srv.test,localhost,%1,0,1").arg(Smtp.Port());
        const QString imaps = QStringLiteral("--srv-host=_imaps._tcp.imapsrv.test,localhost,%1,0,1").arg(Imap.TlsPort());
        const QString imapSubmission = QStringLiteral("--srv-host=_submission._tcp.imapsrv.test,localhost,%1,0,1").arg(Smtp.Port());
        // A heavier record of lower preference, and "." (no such service): neither may be chosen.
        const QString unwanted = QStringLiteral("--srv-host=_submission._tcp.srv.test,nowhere.invalid,25,10,100");
        m_dns.start(QStringLiteral("dnsmasq"),
                    {QStringLiteral("--keep-in-foreground"), QStringLiteral("--no-resolv"), QStringLiteral("--no-hosts"),
                     QStringLiteral("--bind-interfaces"), QStringLiteral("--listen-address=") + DnsAddress.toString(),
                     QStringLiteral("--port=53"), QStringLiteral("--user=root"), QStringLiteral("--pid-file"), pop3s, submission, imaps, imapSubmission,
                     unwanted, QStringLiteral("--srv-host=_submissions._tcp.srv.test,.")});
        if (!m_dns.waitForStarted(10000))
            return QStringLiteral("dnsmasq: ") + m_dns.errorString();
        if (m_dns.waitForFinished(500))
            return QStringLiteral("dnsmasq: ") + QString::fromLocal8Bit(m_dns.readAllStandardError());
        return {};
    }

    QTemporaryDir m_mail;
    QProcess m_autoconfig;
    QProcess m_dns;
};
