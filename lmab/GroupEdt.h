#pragma once
// The group dialog: the page "Gruppe" (name, category, sender, subject, signature, notes) and the
// members page (member lines, fields for a new member, and the book's contacts to pick from).

#include "DBAddressFunctions.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

class TGroupEdtFrm : public QDialog {
    Q_OBJECT
public:
    TGroupEdtFrm(const QStringList& categories, QWidget* parent = nullptr);

    // Edits `record` and `members` modally; `own` is the group's record number (0 for a new one),
    // left out of the contact list.
    static bool Run(QWidget* parent, TAddressRecord& record, QByteArrayList& members, const QStringList& categories,
                    int own);

    void SetRecord(const TAddressRecord& record, const QByteArrayList& members);
    TAddressRecord Record() const;
    QByteArrayList Members() const;

    void AddBtnClick();
    void RemoveBtnClick();
    void ContactsLbClick();

    std::function<bool(const QString& question)> AskQuestion;

    QTabWidget* PageControl;
    QLineEdit* NameEdt;
    QComboBox* CategoryCmb;
    QComboBox* SenderCmb;
    QLineEdit* SubjectEdt;
    QComboBox* SignatureCmb;
    QLineEdit* InfoEdt;
    QListWidget* MembersLb;
    QLineEdit* AddressEdt;
    QLineEdit* DisplayNameEdt;
    QPushButton* AddBtn;
    QPushButton* RemoveBtn;
    QListWidget* ContactsLb;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    QWidget* GroupPage();
    QWidget* MembersPage();

    TAddressRecord m_record;
};
