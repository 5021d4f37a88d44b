#pragma once
// The window "Zertifikat prüfen" / "Check certificate": shows a server certificate the system
// does not trust (server, subject, issuer, validity, SHA-256 fingerprint, the reasons in the
// user's language) and lets the user trust it or not. When a pinned certificate was replaced it
// says so loudly, names both fingerprints and labels its button "Trust the new certificate".
// Cancel is the default button: Enter never trusts.
//
// Use, where a connection fails:
//
//     try {
//         pop.OpenConnection();
//     } catch (const ECertificateError& error) {          // nkcertificate.h
//         if (!TCertificateFrm::Ask(parent, error.Facts()))
//             throw;                                      // or show the error
//         // CertificatePins.h: stores the pin for that server of the account, sets it on `pop`
//         TrustCertificate(accountName, TMailService::Pop, error.Facts(), pop);
//         pop.OpenConnection();                           // retry once
//     }
//
// A caller without a stored account yet (the wizard's connection test) passes an empty account
// name, which stores nothing, keeps PinFromFacts(error.Facts()) and writes it with the account
// (TAccountSecurity::PopPin / SmtpPin, WriteAccountSecurity).

#include "nkcertificate.h"

#include <QDialog>

class QLabel;
class QPushButton;

class TCertificateFrm : public QDialog {
    Q_OBJECT
public:
    explicit TCertificateFrm(const TnkCertificateFacts& facts, QWidget* parent = nullptr);

    // True when the user chose to trust the certificate.
    static bool Ask(QWidget* parent, const TnkCertificateFacts& facts);

    QLabel* HeadlineLbl;
    QLabel* ServerLbl;
    QLabel* SubjectLbl;
    QLabel* IssuerLbl;
    QLabel* ValidFromLbl;
    QLabel* ValidUntilLbl;
    QLabel* FingerprintLbl;
    // Shown only when the certificate changed: the fingerprint trusted so far.
    QLabel* PinnedFingerprintLbl;
    QLabel* ReasonLbl;
    QPushButton* TrustBtn;
    QPushButton* CancelBtn;

private:
    void FitToScreen();
};
