// From the click on "Next" (Weiter) on the wizard's first page to the filled server fields, against
// the local servers of the look-up tests: the provider's autoconfig document, a provider file, and
// the worst case where the HTTPS server, the DNS server and every guessed server hang (there the
// time to the end of the look-up is measured). Prints the median and the slowest of each.
//
//   bench_autoconfig [RUNS]     (as root, for the DNS server on port 53; run offscreen)

#include "LookupPage.h"
#include "LookupServers.h"
#include "TestInstallation.h"
#include "Wizzard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>

namespace {

// Milliseconds from the click to filled fields, or to the end of a look-up that found nothing.
qint64 ClickToFilled(const QString& address, const QString& providers)
{
    TWizzardFrm wizard;
    wizard.LookupPage->Options.ProviderDirectory = providers;
    wizard.LookupPage->PrepareTest = [](TConnectionTest& test) { test.BindAddress = QHostAddress(QStringLiteral("127.0.0.2")); };
    wizard.show();
    wizard.SmtpNameEdt->setText(QStringLiteral("Alice"));
    wizard.SmtpAddressEdt->setText(address);
    wizard.PopPasswordEdt->setText(QStringLiteral("secret"));
    QElapsedTimer clock;
    qint64 filled = -1;
    const auto fill = wizard.LookupPage->OnSettingsFound;
    wizard.LookupPage->OnSettingsFound = [&](const TWizardChoices& choices) {
        fill(choices);
        if (filled < 0)
            filled = clock.elapsed();
    };
    clock.start();
    wizard.NextBtn->click();
    while (!wizard.LookupPage->Finished() && clock.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return filled >= 0 ? filled : clock.elapsed();
}

void Report(const char* name, QList<qint64> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%-44s median %6lld ms   slowest %6lld ms   (%lld runs)\n", name, times.at(times.size() / 2), times.last(),
                qint64(times.size()));
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir registry;
    qputenv("LUMARO_REGISTRY", QFile::encodeName(registry.filePath(QStringLiteral("registry.ini"))));
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    TestInstallation installation(QStringLiteral("modules/lmaccounts"));
    LookupServers servers;
    const QString error = servers.Start();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "bench_autoconfig: %s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir providers;
    QFile file(providers.filePath(QStringLiteral("provider.xml")));
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("<clientConfig version=\"1.1\"><emailProvider id=\"p\"><domain>provider.test</domain>"
               "<incomingServer type=\"pop3\"><hostname>localhost</hostname><port>" + QByteArray::number(servers.Pop3.TlsPort())
               + "</port><socketType>SSL</socketType><username>%EMAILLOCALPART%</username></incomingServer>"
                 "<outgoingServer type=\"smtp\"><hostname>localhost</hostname><port>" + QByteArray::number(servers.Smtp.Port())
               + "</port><socketType>STARTTLS</socketType><username>%EMAILLOCALPART%</username></outgoingServer>"
                 "</emailProvider></clientConfig>");
    file.close();

    QList<qint64> autoconfig, provider;
    for (int i = 0; i < runs; ++i) {
        autoconfig.append(ClickToFilled(QStringLiteral("alice@good.test"), providers.path()));
        provider.append(ClickToFilled(QStringLiteral("alice@provider.test"), providers.path()));
    }
    Report("autoconfig document: Next -> filled", autoconfig);
    Report("provider file: Next -> filled", provider);

    QUdpSocket silentDns;
    const QHostAddress dns(QStringLiteral("127.0.0.%1").arg(100 + QCoreApplication::applicationPid() % 100));
    QTcpServer silent;
    if (!silentDns.bind(dns, 53) || !silent.listen(QHostAddress::LocalHost)) {
        std::fprintf(stderr, "bench_autoconfig: cannot start the silent servers\n");
        return 1;
    }
    const QByteArray target = "127.0.0.1:" + QByteArray::number(silent.serverPort());
    qputenv("LUMARO_TEST_DNS_SERVER", dns.toString().toLatin1());
    qputenv("LUMARO_TEST_GUESS_MAP", "pop.hang.test:995=" + target + ",pop.hang.test:110=" + target + ",smtp.hang.test:465=" + target
                                         + ",smtp.hang.test:587=" + target);
    Report("every source hangs: Next -> look-up ended", {ClickToFilled(QStringLiteral("alice@hang.test"), providers.path())});
    return 0;
}
