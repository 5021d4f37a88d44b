#include "FontText.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>

#include <array>
#include <utility>

namespace {

struct TNamedColor {
    const char* Name;
    QRgb Rgb;
};

// The named colours of stored settings; clWindowText is the palette's text colour.
constexpr auto WindowTextName = "clWindowText";
constexpr std::array<TNamedColor, 16> NamedColors{{
    {"clBlack", 0x000000}, {"clMaroon", 0x800000}, {"clGreen", 0x008000}, {"clOlive", 0x808000},
    {"clNavy", 0x000080}, {"clPurple", 0x800080}, {"clTeal", 0x008080}, {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0}, {"clRed", 0xFF0000}, {"clLime", 0x00FF00}, {"clYellow", 0xFFFF00},
    {"clBlue", 0x0000FF}, {"clFuchsia", 0xFF00FF}, {"clAqua", 0x00FFFF}, {"clWhite", 0xFFFFFF},
}};

QColor WindowTextColor()
{
    return QGuiApplication::palette().color(QPalette::WindowText);
}

struct TStyleName {
    const char* Name;
    bool (QFont::*Get)() const;
    void (QFont::*Set)(bool);
};

constexpr std::array<TStyleName, 4> StyleNames{{
    {"fsBold", &QFont::bold, &QFont::setBold},
    {"fsItalic", &QFont::italic, &QFont::setItalic},
    {"fsUnderline", &QFont::underline, &QFont::setUnderline},
    {"fsStrikeOut", &QFont::strikeOut, &QFont::setStrikeOut},
}};

// The text from `from` up to the next comma (or the end), and the position behind that comma.
std::pair<QString, qsizetype> FieldFrom(const QString& text, qsizetype from)
{
    const qsizetype comma = text.indexOf(QLatin1Char(','), from);
    if (comma < 0)
        return {text.mid(from), text.size()};
    return {text.mid(from, comma - from), comma + 1};
}

QString WithoutBrackets(QString field)
{
    field = field.trimmed();
    if (field.startsWith(QLatin1Char('[')))
        field.remove(0, 1);
    if (field.endsWith(QLatin1Char(']')))
        field.chop(1);
    return field;
}

} // namespace

QString ColorToText(const QColor& color)
{
    if (color == WindowTextColor())
        return QString::fromLatin1(WindowTextName);
    for (const TNamedColor& named : NamedColors) {
        if (color.rgb() == (named.Rgb | 0xFF000000u))
            return QString::fromLatin1(named.Name);
    }
    const quint32 bgr = quint32(color.blue()) << 16 | quint32(color.green()) << 8 | quint32(color.red());
    return QStringLiteral("$%1").arg(bgr, 8, 16, QLatin1Char('0')).toUpper();
}

QColor TextToColor(const QString& text)
{
    if (text.compare(QLatin1String(WindowTextName), Qt::CaseInsensitive) == 0)
        return WindowTextColor();
    for (const TNamedColor& named : NamedColors) {
        if (text.compare(QLatin1String(named.Name), Qt::CaseInsensitive) == 0)
            return QColor::fromRgb(named.Rgb);
    }
    bool ok = false;
    const quint32 bgr = text.startsWith(QLatin1Char('$')) ? text.mid(1).toUInt(&ok, 16) : 0;
    if (!ok)
        return WindowTextColor();
    return QColor(int(bgr & 0xFF), int(bgr >> 8 & 0xFF), int(bgr >> 16 & 0xFF));
}

QString FontToText(const TFontSpec& font)
{
    QStringList styles;
    for (const TStyleName& style : StyleNames) {
        if ((font.Font.*style.Get)())
            styles.append(QString::fromLatin1(style.Name));
    }
    return QStringLiteral("\"%1\", %2, [%3], [%4]")
        .arg(font.Font.family())
        .arg(font.Font.pointSize())
        .arg(styles.join(QLatin1Char('|')), ColorToText(font.Color));
}

void TextToFont(const QString& text, TFontSpec& font)
{
    const QString source = text.isEmpty() ? QString::fromLatin1(DefaultFontText) : text;
    auto [name, afterName] = FieldFrom(source, 1);
    if (name.endsWith(QLatin1Char('"')))
        name.chop(1);
    const auto [size, afterSize] = FieldFrom(source, afterName);
    const auto [styles, afterStyles] = FieldFrom(source, afterSize);
    font.Font.setFamily(name);
    bool sizeOk = false;
    const int points = size.trimmed().toInt(&sizeOk);
    if (sizeOk && points > 0)
        font.Font.setPointSize(points);
    const QString styleList = QLatin1Char('|') + WithoutBrackets(styles);
    for (const TStyleName& style : StyleNames) {
        const QString marker = QLatin1Char('|') + QLatin1String(style.Name);
        (font.Font.*style.Set)(styleList.contains(marker, Qt::CaseInsensitive));
    }
    font.Color = TextToColor(WithoutBrackets(source.mid(afterStyles)));
}

bool FontFamilyInstalled(const QString& family)
{
    // The system's default family may be a generic name ("Sans Serif") that is no family of its own.
    return QFontDatabase::hasFamily(family) || family == QGuiApplication::font().family();
}

TFontSpec DisplayFont(const QString& text)
{
    TFontSpec font;
    TextToFont(text, font);
    if (!FontFamilyInstalled(font.Font.family()))
        font.Font = QGuiApplication::font();
    return font;
}

QString FontDisplayText(const TFontSpec& font)
{
    return QStringLiteral("%1 %2pt").arg(font.Font.family()).arg(font.Font.pointSize());
}
