#pragma once
// The phrase editor: name, category and text of one phrase. OK saves through the phrase store and
// keeps the editor open when the store refuses (name taken, old file not deletable, write failed).

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TFloskelnConf2Frm : public QDialog {
    Q_OBJECT
public:
    explicit TFloskelnConf2Frm(QWidget* parent = nullptr);

    // An empty `name` starts a new phrase in `category`; otherwise the phrase's text is loaded
    // (message 11 and an empty text when that fails).
    void Setup(const QStringList& categories, const QString& category, const QString& name);
    QString Category() const;
    QString Name() const;

    QLineEdit* FloskelNameEdt;
    QComboBox* CategoryCmb;
    QPlainTextEdit* FloskelMem;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void Changed();
    void OKBtnClick();

    QString m_oldCategory;
    QString m_oldName;
    bool m_changed = false;
};
