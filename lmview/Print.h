#pragma once
// The print preview: the message laid out on pages with its header block, a zoomable preview, the
// page margins in millimetres or inches, the page set-up, printing through the system print
// dialog and saving as PDF. The margins it shows are handed back through PrintSettings when it
// closes, printed or not.

#include "ViewSettings.h"

#include <QDialog>
#include <QPrinter>

#include <memory>

class QComboBox;
class QLineEdit;
class QMenu;
class QPrintPreviewWidget;
class QPushButton;
class QTabWidget;
class QTextDocument;
class TqmMessage;

class TPrintFrm : public QDialog {
    Q_OBJECT
public:
    TPrintFrm(const TqmMessage& message, const QString& text, const TPrintSettings& settings, const QString& mailFont,
              QWidget* parent = nullptr);
    ~TPrintFrm() override;

    TPrintSettings PrintSettings() const { return m_settings; }
    QPrinter& Printer() { return m_printer; }
    // The laid-out document as it is printed.
    std::unique_ptr<QTextDocument> BuildDocument() const;
    // Takes the dialog's margins, opens the system print dialog and prints; false when cancelled
    // or failed (reported).
    bool PrintBtnClick();
    // Takes the dialog's margins and saves the pages as PDF through a save dialog.
    bool PdfBtnClick();
    // The page set-up: paper, orientation and margins.
    void PrinterBtnClick();

    QTabWidget* PageControl;
    QPrintPreviewWidget* Preview;
    QMenu* ZoomPop;
    QLineEdit* TopEdt;
    QLineEdit* BottomEdt;
    QLineEdit* LeftEdt;
    QLineEdit* RightEdt;
    QComboBox* UnitCmb;
    QPushButton* StandardBtn;
    QPushButton* PrinterBtn;
    QPushButton* PrintBtn;
    QPushButton* PdfBtn;
    QPushButton* CloseBtn;

private:
    QWidget* CreateSettingsPage();
    void ReadMargins();
    void ShowMargins();
    void BuildPages();
    void UnitCmbChange();
    void SetZoom(int percent);

    const TqmMessage& m_message;
    QString m_text;
    TPrintSettings m_settings;
    QFont m_font;
    QPrinter m_printer;
};
