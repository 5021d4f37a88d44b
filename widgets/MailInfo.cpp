#include "MailInfo.h"

#include "DBMailboxFunctions.h"
#include "FormTranslation.h"
#include "Konstanten.h"
#include "SourceView.h"
#include "qmdates.h"
#include "qmmsg.h"
#include "qmsource.h"

#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

// Room for the window manager's title bar buttons beside the title.
constexpr int TitleBarButtonsWidth = 160;

enum Tags { FormTag = 514, SentTag = 515, RecipientsTag = 516, SizeTag = 517, HeaderTag = 518, SourceTag = 520 };
constexpr std::array<const char*, 4> ShownHeaders{"X-Mailer", "Reply-To", "Return-Receipt-To",
                                                  "Disposition-Notification-To"};

bool HasField(const TqmHeaders& headers, const char* name)
{
    const QByteArray prefix = QByteArray(name) + ':';
    return std::any_of(headers.cbegin(), headers.cend(),
                       [&](const QByteArray& line) { return line.left(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0; });
}

QString Text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

QString LocalDateOf(const TqmMessage& message)
{
    const TDateTime date = MailDateToLocal(message.Headers.GetFieldBody("Date"));
    if (date == 0)
        return {};
    return DateTimeToQDateTime(date).toString(Paths().DisplayDateFormat);
}

QLabel* TaggedLabel(const QString& text, int tag, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    SetTag(label, tag);
    return label;
}

QLabel* ValueLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

TMessageDetails DetailsOf(const TqmMessage& message, const QByteArray& source, qint64 size)
{
    TMessageDetails details;
    details.Subject = Text(message.Subject);
    details.Sender = Text(message.Sender.Address + " <" + message.Sender.Name + ">");
    QStringList recipients;
    for (qsizetype i = 0; i < message.Recipients.Count(); ++i)
        recipients.append(Text(message.Recipients.Items(i).Address));
    details.Recipients = recipients.join(QStringLiteral(", "));
    details.Date = LocalDateOf(message);
    details.Size = size;
    details.HeaderLines.append(QStringLiteral("Content-Type: ") + Text(message.GetContentType()));
    for (const char* name : ShownHeaders) {
        if (HasField(message.Headers, name))
            details.HeaderLines.append(QLatin1String(name) + QLatin1String(": ") + Text(message.Headers.GetFieldBody(name)));
    }
    details.Source = source;
    return details;
}

TMessageDetails FolderMessageDetails(const QString& messageFile, qint64 offset, qint64 length, bool read)
{
    TqmMessage message;
    LoadMessage(messageFile, offset, length, message);
    const QString sourceFile = Paths().System.SourceFile;
    QByteArray source;
    qint64 size = length - FolderSeparator.size();
    if (ExportMessage(messageFile, sourceFile, offset, length)) {
        QFile file(sourceFile);
        if (file.open(QIODevice::ReadOnly)) {
            source = file.readAll();
            size = file.size();
        }
        file.remove();
    }
    TMessageDetails details = DetailsOf(message, source, size);
    details.Read = read;
    return details;
}

TMailInfoFrm::TMailInfoFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MailInfoFrm"));
    setWindowTitle(QStringLiteral("Eigenschaften der Nachricht"));
    SetTag(this, FormTag);
    ReadImg = new QLabel(this);
    SubjectLbl = ValueLabel(this);
    QFont bold = SubjectLbl->font();
    bold.setBold(true);
    SubjectLbl->setFont(bold);
    FromLbl = ValueLabel(this);
    SentLbl = TaggedLabel(QStringLiteral("Gesendet:"), SentTag, this);
    DateLbl = ValueLabel(this);
    RecipientsLbl = TaggedLabel(QStringLiteral("Empfänger:"), RecipientsTag, this);
    ToLbl = ValueLabel(this);
    ToLbl->setWordWrap(true);
    SizeCaptionLbl = TaggedLabel(QStringLiteral("Größe in Bytes:"), SizeTag, this);
    SizeLbl = ValueLabel(this);
    HeaderLbl = TaggedLabel(QStringLiteral("Erweiterte Header-Informationen:"), HeaderTag, this);
    HeaderLb = new QListWidget(this);
    SourceMemo = new QPlainTextEdit(this);
    SourceMemo->setReadOnly(true);
    SourceMemo->hide();
    SourceBtn = new QPushButton(QStringLiteral("&Quelltext"), this);
    SetTag(SourceBtn, SourceTag);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    connect(SourceBtn, &QPushButton::clicked, this, &TMailInfoFrm::SourceBtnClick);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(ReadImg);
    top->addWidget(SubjectLbl, 1);
    auto* form = new QFormLayout;
    form->addRow(QString(), FromLbl);
    form->addRow(SentLbl, DateLbl);
    form->addRow(RecipientsLbl, ToLbl);
    form->addRow(SizeCaptionLbl, SizeLbl);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SourceBtn);
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(form);
    layout->addWidget(HeaderLbl);
    layout->addWidget(HeaderLb);
    layout->addWidget(SourceMemo);
    layout->addLayout(buttons);
    TranslateFormIfEnglish(this);
    // The window manager cuts a title that is wider than the window; leave room for its buttons.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + TitleBarButtonsWidth);
}

void TMailInfoFrm::Show(const TMessageDetails& details)
{
    const auto icon = details.Read ? QStyle::SP_DialogOpenButton : QStyle::SP_FileIcon;
    ReadImg->setPixmap(style()->standardIcon(icon).pixmap(32, 32));
    SubjectLbl->setText(details.Subject);
    FromLbl->setText(details.Sender);
    DateLbl->setText(details.Date);
    ToLbl->setText(details.Recipients);
    SizeLbl->setText(QString::number(details.Size));
    HeaderLb->clear();
    HeaderLb->addItems(details.HeaderLines);
    SourceMemo->setPlainText(MessageSourceText(details.Source));
    m_source = details.Source;
    m_subject = details.Subject;
}

// The stored bytes, not the memo's text: a trip through the memo would change 8-bit text of other
// charsets and the line ends.
void TMailInfoFrm::SourceBtnClick()
{
    auto* source = new TSourceFrm(m_source, m_subject, this);
    source->setAttribute(Qt::WA_DeleteOnClose);
    source->open();
}
