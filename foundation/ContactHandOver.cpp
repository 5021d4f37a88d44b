#include "ContactHandOver.h"

#include <QList>

namespace {

QByteArray OneLine(const QString& field)
{
    QByteArray line = field.toUtf8();
    line.replace('\r', ' ').replace('\n', ' ');
    return line + '\n';
}

} // namespace

QByteArray ContactHandOverText(const TContactHandOver& contact)
{
    return OneLine(contact.LastName) + OneLine(contact.FirstName) + OneLine(contact.Address);
}

TContactHandOver ParseContactHandOver(const QByteArray& text)
{
    const QList<QByteArray> lines = text.split('\n');
    auto field = [&lines](qsizetype i) { return QString::fromUtf8(lines.value(i)); };
    return {field(0), field(1), field(2)};
}
