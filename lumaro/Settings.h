#pragma once
// The Settings dialog of the main client: five pages (General, Send, Receive, Maintenance, Advanced)
// over a copy of the user's settings. The rules live in SettingsFunctions; this form shows the values,
// sends every change through them, plays the sounds, registers the program with the desktop and
// hands the Users, Phrases, Filter and Columns buttons to the main window's commands. The caller
// reads Values() after OK and WarningsResetChosen() after OK and Cancel alike.

#include "SettingsFunctions.h"
#include "regftyp.h"

#include <QDialog>
#include <QFont>

#include <functional>
#include <optional>

class QCheckBox;
class QGridLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class TSoundPlayer;

// How the dialog asks and tells the user; tests replace them.
struct TSettingsDialogs {
    std::function<bool(const QString& text)> AskOkCancel;
    std::function<void(const QString& text)> Inform;
    std::function<void(const QString& text)> Warn;
    std::function<std::optional<QString>(const QString& start)> ChooseSoundFile;
    std::function<std::optional<QFont>(const QFont& current)> ChooseFont;
};

// The main window's commands behind the buttons of the General page; an empty one is not built yet.
struct TSettingsCommands {
    std::function<void()> Users;
    std::function<void()> Phrases;
    std::function<void()> Filter;
    std::function<void()> Columns;
};

class TSettingsFrm : public QDialog {
    Q_OBJECT
public:
    enum TPage { pgGeneral, pgSend, pgReceive, pgMaintenance, pgAdvanced };

    explicit TSettingsFrm(QWidget* parent = nullptr);

    // Fills the controls; `signatures` are the names of the phrases of the signature category.
    void Setup(const TSettingsValues& values, const QStringList& signatures);
    const TSettingsValues& Values() const { return m_values; }
    // After the Phrases button: the signature names again, the chosen one kept.
    void FillSignatures(const QStringList& signatures);
    // After the Filter button, whose dialog sets "execute automatically" itself: OK must not undo it.
    void TakeAutoLocalFilter(bool on) { m_values.General.AutoLocalFilter = on; }
    bool WarningsResetChosen() const { return m_warningsReset; }

    TSettingsDialogs Dialogs;
    TSettingsCommands Commands;
    TRegistrationPaths Registration;

    // Components
    QTabWidget* PageControl;
    QCheckBox* ShowTreeviewChk;
    QCheckBox* ShowComboboxChk;
    QPushButton* FontBtn;
    QPushButton* StandardFontBtn;
    QLabel* FontDisplayLbl;
    QCheckBox* HighlightUrlsChk;
    QCheckBox* HighlightQuotingChk;
    QCheckBox* HtmlViewingChk;
    QPushButton* UsersBtn;
    QPushButton* PhrasesBtn;
    QPushButton* FilterBtn;
    QPushButton* ColumnsBtn;
    QRadioButton* EncodingMimeChk;
    QRadioButton* EncodingUUChk;
    QComboBox* CharsetCmb;
    QPushButton* StandardBtn;
    QCheckBox* QuoteMailsChk;
    QCheckBox* AutoChooseRecipientChk;
    QCheckBox* AutoSignatureChk;
    QComboBox* SignatureCmb;
    QCheckBox* AutoRequestReceiptChk;
    QCheckBox* SoundNewMailChk;
    QLineEdit* SoundNewMailPan;
    QPushButton* SoundNewMailBtn;
    QPushButton* SoundNewMailTestBtn;
    QCheckBox* SoundNoMailChk;
    QLineEdit* SoundNoMailPan;
    QPushButton* SoundNoMailBtn;
    QPushButton* SoundNoMailTestBtn;
    QCheckBox* EmptyTrashChk;
    QPushButton* WarningsStandardBtn;
    QCheckBox* LogActiveChk;
    QLabel* LogWarningLbl;
    QPushButton* MailclientBtn;
    QLabel* MailclientStatusLbl;
    QPushButton* EmlBtn;
    QLabel* EmlStatusLbl;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* HelpBtn;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* CreateGeneralPage();
    QWidget* CreateSendPage();
    QWidget* CreateReceivePage();
    QWidget* CreateMaintenancePage();
    QWidget* CreateAdvancedPage();
    void CreateSoundRow(QGridLayout* grid, int row, QCheckBox*& check, QLineEdit*& panel, QPushButton*& browse,
                        QPushButton*& test);
    void ConnectControls();
    void ConnectGeneralPage();
    void ConnectSendPage();
    void ConnectSoundRow(QCheckBox* check, QPushButton* browse, QPushButton* test,
                         bool TGeneralSettings::*play, QString TGeneralSettings::*file, TSoundPlayer* player);
    void ShowValues();
    void ShowFont();
    void ShowRegistration();
    void Change(TSettingsEvent event, const QString& signature = {});
    void RunCommand(const std::function<void()>& command, QPushButton* button);
    void FontBtnClick();
    void ChooseSound(QString TGeneralSettings::*file);
    void TestSound(TSoundPlayer* player, const QString& file);
    void ShowEnabling();
    void WarningsStandardBtnClick();
    void RegisterBtnClick(TRegistration registration);
    void HelpBtnClick();

    TSettingsValues m_values;
    TSoundPlayer* m_newMailPlayer;
    TSoundPlayer* m_noMailPlayer;
    bool m_mailclientRegistered = false;
    bool m_emlRegistered = false;
    bool m_warningsReset = false;
};
