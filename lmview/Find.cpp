#include "Find.h"

#include "FormTranslation.h"
#include "tk_langlib.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFindFrm::TFindFrm(QWidget* parent)
    : QDialog(parent), FindEdt(new QLineEdit), CaseChk(new QCheckBox(QStringLiteral("&Groß-/Kleinschreibung"))),
      WordChk(new QCheckBox(QStringLiteral("Nur ganze &Wörter"))), FindBtn(new QPushButton(QStringLiteral("&Weitersuchen"))),
      CloseBtn(new QPushButton(QStringLiteral("Schließen")))
{
    setObjectName(QStringLiteral("TFindFrm"));
    setWindowTitle(QStringLiteral("Suchen"));
    SetTag(this, 170);
    SetTag(CaseChk, 171);
    SetTag(WordChk, 172);
    SetTag(FindBtn, 173);
    SetTag(CloseBtn, 174);
    auto* label = new QLabel(MessageText(28));
    label->setBuddy(FindEdt);
    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(FindEdt, 0, 1);
    layout->addWidget(FindBtn, 0, 2);
    layout->addWidget(CaseChk, 1, 0, 1, 2);
    layout->addWidget(CloseBtn, 1, 2);
    layout->addWidget(WordChk, 2, 0, 1, 2);
    FindBtn->setDefault(true);
    connect(FindBtn, &QPushButton::clicked, this, [this] {
        QTextDocument::FindFlags flags;
        if (CaseChk->isChecked())
            flags |= QTextDocument::FindCaseSensitively;
        if (WordChk->isChecked())
            flags |= QTextDocument::FindWholeWords;
        if (Find && !FindEdt->text().isEmpty())
            Find(FindEdt->text(), flags);
    });
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
    TranslateFormIfEnglish(this);
}
