#pragma once
// The message details window: subject, sender, date, recipients, size, the content type and a few
// further header lines, and the raw source behind the "Quelltext" button.

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class TqmMessage;

struct TMessageDetails {
    QString Subject;
    QString Sender;
    QString Recipients;
    QString Date;
    qint64 Size = 0;
    QStringList HeaderLines;
    QByteArray Source;
    bool Read = true;
};

// The details of a parsed message; `size` and `source` are given by the caller.
TMessageDetails DetailsOf(const TqmMessage& message, const QByteArray& source, qint64 size);

// The details of a message of a folder: the message is exported to the message source file to
// measure and read it (size = stored length - 7 when that fails), then the file is deleted.
TMessageDetails FolderMessageDetails(const QString& messageFile, qint64 offset, qint64 length, bool read);

class TMailInfoFrm : public QDialog {
    Q_OBJECT
public:
    explicit TMailInfoFrm(QWidget* parent = nullptr);
    void Show(const TMessageDetails& details);

    QLabel* ReadImg;
    QLabel* SubjectLbl;
    QLabel* FromLbl;
    QLabel* SentLbl;
    QLabel* DateLbl;
    QLabel* RecipientsLbl;
    QLabel* ToLbl;
    QLabel* SizeCaptionLbl;
    QLabel* SizeLbl;
    QLabel* HeaderLbl;
    QListWidget* HeaderLb;
    QPlainTextEdit* SourceMemo;
    QPushButton* SourceBtn;
    QPushButton* OKBtn;

private:
    void SourceBtnClick();

    QByteArray m_source;
    QString m_subject;
};
