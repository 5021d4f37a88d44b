#include "InfoFrm.h"

#include "lminfo.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

TInfoFrm::TInfoFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("InfoFrm"));
    setWindowTitle(QStringLiteral("Lumaro Mail"));
    auto* title = new QLabel(QStringLiteral("<b>Lumaro Mail</b>"), this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    title->setFont(big);
    auto* build = new QLabel(QStringLiteral("Build %1").arg(QString::fromLatin1(LminfoGetProgBuild())), this);
    auto* maker = new QLabel(QStringLiteral("© Velquist\nQt %1").arg(QString::fromLatin1(qVersion())), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(build);
    layout->addWidget(maker);
    layout->addWidget(buttons);
}
