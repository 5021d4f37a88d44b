#include "SourceView.h"

#include "AtomicFile.h"
#include "FormTranslation.h"
#include "Reporter.h"
#include "tk_langlib.h"
#include "qmsource.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

enum Messages { MsgTitle = 230, MsgNotFound = 231, MsgSaveFailed = 232, MsgSaveTitle = 233 };
enum Tags { FindTag = 801, FindNextTag = 802, CaseTag = 803, SaveAsTag = 804, CloseTag = 805 };

template <typename Widget>
Widget* Tagged(Widget* widget, const char* name, int tag)
{
    widget->setObjectName(QLatin1String(name));
    SetTag(widget, tag);
    return widget;
}

} // namespace

TSourceFrm::TSourceFrm(const QByteArray& source, const QString& subject, QWidget* parent)
    : QDialog(parent), m_source(source)
{
    setObjectName(QStringLiteral("SourceFrm"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    const QString title = FillIn(MessageText(MsgTitle), subject);
    setWindowTitle(title.isEmpty() ? QStringLiteral("Quelltext") : title);
    SourceMem = new QPlainTextEdit(this);
    SourceMem->setObjectName(QStringLiteral("SourceMem"));
    SourceMem->setReadOnly(true);
    SourceMem->setLineWrapMode(QPlainTextEdit::NoWrap);
    SourceMem->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    SourceMem->setPlainText(MessageSourceText(m_source));
    SourceMem->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    FindLbl = Tagged(new QLabel(QStringLiteral("&Suchen:"), this), "FindLbl", FindTag);
    FindEdt = new QLineEdit(this);
    FindEdt->setObjectName(QStringLiteral("FindEdt"));
    FindLbl->setBuddy(FindEdt);
    FindNextBtn = Tagged(new QPushButton(QStringLiteral("&Weitersuchen"), this), "FindNextBtn", FindNextTag);
    CaseChk = Tagged(new QCheckBox(QStringLiteral("&Groß-/Kleinschreibung"), this), "CaseChk", CaseTag);
    FindStatusLbl = new QLabel(this);
    FindStatusLbl->setObjectName(QStringLiteral("FindStatusLbl"));
    FindStatusLbl->setTextFormat(Qt::PlainText);
    SaveAsBtn = Tagged(new QPushButton(QStringLiteral("Speichern &unter..."), this), "SaveAsBtn", SaveAsTag);
    CloseBtn = Tagged(new QPushButton(QStringLiteral("Schließen"), this), "CloseBtn", CloseTag);
    SaveAsBtn->setAutoDefault(false);
    CloseBtn->setAutoDefault(false);
    FindNextBtn->setAutoDefault(false);

    auto* search = new QHBoxLayout;
    search->addWidget(FindLbl);
    search->addWidget(FindEdt, 1);
    search->addWidget(FindNextBtn);
    search->addWidget(CaseChk);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(FindStatusLbl, 1);
    buttons->addWidget(SaveAsBtn);
    buttons->addWidget(CloseBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addWidget(SourceMem, 1);
    layout->addLayout(buttons);

    connect(FindNextBtn, &QPushButton::clicked, this, &TSourceFrm::FindNext);
    connect(FindEdt, &QLineEdit::returnPressed, this, &TSourceFrm::FindNext);
    connect(FindEdt, &QLineEdit::textChanged, FindStatusLbl, &QLabel::clear);
    connect(SaveAsBtn, &QPushButton::clicked, this, &TSourceFrm::SaveAsBtnClick);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        FindEdt->setFocus();
        FindEdt->selectAll();
    });
    connect(new QShortcut(QKeySequence::FindNext, this), &QShortcut::activated, this, &TSourceFrm::FindNext);
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this, &TSourceFrm::SaveAsBtnClick);
    AskSaveFile = [this](const QString& caption, const QString& proposed, const QString& filter) {
        return QFileDialog::getSaveFileName(this, caption, proposed, filter);
    };
    resize(780, 560);
    TranslateFormIfEnglish(this);
    SourceMem->setFocus();
}

bool TSourceFrm::FindNext()
{
    const QString text = FindEdt->text();
    if (text.isEmpty())
        return false;
    const QTextDocument::FindFlags flags = CaseChk->isChecked() ? QTextDocument::FindCaseSensitively : QTextDocument::FindFlags();
    if (!SourceMem->find(text, flags)) {
        QTextCursor start = SourceMem->textCursor();
        start.movePosition(QTextCursor::Start);
        SourceMem->setTextCursor(start);
        if (!SourceMem->find(text, flags)) {
            FindStatusLbl->setText(FillIn(MessageText(MsgNotFound), text));
            return false;
        }
    }
    FindStatusLbl->clear();
    return true;
}

void TSourceFrm::SaveAsBtnClick()
{
    const QStringList texts = MessageText(MsgSaveTitle).split(QLatin1Char('|'));
    const QString target = AskSaveFile(texts.value(0), QString(), texts.mid(1).join(QLatin1String(";;")));
    if (target.isEmpty())
        return;
    TAtomicFile file(target);
    if (!file.Open() || !file.Write(m_source) || !file.Commit())
        Report(MsgSaveFailed, TMessageKind::Warning, file.ErrorString());
}
