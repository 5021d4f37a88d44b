#include "tk_langlib.h"

#include "qmconst.h"

#include <QFile>

namespace {

// Resource paths: the foundation's shared texts, and the table each program adds under this alias.
constexpr auto SharedTable = ":/lumaro/strings/shared.txt";
constexpr auto ProgramTable = ":/lumaro/strings/program.txt";
constexpr int EnglishLanguageValue = 2;
constexpr int EnglishOffset = 1000;

bool& English()
{
    static bool english = false;
    return english;
}

QHash<int, QString> LoadTable(const char* resource)
{
    QFile file(QString::fromLatin1(resource));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return detail::ParseStringTable(file.readAll());
}

const QHash<int, QString>& Table()
{
    static const QHash<int, QString> table = [] {
        QHash<int, QString> all = LoadTable(SharedTable);
        all.insert(LoadTable(ProgramTable));
        return all;
    }();
    return table;
}

QString Unescape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\\') || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else
            out += next;
    }
    return out;
}

} // namespace

namespace detail {

QHash<int, QString> ParseStringTable(const QByteArray& content)
{
    QHash<int, QString> table;
    const QString text = QString::fromUtf8(content);
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        bool ok = false;
        const int id = tab > 0 ? line.left(tab).toInt(&ok) : 0;
        if (ok)
            table.insert(id, Unescape(line.mid(tab + 1)));
    }
    return table;
}

} // namespace detail

void SetLanguage(int languageValue)
{
    English() = languageValue == EnglishLanguageValue;
    // The library's errors reach the user through every program's windows.
    qmSetLanguage(English() ? TqmLanguage::English : TqmLanguage::German);
}

bool IsEnglish()
{
    return English();
}

QString StringTableText(int id)
{
    return Table().value(id);
}

QString MessageText(int id)
{
    return StringTableText(IsEnglish() ? id + EnglishOffset : id);
}

QString FillIn(const QString& text, const QString& value)
{
    QString filled = text;
    const qsizetype at = filled.indexOf(QLatin1String("$T"));
    if (at >= 0)
        filled.replace(at, 2, value);
    return filled;
}

QString FillInEach(const QString& text, const QStringList& values)
{
    QString result;
    qsizetype from = 0;
    for (const QString& value : values) {
        const qsizetype mark = text.indexOf(QLatin1String("$T"), from);
        if (mark < 0)
            break;
        result += text.mid(from, mark - from) + value;
        from = mark + 2;
    }
    return result + text.mid(from);
}
