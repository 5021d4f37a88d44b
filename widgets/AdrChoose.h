#pragma once
// The recipient chooser: the contacts and groups of the address book, filtered by category, and
// the three lists To, CC and BCC the user fills from them. Adding a contact with a preferred
// sender to To takes over its sender, subject and signature into the three labels, which the
// message window applies when the dialog closes with OK.

#include <QDialog>
#include <QStringList>

#include <functional>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;
class QTreeWidget;
struct TAddressRecord;

// The recipients an entry adds, each with its name as "Name <address>" (FormatMailbox): a contact
// its first and last name with its address; a group each member line of its group file (address,
// ";", name), or for an older group record each ","-separated address of its field.
QStringList RecipientAddressesOf(const TAddressRecord& record);

enum class TRecipientList { To, CC, BCC };

class TAdrChooseFrm : public QDialog {
    Q_OBJECT
public:
    // `categories`: the user's categories joined with "|"; "alle"/"all" is put in front.
    TAdrChooseFrm(const QString& categories, QWidget* parent = nullptr);

    // The three lists from the address fields (split at ",") and the list to focus.
    void SetLists(const QStringList& to, const QStringList& cc, const QStringList& bcc, TRecipientList focused);
    QStringList Addresses(TRecipientList list) const;
    // Reads the address book again into the list, keeping the chosen category.
    void FillList();
    // Offers `categories` behind "alle"/"all", keeping the chosen one when it is still there.
    void SetCategories(const QStringList& categories);

    // Runs the address book program and waits for it; set by the owner.
    std::function<void()> RunAddressBook;

    QToolButton* AdrBookBtn;
    QComboBox* CategoryCmb;
    QTreeWidget* Listview;
    QPushButton* ToAddBtn;
    QPushButton* CCAddBtn;
    QPushButton* BCCAddBtn;
    QPushButton* ToDelBtn;
    QPushButton* CCDelBtn;
    QPushButton* BCCDelBtn;
    QListWidget* ToLb;
    QListWidget* CCLb;
    QListWidget* BCCLb;
    QLabel* SenderLbl;
    QLabel* SubjectLbl;
    QLabel* SignatureLbl;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QListWidget* ListOf(TRecipientList list) const;
    void AddSelected(TRecipientList list);
    void RemoveSelected(QListWidget* list);
    void TakeOverPreferences(const TAddressRecord& record);
};
