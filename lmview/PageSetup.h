#pragma once
// The page set-up of the print preview: paper size, orientation and the four margins in the
// unit the preview shows. It works for every printer, the PDF output included, and hands the
// margins back into the preview's settings, so that they are kept when the pages are built again.

#include "ViewSettings.h"

#include <QDialog>
#include <QPageLayout>

class QComboBox;
class QDialogButtonBox;
class QLineEdit;

class TPageSetupFrm : public QDialog {
    Q_OBJECT
public:
    TPageSetupFrm(const QPageLayout& layout, const TPrintSettings& settings, QWidget* parent = nullptr);

    // The chosen paper size and orientation (margins as given).
    QPageLayout PaperLayout() const;
    // The settings with the margins as entered; a field that is no number keeps its margin.
    TPrintSettings PrintSettings() const;

    QComboBox* PaperCmb;
    QComboBox* OrientationCmb;
    QLineEdit* TopEdt;
    QLineEdit* BottomEdt;
    QLineEdit* LeftEdt;
    QLineEdit* RightEdt;
    QDialogButtonBox* Buttons;

private:
    QWidget* CreatePaperGroup();
    QWidget* CreateMarginGroup();

    QPageLayout m_layout;
    TPrintSettings m_settings;
};
