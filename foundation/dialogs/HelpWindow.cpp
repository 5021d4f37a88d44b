#include "HelpWindow.h"

#include "FormPlacement.h"
#include "FormTranslation.h"
#include "HelpIndex.h"
#include "HelpPages.h"
#include "RegistryFunctions.h"
#include "tk_langlib.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

enum HelpText { WindowTitle = 580, PagesFound = 581, NothingFound = 582 };
enum HelpTag { BackTag = 890, ForwardTag, ContentsTag, SearchTag };

constexpr int PageNameRole = Qt::UserRole;

QPointer<THelpFrm>& TheHelpWindow()
{
    static QPointer<THelpFrm> window;
    return window;
}

QToolButton* NewToolButton(QWidget* parent, const char* name, const QString& caption, int tag,
                           QStyle::StandardPixmap icon)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setToolTip(QString(caption).remove(QLatin1Char('&')));
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    SetTag(button, tag);
    return button;
}

QString PageNameOf(const QUrl& url)
{
    const QString file = url.fileName();
    return file.endsWith(QLatin1String(HelpPageSuffix)) ? file.chopped(int(qstrlen(HelpPageSuffix))) : QString();
}

} // namespace

THelpFrm::THelpFrm(QWidget* parent)
    : QWidget(parent, Qt::Window), m_library(std::make_unique<THelpLibrary>(HelpLanguageDir()))
{
    setObjectName(QStringLiteral("THelpFrm"));
    setWindowTitle(MessageText(WindowTitle));
    CreateControls();
    ConnectControls();
    TranslateFormIfEnglish(this);
    ShowContents();
    resize(920, 660);
    RestoreFormPlacement(*this, UserContext().Keys.Forms);
}

THelpFrm::~THelpFrm() = default;

void THelpFrm::CreateControls()
{
    BackBtn = NewToolButton(this, "BackBtn", QStringLiteral("&Zurück"), BackTag, QStyle::SP_ArrowBack);
    ForwardBtn = NewToolButton(this, "ForwardBtn", QStringLiteral("&Vorwärts"), ForwardTag, QStyle::SP_ArrowForward);
    ContentsBtn = NewToolButton(this, "ContentsBtn", QStringLiteral("&Inhalt"), ContentsTag, QStyle::SP_DirHomeIcon);
    BackBtn->setEnabled(false);
    ForwardBtn->setEnabled(false);
    SearchEdt = new QLineEdit(this);
    SearchEdt->setObjectName(QStringLiteral("SearchEdt"));
    SearchEdt->setClearButtonEnabled(true);
    auto* searchLbl = new QLabel(QStringLiteral("&Suchen:"), this);
    searchLbl->setBuddy(SearchEdt);
    SetTag(searchLbl, SearchTag);
    ResultLbl = new QLabel(this);
    ResultLbl->setObjectName(QStringLiteral("ResultLbl"));
    ResultLbl->setWordWrap(true);
    ResultLbl->hide();
    PagesLst = new QListWidget(this);
    PagesLst->setObjectName(QStringLiteral("PagesLst"));
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    // The guide links only its own pages; anything else goes to the desktop's browser.
    Browser->setOpenExternalLinks(true);

    auto* tools = new QHBoxLayout;
    tools->addWidget(BackBtn);
    tools->addWidget(ForwardBtn);
    tools->addWidget(ContentsBtn);
    tools->addStretch();
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLbl);
    searchRow->addWidget(SearchEdt, 1);
    leftLayout->addLayout(searchRow);
    leftLayout->addWidget(ResultLbl);
    leftLayout->addWidget(PagesLst, 1);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(left);
    splitter->addWidget(Browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 700});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(splitter, 1);
}

