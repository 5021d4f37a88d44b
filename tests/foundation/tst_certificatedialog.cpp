// The certificate window in both languages: it shows the facts of the certificate, Trust accepts
// and Cancel (the default button, also Enter) refuses, and a changed certificate is announced
// loudly with both fingerprints and its own button caption. The texts behind it: each problem
// kind in the user's language, the error text for a refused certificate.

#include "CertificateDialog.h"
#include "CertificateTexts.h"
#include "LanguageRows.h"
#include "ModalDialogs.h"
#include "Screenshot.h"
#include "tk_langlib.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

Q_DECLARE_METATYPE(TnkCertificateProblem)

namespace {

const QByteArray Fingerprint = "3f:a1:07:5c:9e:22:b4:d0:11:8e:6a:f3:c2:09:7b:e5:44:90:ad:1c:58:2f:e7:63:b9:0d:71:c8:a6:35:fe:12";
const QByteArray OldFingerprint = "aa:bb:cc:dd:ee:ff:00:11:22:33:44:55:66:77:88:99:aa:bb:cc:dd:ee:ff:00:11:22:33:44:55:66:77:88:99";

TnkCertificateFacts Facts(bool changed)
{
    TnkCertificateFacts facts;
    facts.Host = "mail.example.org";
    facts.Port = 995;
    facts.Subject = QStringLiteral("CN=mail.example.org, O=Beispiel GmbH");
    facts.Issuer = QStringLiteral("CN=mail.example.org, O=Beispiel GmbH");
    facts.ValidFrom = QDateTime(QDate(2026, 1, 2), QTime(3, 4), Qt::UTC);
    facts.ValidUntil = QDateTime(QDate(2027, 1, 2), QTime(3, 4), Qt::UTC);
    facts.Fingerprint = Fingerprint;
    facts.Problems = {TnkCertificateProblem::SelfSigned, TnkCertificateProblem::HostNameMismatch};
    if (changed)
        facts.PinnedFingerprint = OldFingerprint;
    return facts;
}

QString Flat(const QString& text) { return QString(text).remove(QLatin1Char('\n')); }

} // namespace

