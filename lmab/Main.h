#pragma once
// The address book's window: the list of contacts and groups with New Contact, New Group, Open,
// Delete, Import/Export and the category settings. The rules are lmab_core's; the dialogs and the
// question can be replaced, so that tests answer them without a person.

#include "AddressFunctions.h"

#include <QMainWindow>

#include <functional>

class QAction;
class TAddressListModel;
class TEnhListView;

class TMainFrm : public QMainWindow {
    Q_OBJECT
public:
    // `arguments`: the command line without the program: "NEW" with last name, first name and
    // address, or with the contact file argument and the file's path.
    explicit TMainFrm(const QStringList& arguments, QWidget* parent = nullptr);

    void ListenForWindowMessages();

    void NewContactItmClick();
    void NewGroupItmClick();
    void OpenItmClick();
    void DeleteItmClick();
    void ImportExportItmClick();
    void SettingsItmClick();
    // Reads the cards of `fileName` into the book and lists them; false when the file is unreadable.
    bool ImportFile(const QString& fileName);
    bool ExportFile(const QString& fileName);

    // Opens the contact or the group dialog on `record` (record number `own`, 0 for a new one);
    // false on Cancel.
    std::function<bool(TAddressRecord& record, QByteArrayList& members, int own)> EditRecord;
    std::function<bool(const QString& question)> AskQuestion;

    TEnhListView* Listview;
    TAddressListModel* Model;
    QAction* NewContactItm;
    QAction* NewGroupItm;
    QAction* OpenItm;
    QAction* DeleteItm;
    QAction* ImportExportItm;
    QAction* ExitItm;
    QAction* SettingsItm;
    QAction* ContentsItm;
    QAction* InfoItm;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    void UpdateCommands();
    bool OpenDialog(TAddressRecord& record, QByteArrayList& members, int own);
    // Runs the dialog until it is cancelled or the record passes its checks.
    bool EditUntilAccepted(TAddressRecord& record, QByteArrayList& members, int own);
    void AddRecord(TAddressRecord record, QByteArrayList members);
    void FillList();
    void SelectRow(int row);

    std::optional<TNewContactArguments> m_newContact;
    QStringList m_categories;
    bool m_activated = false;
};
