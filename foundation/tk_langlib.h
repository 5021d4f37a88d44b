#pragma once
// Language strings. Every program carries one string table (its own texts plus the shared ones of
// the foundation): German message n at id n, English at n + 1000, English component texts at
// tag + 2000. The table is a text resource of `id<TAB>text` lines with \n, \t and \\ escapes.

#include <QHash>
#include <QString>
#include <QStringList>

// Selects the language from the registry value: 2 is English, anything else German.
void SetLanguage(int languageValue);
bool IsEnglish();

// Message n in the active language (id n or n + 1000); empty when the table has no such text.
QString MessageText(int id);
// The text with exactly this id, whatever the language (component texts, lists joined by "|").
QString StringTableText(int id);
// The text with its first "$T" replaced by `value`; a text without "$T" is returned unchanged.
QString FillIn(const QString& text, const QString& value);
// `text` with its "$T" marks replaced by `values` in order; a value that itself holds "$T" is
// not filled in again.
QString FillInEach(const QString& text, const QStringList& values);

namespace detail {

// Parses a table; lines that are empty or start with "#" are skipped, malformed lines ignored.
QHash<int, QString> ParseStringTable(const QByteArray& content);

} // namespace detail
