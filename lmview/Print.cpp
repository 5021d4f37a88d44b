#include "Print.h"

#include "FormTranslation.h"
#include "PageSetup.h"
#include "PrintCommands.h"
#include "PrintFunctions.h"
#include "qmmsg.h"

#include <QActionGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

constexpr int PdfBtnTag = 862;

QLineEdit* MarginEdit()
{
    auto* edit = new QLineEdit;
    edit->setMaximumWidth(80);
    return edit;
}

} // namespace

TPrintFrm::TPrintFrm(const TqmMessage& message, const QString& text, const TPrintSettings& settings,
                     const QString& mailFont, QWidget* parent)
    : QDialog(parent), PageControl(new QTabWidget), ZoomPop(new QMenu(this)), TopEdt(MarginEdit()),
      BottomEdt(MarginEdit()), LeftEdt(MarginEdit()), RightEdt(MarginEdit()), UnitCmb(new QComboBox),
      StandardBtn(new QPushButton(QStringLiteral("&Standard"))), PrinterBtn(new QPushButton(QStringLiteral("Druck&er..."))),
      PrintBtn(new QPushButton(QStringLiteral("&Drucken..."))),
      PdfBtn(new QPushButton(QStringLiteral("Als &PDF speichern..."))), CloseBtn(new QPushButton(QStringLiteral("Schließen"))),
      m_message(message), m_text(text), m_settings(settings), m_font(PrintFont(mailFont)),
      m_printer(QPrinter::HighResolution)
{
    setObjectName(QStringLiteral("TPrintFrm"));
    setWindowTitle(QStringLiteral("Nachricht drucken"));
    SetTag(this, 180);
    m_printer.setDocName(QString::fromUtf8(message.Subject));
    Preview = new QPrintPreviewWidget(&m_printer);
    Preview->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* zoomGroup = new QActionGroup(this);
    for (const int percent : {25, 50, 75, 100}) {
        QAction* action = ZoomPop->addAction(QStringLiteral("Zoom %1%").arg(percent));
        action->setCheckable(true);
        action->setChecked(percent == 50);
        zoomGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, percent] { SetZoom(percent); });
    }
    PageControl->addTab(Preview, QStringLiteral("Seitenvorschau"));
    PageControl->addTab(CreateSettingsPage(), QStringLiteral("Einstellungen"));
    SetTag(Preview, 181);
    SetTag(StandardBtn, 182);
    SetTag(PrinterBtn, 183);
    SetTag(PrintBtn, 184);
    SetTag(PdfBtn, PdfBtnTag);
    SetTag(CloseBtn, 185);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(PrintBtn);
    buttons->addWidget(PdfBtn);
    buttons->addWidget(CloseBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl, 1);
    layout->addLayout(buttons);
    resize(640, 620);

    connect(Preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* printer) { PaintPages(*BuildDocument(), *printer); });
    connect(Preview, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { ZoomPop->exec(Preview->mapToGlobal(at)); });
    connect(PageControl, &QTabWidget::currentChanged, this, &TPrintFrm::BuildPages);
    for (QLineEdit* edit : {TopEdt, BottomEdt, LeftEdt, RightEdt})
        connect(edit, &QLineEdit::editingFinished, this, &TPrintFrm::BuildPages);
    connect(UnitCmb, &QComboBox::currentIndexChanged, this, &TPrintFrm::UnitCmbChange);
    connect(StandardBtn, &QPushButton::clicked, this, [this] {
        m_settings = StandardMargins(m_settings);
        ShowMargins();
        BuildPages();
    });
    connect(PrinterBtn, &QPushButton::clicked, this, &TPrintFrm::PrinterBtnClick);
    connect(PrintBtn, &QPushButton::clicked, this, [this] {
        if (PrintBtnClick())
            accept();
    });
    connect(PdfBtn, &QPushButton::clicked, this, &TPrintFrm::PdfBtnClick);
    connect(CloseBtn, &QPushButton::clicked, this, [this] {
        ReadMargins();
        reject();
    });
    ShowMargins();
    TranslateFormIfEnglish(this);
    BuildPages();
    SetZoom(50);
}

