#pragma once
// The phrase store of the active user: one plain text file per phrase (CR LF line ends) in
// Paths().Data.PhrasesDir, named "<category>$<name>" or "<name>" for a phrase without category,
// with ? : \ / * of the name written as $1$ ... $5$. The main window's phrase manager and the
// message window's phrase inserter both read it through here. Every function scans or opens the
// directory anew; nothing is cached, since another program may change the store at any time.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct TPhraseEntry {
    QString Category;  // empty for a phrase without category
    QString Name;      // decoded
    friend bool operator==(const TPhraseEntry&, const TPhraseEntry&) = default;
};

// The category of signatures, in the active interface language (string 513).
QString SignatureCategory();
// The category that lists every phrase.
inline const QString AllPhrasesCategory = QStringLiteral("*");

// Every file of the store in directory order; sub-directories are skipped.
QList<TPhraseEntry> ScanPhrases();
// The distinct categories, the signature category always among them, sorted; the empty category
// first when a phrase has none.
QStringList PhraseCategories(const QList<TPhraseEntry>& entries);
// The names of the phrases of `category`; AllPhrasesCategory lists every phrase.
QStringList PhrasesOfCategory(const QList<TPhraseEntry>& entries, const QString& category);

// ? : \ / * as $1$ ... $5$, and back.
QString EscapePhraseName(const QString& name);
QString UnescapePhraseName(const QString& fileNamePart);
// The entry a file name of the store stands for.
TPhraseEntry PhraseEntryOfFileName(const QString& fileName);
// True when the pair can be stored: a non-empty name, and a category that holds neither "$" nor a
// character that would take the file out of the store (the category is not escaped on disk).
bool IsStorablePhrase(const QString& category, const QString& name);
// The file of a phrase; empty when the pair is not storable.
QString PhraseFileName(const QString& category, const QString& name);

bool PhraseExists(const QString& category, const QString& name);
// The phrase text as stored (UTF-8, CR LF); nothing when the file cannot be read.
std::optional<QByteArray> ReadPhrase(const QString& category, const QString& name);
// The text with its line ends as the editors show them (LF), empty when the phrase cannot be read.
QString PhraseText(const QString& category, const QString& name);
// Writes the text (any line ends, stored as CR LF) replacing the file as a whole, owner-only.
bool WritePhrase(const QString& category, const QString& name, const QString& text);
bool DeletePhrase(const QString& category, const QString& name);

// The text of the signature phrase `name` (signature category), empty when there is none.
QString SignatureText(const QString& name);

// The outcome of saving an edited or new phrase, with the message the user is shown.
enum class TPhraseSaveResult {
    Saved,
    NameTaken,     // string 44
    DeleteFailed,  // string 13
    WriteFailed,   // string 12
};

// Saves the editor's phrase. `oldCategory`/`oldName` name the phrase that was edited (an empty old
// name for a new phrase). A rename onto an existing phrase and a new phrase whose file exists are
// refused; an edited phrase loses its old file before the new one is written.
TPhraseSaveResult SaveEditedPhrase(const QString& oldCategory, const QString& oldName, const QString& category,
                                   const QString& name, const QString& text);