class TestCertificateDialog : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetLanguage(0); }

    void showsTheFacts_data() { AddLanguageRows(); }
    void showsTheFacts()
    {
        QFETCH(int, language);
        SetLanguage(language);
        const TnkCertificateFacts facts = Facts(false);
        TCertificateFrm form(facts);
        form.show();
        QCOMPARE(form.windowTitle(), language == 2 ? QStringLiteral("Check certificate") : QStringLiteral("Zertifikat prüfen"));
        QCOMPARE(form.TrustBtn->text(), language == 2 ? QStringLiteral("&Trust") : QStringLiteral("&Vertrauen"));
        QCOMPARE(form.CancelBtn->text(), language == 2 ? QStringLiteral("Cancel") : QStringLiteral("Abbrechen"));
        QCOMPARE(form.ServerLbl->text(), QStringLiteral("mail.example.org:995"));
        QCOMPARE(form.SubjectLbl->text(), facts.Subject);
        QCOMPARE(form.IssuerLbl->text(), facts.Issuer);
        QVERIFY(form.ValidUntilLbl->text().contains(QLatin1String("27")));
        QCOMPARE(Flat(form.FingerprintLbl->text()), QString::fromLatin1(Fingerprint));
        QVERIFY(form.FingerprintLbl->textInteractionFlags() & Qt::TextSelectableByMouse);
        QVERIFY(form.PinnedFingerprintLbl->isHidden());
        const QString reason = form.ReasonLbl->text();
        QVERIFY2(reason.contains(language == 2 ? QLatin1String("self-signed") : QLatin1String("selbst signiert")), qPrintable(reason));
        QVERIFY2(reason.contains(QLatin1String("\"mail.example.org\"")), qPrintable(reason));
        QVERIFY(form.HeadlineLbl->text().contains(QLatin1String("mail.example.org:995")));
        // Fits the screen; the texts wrap instead of widening the window.
        const QSize available = form.screen()->availableGeometry().size();
        QVERIFY(form.width() <= available.width() && form.height() <= available.height());
        QVERIFY(form.HeadlineLbl->wordWrap() && form.ReasonLbl->wordWrap());
        SaveScreenshot(form, QStringLiteral("certificate-") + (language == 2 ? QLatin1String("en") : QLatin1String("de")));
    }

    void changedCertificateIsAnnouncedLoudly_data() { AddLanguageRows(); }
    void changedCertificateIsAnnouncedLoudly()
    {
        QFETCH(int, language);
        SetLanguage(language);
        TCertificateFrm form(Facts(true));
        form.show();
        QVERIFY(!form.PinnedFingerprintLbl->isHidden());
        QCOMPARE(Flat(form.PinnedFingerprintLbl->text()), QString::fromLatin1(OldFingerprint));
        QCOMPARE(Flat(form.FingerprintLbl->text()), QString::fromLatin1(Fingerprint));
        QVERIFY(form.HeadlineLbl->text().startsWith(language == 2 ? QLatin1String("WARNING") : QLatin1String("ACHTUNG")));
        QCOMPARE(form.TrustBtn->text(),
                 language == 2 ? QStringLiteral("Trust the &new certificate") : QStringLiteral("&Neuem Zertifikat vertrauen"));
        SaveScreenshot(form, QStringLiteral("certificate-changed-") + (language == 2 ? QLatin1String("en") : QLatin1String("de")));
    }

    void answers_data()
    {
        QTest::addColumn<QString>("press");
        QTest::addColumn<bool>("trusted");
        QTest::newRow("trust") << QStringLiteral("trust") << true;
        QTest::newRow("cancel") << QStringLiteral("cancel") << false;
        QTest::newRow("enter: cancel is the default") << QStringLiteral("enter") << false;
        QTest::newRow("escape") << QStringLiteral("escape") << false;
    }
    void answers()
    {
        QFETCH(QString, press);
        QFETCH(bool, trusted);
        QString shownServer;
        WhenModal<TCertificateFrm>([&](TCertificateFrm& form) {
            shownServer = form.ServerLbl->text();
            if (press == QLatin1String("trust"))
                form.TrustBtn->click();
            else if (press == QLatin1String("cancel"))
                form.CancelBtn->click();
            else
                QTest::keyClick(&form, press == QLatin1String("enter") ? Qt::Key_Return : Qt::Key_Escape);
        });
        QCOMPARE(TCertificateFrm::Ask(nullptr, Facts(press == QLatin1String("enter"))), trusted);
        QCOMPARE(shownServer, QStringLiteral("mail.example.org:995"));
    }

    void problemTexts_data()
    {
        QTest::addColumn<TnkCertificateProblem>("problem");
        QTest::addColumn<QString>("german");
        QTest::addColumn<QString>("english");
        QTest::newRow("self-signed") << TnkCertificateProblem::SelfSigned << "selbst signiert" << "self-signed";
        QTest::newRow("issuer") << TnkCertificateProblem::UnknownIssuer << "Aussteller" << "issuer";
        QTest::newRow("expired") << TnkCertificateProblem::Expired << "abgelaufen" << "expired";
        QTest::newRow("not yet valid") << TnkCertificateProblem::NotYetValid << "noch nicht" << "not valid yet";
        QTest::newRow("host name") << TnkCertificateProblem::HostNameMismatch << "\"h.example\"" << "\"h.example\"";
        QTest::newRow("revoked") << TnkCertificateProblem::Revoked << "zurückgezogen" << "revoked";
        QTest::newRow("other") << TnkCertificateProblem::Other << "nicht geprüft" << "not be verified";
    }
    void problemTexts()
    {
        QFETCH(TnkCertificateProblem, problem);
        QFETCH(QString, german);
        QFETCH(QString, english);
        SetLanguage(0);
        QVERIFY(CertificateProblemText(problem, "h.example").contains(german));
        SetLanguage(2);
        QVERIFY(CertificateProblemText(problem, "h.example").contains(english));
    }

    void errorTextNamesBothFingerprintsOfAChangedCertificate()
    {
        SetLanguage(2);
        const QString changed = CertificateErrorText(Facts(true));
        QVERIFY2(changed.contains(QString::fromLatin1(OldFingerprint)) && changed.contains(QString::fromLatin1(Fingerprint)),
                 qPrintable(changed));
        QVERIFY(changed.contains(QLatin1String("has changed")));
        const QString untrusted = CertificateErrorText(Facts(false));
        QVERIFY(!untrusted.contains(QString::fromLatin1(OldFingerprint)));
        QVERIFY(untrusted.contains(QLatin1String("is not trusted")));
    }
};

QTEST_MAIN(TestCertificateDialog)
#include "tst_certificatedialog.moc"