void THelpFrm::ConnectControls()
{
    connect(BackBtn, &QToolButton::clicked, Browser, &QTextBrowser::backward);
    connect(ForwardBtn, &QToolButton::clicked, Browser, &QTextBrowser::forward);
    connect(ContentsBtn, &QToolButton::clicked, this, &THelpFrm::ContentsBtnClick);
    connect(Browser, &QTextBrowser::backwardAvailable, BackBtn, &QToolButton::setEnabled);
    connect(Browser, &QTextBrowser::forwardAvailable, ForwardBtn, &QToolButton::setEnabled);
    connect(Browser, &QTextBrowser::sourceChanged, this, &THelpFrm::BrowserSourceChange);
    connect(SearchEdt, &QLineEdit::textChanged, this, &THelpFrm::SearchEdtChange);
    connect(SearchEdt, &QLineEdit::returnPressed, this, &THelpFrm::SearchEdtReturn);
    connect(PagesLst, &QListWidget::itemActivated, this, &THelpFrm::PagesLstActivate);
    connect(PagesLst, &QListWidget::itemClicked, this, &THelpFrm::PagesLstActivate);
    BackBtn->setShortcut(QKeySequence::Back);
    ForwardBtn->setShortcut(QKeySequence::Forward);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        SearchEdt->setFocus();
        SearchEdt->selectAll();
    });
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
}

void THelpFrm::FillPages(const QStringList& names, const QStringList& titles)
{
    PagesLst->clear();
    for (qsizetype i = 0; i < names.size(); ++i) {
        auto* item = new QListWidgetItem(titles[i], PagesLst);
        item->setData(PageNameRole, names[i]);
    }
    BrowserSourceChange(Browser->source());
}

void THelpFrm::ShowContents()
{
    QStringList names;
    QStringList titles;
    for (const THelpPage& page : m_library->Pages()) {
        names.append(page.Name);
        titles.append(page.Title);
    }
    FillPages(names, titles);
}

void THelpFrm::ShowUrl(const QUrl& url)
{
    show();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    Browser->setSource(url);
    if (!url.fragment().isEmpty())
        Browser->scrollToAnchor(url.fragment());
}

void THelpFrm::SearchEdtChange(const QString& query)
{
    m_searchWords = HelpSearchWords(query);
    if (m_searchWords.isEmpty()) {
        ResultLbl->hide();
        ShowContents();
        return;
    }
    const QList<THelpPage> found = m_library->Search(query);
    QStringList names;
    QStringList titles;
    for (const THelpPage& page : found) {
        names.append(page.Name);
        titles.append(page.Title);
    }
    FillPages(names, titles);
    ResultLbl->setText(found.isEmpty() ? FillIn(MessageText(NothingFound), query.trimmed())
                                       : FillIn(MessageText(PagesFound), QString::number(found.size())));
    ResultLbl->show();
}

void THelpFrm::SearchEdtReturn()
{
    if (PagesLst->count() > 0 && !m_searchWords.isEmpty())
        PagesLstActivate(PagesLst->item(0));
}

void THelpFrm::PagesLstActivate(QListWidgetItem* item)
{
    if (!item)
        return;
    Browser->setSource(QUrl::fromLocalFile(m_library->PagePath(item->data(PageNameRole).toString())));
    // A found page opens at the first place that holds a word searched for.
    if (!m_searchWords.isEmpty()) {
        Browser->moveCursor(QTextCursor::Start);
        if (Browser->find(m_searchWords.first())) {
            // Near the top, with the text before it in sight, rather than on the last line.
            QScrollBar* bar = Browser->verticalScrollBar();
            bar->setValue(bar->value() + Browser->cursorRect().top() - Browser->viewport()->height() / 4);
        }
    }
}

void THelpFrm::BrowserSourceChange(const QUrl& url)
{
    const QString name = PageNameOf(url);
    for (int i = 0; i < PagesLst->count(); ++i) {
        if (PagesLst->item(i)->data(PageNameRole).toString() == name) {
            const QSignalBlocker quiet(PagesLst);
            PagesLst->setCurrentRow(i);
            return;
        }
    }
    PagesLst->clearSelection();
}

void THelpFrm::ContentsBtnClick()
{
    Browser->setSource(QUrl::fromLocalFile(m_library->PagePath(QLatin1String(HelpContentsPage))));
}

void THelpFrm::closeEvent(QCloseEvent* event)
{
    SaveFormPlacement(*this, UserContext().Keys.Forms);
    event->accept();
}

THelpFrm* HelpWindow(QWidget* owner)
{
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* parent = modal ? modal : (owner ? owner->window() : QApplication::activeWindow());
    QPointer<THelpFrm>& window = TheHelpWindow();
    if (window && parent == window.data())
        return window;
    if (!window)
        window = new THelpFrm(parent);
    else if (window->parentWidget() != parent)
        window->setParent(parent, Qt::Window);
    return window;
}

THelpFrm* ExistingHelpWindow()
{
    return TheHelpWindow();
}
