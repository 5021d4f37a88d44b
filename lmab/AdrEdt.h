#pragma once
// The contact dialog: category, last and first name, address, preferred sender, signature, default
// subject and notes. OK needs a last name of at least two characters.

#include "DBAddressFunctions.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

class TAdrEdtFrm : public QDialog {
    Q_OBJECT
public:
    TAdrEdtFrm(const QStringList& categories, QWidget* parent = nullptr);

    // Edits `record` modally; on OK the fields (and the contact's key) are copied into it.
    static bool Run(QWidget* parent, TAddressRecord& record, const QStringList& categories);

    void SetRecord(const TAddressRecord& record);
    TAddressRecord Record() const;

    QComboBox* CategoryCmb;
    QLineEdit* LastNameEdt;
    QLineEdit* FirstNameEdt;
    QLineEdit* EmailEdt;
    QComboBox* SenderCmb;
    QComboBox* SignatureCmb;
    QLineEdit* SubjectEdt;
    QLineEdit* InfoEdt;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    TAddressRecord m_record;
};

// Shared by the contact and the group dialog: the sender choice (the stored one, else the default
// account's entry) and the signature choice (an empty entry first).
void FillSenderChoice(QComboBox* box, const QByteArray& stored);
void FillSignatureChoice(QComboBox* box, const QByteArray& stored);
void FillCategoryChoice(QComboBox* box, const QStringList& categories, const QByteArray& stored);