TPrintFrm::~TPrintFrm() = default;

QWidget* TPrintFrm::CreateSettingsPage()
{
    auto* page = new QWidget;
    SetTag(page, 192);
    auto* margins = new QGroupBox(QStringLiteral("Seitenränder"));
    SetTag(margins, 186);
    auto* form = new QFormLayout(margins);
    const QList<std::tuple<QString, QLineEdit*, int>> rows{{QStringLiteral("&Oberer Rand:"), TopEdt, 187},
                                                          {QStringLiteral("&Unterer Rand:"), BottomEdt, 188},
                                                          {QStringLiteral("&Linker Rand:"), LeftEdt, 189},
                                                          {QStringLiteral("&Rechter Rand:"), RightEdt, 190}};
    for (const auto& [text, edit, tag] : rows) {
        auto* label = new QLabel(text);
        label->setBuddy(edit);
        SetTag(label, tag);
        form->addRow(label, edit);
    }
    UnitCmb->addItems({QStringLiteral("Millimeter"), QStringLiteral("Inches")});
    SetTag(UnitCmb, 191);
    form->addRow(UnitCmb);
    form->addRow(StandardBtn);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(margins);
    layout->addWidget(PrinterBtn, 0, Qt::AlignLeft);
    layout->addStretch();
    return page;
}

void TPrintFrm::ShowMargins()
{
    const QSignalBlocker blocker(UnitCmb);
    UnitCmb->setCurrentIndex(int(m_settings.Unit));
    TopEdt->setText(MarginText(m_settings.MarginTop, m_settings.Unit));
    BottomEdt->setText(MarginText(m_settings.MarginBottom, m_settings.Unit));
    LeftEdt->setText(MarginText(m_settings.MarginLeft, m_settings.Unit));
    RightEdt->setText(MarginText(m_settings.MarginRight, m_settings.Unit));
}

void TPrintFrm::ReadMargins()
{
    const TMeasureUnit unit = m_settings.Unit;
    m_settings.MarginTop = MarginFromText(TopEdt->text(), unit, m_settings.MarginTop);
    m_settings.MarginBottom = MarginFromText(BottomEdt->text(), unit, m_settings.MarginBottom);
    m_settings.MarginLeft = MarginFromText(LeftEdt->text(), unit, m_settings.MarginLeft);
    m_settings.MarginRight = MarginFromText(RightEdt->text(), unit, m_settings.MarginRight);
}

void TPrintFrm::UnitCmbChange()
{
    ReadMargins();
    m_settings.Unit = TMeasureUnit(UnitCmb->currentIndex());
    ShowMargins();
    BuildPages();
}

void TPrintFrm::BuildPages()
{
    ReadMargins();
    m_printer.setPageLayout(PrintPageLayout(m_printer.pageLayout(), m_settings));
    Preview->updatePreview();
}

std::unique_ptr<QTextDocument> TPrintFrm::BuildDocument() const
{
    return BuildPrintDocument(m_message, m_text, m_font);
}

bool TPrintFrm::PrintBtnClick()
{
    PageControl->setCurrentIndex(0);
    BuildPages();
    return PrintWithDialog(this, m_printer, *BuildDocument(), m_settings);
}

bool TPrintFrm::PdfBtnClick()
{
    BuildPages();
    return SavePdfWithDialog(this, *BuildDocument(), m_printer.pageLayout(), QString::fromUtf8(m_message.Subject));
}

void TPrintFrm::PrinterBtnClick()
{
    ReadMargins();
    TPageSetupFrm setup(m_printer.pageLayout(), m_settings, this);
    if (setup.exec() != QDialog::Accepted)
        return;
    m_settings = setup.PrintSettings();
    m_printer.setPageLayout(PrintPageLayout(setup.PaperLayout(), m_settings));
    ShowMargins();
    BuildPages();
}

void TPrintFrm::SetZoom(int percent)
{
    Preview->setZoomMode(QPrintPreviewWidget::CustomZoom);
    Preview->setZoomFactor(percent / 100.0);
}
