#include "PageSetup.h"

#include "FormTranslation.h"
#include "PrintFunctions.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr int FormTag = 863;
constexpr int PaperGroupTag = 864;
constexpr int PaperLabelTag = 865;
constexpr int OrientationLabelTag = 866;
constexpr int OrientationTag = 867;
// The margin captions are the print preview's.
constexpr int MarginGroupTag = 186;
constexpr int TopTag = 187;
constexpr int BottomTag = 188;
constexpr int LeftTag = 189;
constexpr int RightTag = 190;

// The paper sizes offices print on; the current size is added when it is none of them.
constexpr QPageSize::PageSizeId PaperSizes[] = {QPageSize::A4, QPageSize::A5, QPageSize::A3, QPageSize::B5,
                                                QPageSize::Letter, QPageSize::Legal, QPageSize::Executive};

QLabel* TaggedLabel(const QString& text, int tag, QWidget* buddy)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    SetTag(label, tag);
    return label;
}

} // namespace

TPageSetupFrm::TPageSetupFrm(const QPageLayout& layout, const TPrintSettings& settings, QWidget* parent)
    : QDialog(parent), PaperCmb(new QComboBox), OrientationCmb(new QComboBox), TopEdt(new QLineEdit),
      BottomEdt(new QLineEdit), LeftEdt(new QLineEdit), RightEdt(new QLineEdit),
      Buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel)), m_layout(layout),
      m_settings(settings)
{
    setObjectName(QStringLiteral("TPageSetupFrm"));
    setWindowTitle(QStringLiteral("Seite einrichten"));
    SetTag(this, FormTag);
    auto* main = new QVBoxLayout(this);
    main->addWidget(CreatePaperGroup());
    main->addWidget(CreateMarginGroup());
    main->addStretch();
    main->addWidget(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    TranslateFormIfEnglish(this);
}

QWidget* TPageSetupFrm::CreatePaperGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Papier"));
    SetTag(group, PaperGroupTag);
    const QPageSize current = m_layout.pageSize();
    for (const QPageSize::PageSizeId id : PaperSizes)
        PaperCmb->addItem(QPageSize::name(id), int(id));
    if (PaperCmb->findData(int(current.id())) < 0)
        PaperCmb->addItem(current.name(), int(current.id()));
    PaperCmb->setCurrentIndex(PaperCmb->findData(int(current.id())));
    OrientationCmb->addItems({QStringLiteral("Hochformat"), QStringLiteral("Querformat")});
    SetTag(OrientationCmb, OrientationTag);
    OrientationCmb->setCurrentIndex(m_layout.orientation() == QPageLayout::Landscape ? 1 : 0);
    auto* form = new QFormLayout(group);
    form->addRow(TaggedLabel(QStringLiteral("&Format:"), PaperLabelTag, PaperCmb), PaperCmb);
    form->addRow(TaggedLabel(QStringLiteral("&Ausrichtung:"), OrientationLabelTag, OrientationCmb), OrientationCmb);
    return group;
}

QWidget* TPageSetupFrm::CreateMarginGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Seitenränder"));
    SetTag(group, MarginGroupTag);
    const QString unit = m_settings.Unit == TMeasureUnit::Inches ? QStringLiteral("in") : QStringLiteral("mm");
    const QList<std::tuple<QString, QLineEdit*, int, double>> rows{
        {QStringLiteral("&Oberer Rand:"), TopEdt, TopTag, m_settings.MarginTop},
        {QStringLiteral("&Unterer Rand:"), BottomEdt, BottomTag, m_settings.MarginBottom},
        {QStringLiteral("&Linker Rand:"), LeftEdt, LeftTag, m_settings.MarginLeft},
        {QStringLiteral("&Rechter Rand:"), RightEdt, RightTag, m_settings.MarginRight}};
    auto* form = new QFormLayout(group);
    for (const auto& [text, edit, tag, millimetres] : rows) {
        edit->setText(MarginText(millimetres, m_settings.Unit));
        edit->setMaximumWidth(80);
        auto* row = new QHBoxLayout;
        row->addWidget(edit);
        row->addWidget(new QLabel(unit));
        row->addStretch();
        form->addRow(TaggedLabel(text, tag, edit), row);
    }
    return group;
}

QPageLayout TPageSetupFrm::PaperLayout() const
{
    QPageLayout layout = m_layout;
    layout.setPageSize(QPageSize(QPageSize::PageSizeId(PaperCmb->currentData().toInt())));
    layout.setOrientation(OrientationCmb->currentIndex() == 1 ? QPageLayout::Landscape : QPageLayout::Portrait);
    return layout;
}

TPrintSettings TPageSetupFrm::PrintSettings() const
{
    TPrintSettings settings = m_settings;
    settings.MarginTop = MarginFromText(TopEdt->text(), settings.Unit, settings.MarginTop);
    settings.MarginBottom = MarginFromText(BottomEdt->text(), settings.Unit, settings.MarginBottom);
    settings.MarginLeft = MarginFromText(LeftEdt->text(), settings.Unit, settings.MarginLeft);
    settings.MarginRight = MarginFromText(RightEdt->text(), settings.Unit, settings.MarginRight);
    return settings;
}
