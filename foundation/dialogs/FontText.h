#pragma once
// A font with its colour stored as one text, as the settings keep it:
// "\"Arial\", 10, [fsBold|fsItalic], [clWindowText]". Colours with a name of their own are written by
// name, others as "$" and eight hex digits (00BBGGRR, the byte order of stored settings).

#include <QColor>
#include <QFont>
#include <QString>

struct TFontSpec {
    QFont Font;
    QColor Color;
};

inline constexpr auto DefaultFontText = "\"Arial\", 10, [], [clWindowText]";

QString FontToText(const TFontSpec& font);
// Reads a font text into `font`; every style is cleared before the listed ones are set. An empty
// text reads as DefaultFontText.
void TextToFont(const QString& text, TFontSpec& font);
// The font a font text shows as: a family this system lacks (the stored default "MS Sans Serif, 8"
// among them) shows as the system's default font at its default size; the colour is the stored one.
TFontSpec DisplayFont(const QString& text);
bool FontFamilyInstalled(const QString& family);

// "Arial 10pt".
QString FontDisplayText(const TFontSpec& font);

QString ColorToText(const QColor& color);
QColor TextToColor(const QString& text);
