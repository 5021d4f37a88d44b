#pragma once
// The source window: the stored text of one message, read-only in a fixed-pitch font, each part in
// the charset it declares, with a search bar and "Speichern unter", which writes the stored bytes
// exactly as they are. The message window and the message details open it; it owns a copy of the
// bytes, so it outlives nothing it was opened from.

#include <QByteArray>
#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TSourceFrm : public QDialog {
    Q_OBJECT
public:
    TSourceFrm(const QByteArray& source, const QString& subject, QWidget* parent = nullptr);

    const QByteArray& Source() const { return m_source; }
    // Selects the next hit of the search text after the selection, from the start again after the
    // end; false (and a note beside the search bar) when the text holds none.
    bool FindNext();
    void SaveAsBtnClick();

    // Asks for the file to write (title, proposed path, filters); empty when cancelled. Tests
    // replace the file dialog.
    std::function<QString(const QString& title, const QString& proposed, const QString& filter)> AskSaveFile;

    QPlainTextEdit* SourceMem;
    QLabel* FindLbl;
    QLineEdit* FindEdt;
    QPushButton* FindNextBtn;
    QCheckBox* CaseChk;
    QLabel* FindStatusLbl;
    QPushButton* SaveAsBtn;
    QPushButton* CloseBtn;

private:
    QByteArray m_source;
};
