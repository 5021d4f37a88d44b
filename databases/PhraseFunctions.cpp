#include "PhraseFunctions.h"

#include "AtomicFile.h"
#include "Konstanten.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFile>
#include <QSet>

namespace {

constexpr int MsgSignatureCategory = 513;
const QString ReservedCharacters = QStringLiteral("?:\\/*");
constexpr QChar CategorySeparator = QLatin1Char('$');

QString EscapeSequence(qsizetype index)
{
    return QStringLiteral("$%1$").arg(index + 1);
}

QString StoredText(const QString& text)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return lines;
}

} // namespace

QString SignatureCategory()
{
    return MessageText(MsgSignatureCategory);
}

QString EscapePhraseName(const QString& name)
{
    QString escaped;
    escaped.reserve(name.size());
    for (const QChar c : name) {
        const qsizetype index = ReservedCharacters.indexOf(c);
        escaped += index < 0 ? QString(c) : EscapeSequence(index);
    }
    return escaped;
}

QString UnescapePhraseName(const QString& fileNamePart)
{
    QString name = fileNamePart;
    for (qsizetype i = 0; i < ReservedCharacters.size(); ++i)
        name.replace(EscapeSequence(i), QString(ReservedCharacters.at(i)));
    return name;
}

TPhraseEntry PhraseEntryOfFileName(const QString& fileName)
{
    const qsizetype separator = fileName.indexOf(CategorySeparator);
    if (separator < 0)
        return {QString(), UnescapePhraseName(fileName)};
    return {fileName.left(separator), UnescapePhraseName(fileName.mid(separator + 1))};
}

bool IsStorablePhrase(const QString& category, const QString& name)
{
    if (name.isEmpty() || category.contains(CategorySeparator))
        return false;
    for (const QChar c : ReservedCharacters) {
        if (category.contains(c))
            return false;
    }
    // A phrase without category is a file named after the phrase alone: "." and ".." are no files.
    const QString escaped = EscapePhraseName(name);
    return !category.isEmpty() || (escaped != QLatin1String(".") && escaped != QLatin1String(".."));
}

QString PhraseFileName(const QString& category, const QString& name)
{
    if (!IsStorablePhrase(category, name))
        return {};
    const QString file = category.isEmpty() ? EscapePhraseName(name)
                                            : category + CategorySeparator + EscapePhraseName(name);
    return Paths().Data.PhrasesDir + QLatin1Char('/') + file;
}

QList<TPhraseEntry> ScanPhrases()
{
    QList<TPhraseEntry> entries;
    const QDir dir(Paths().Data.PhrasesDir);
    for (const QString& file : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        entries.append(PhraseEntryOfFileName(file));
    return entries;
}

QStringList PhraseCategories(const QList<TPhraseEntry>& entries)
{
    QSet<QString> seen{SignatureCategory()};
    bool withoutCategory = false;
    for (const TPhraseEntry& entry : entries) {
        if (entry.Category.isEmpty())
            withoutCategory = true;
        else
            seen.insert(entry.Category);
    }
    QStringList categories(seen.begin(), seen.end());
    categories.sort(Qt::CaseInsensitive);
    if (withoutCategory)
        categories.prepend(QString());
    return categories;
}

QStringList PhrasesOfCategory(const QList<TPhraseEntry>& entries, const QString& category)
{
    QStringList names;
    for (const TPhraseEntry& entry : entries) {
        if (category == AllPhrasesCategory || entry.Category == category)
            names.append(entry.Name);
    }
    return names;
}

bool PhraseExists(const QString& category, const QString& name)
{
    const QString file = PhraseFileName(category, name);
    return !file.isEmpty() && QFileInfo(file).isFile();
}

std::optional<QByteArray> ReadPhrase(const QString& category, const QString& name)
{
    const QString path = PhraseFileName(category, name);
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QString PhraseText(const QString& category, const QString& name)
{
    const std::optional<QByteArray> stored = ReadPhrase(category, name);
    if (!stored)
        return {};
    QString text = QString::fromUtf8(*stored);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

bool WritePhrase(const QString& category, const QString& name, const QString& text)
{
    const QString path = PhraseFileName(category, name);
    if (path.isEmpty() || !QDir().mkpath(Paths().Data.PhrasesDir))
        return false;
    return WriteFileAtomically(path, StoredText(text).toUtf8(), true);
}

bool DeletePhrase(const QString& category, const QString& name)
{
    const QString path = PhraseFileName(category, name);
    return !path.isEmpty() && QFile::remove(path);
}

QString SignatureText(const QString& name)
{
    return name.isEmpty() ? QString() : PhraseText(SignatureCategory(), name);
}

TPhraseSaveResult SaveEditedPhrase(const QString& oldCategory, const QString& oldName, const QString& category,
                                   const QString& name, const QString& text)
{
    const bool isNew = oldName.isEmpty();
    const bool renamed = isNew || oldCategory != category || oldName != name;
    if (renamed && PhraseExists(category, name))
        return TPhraseSaveResult::NameTaken;
    // The new file is written before the old one goes, so that a failure never loses the phrase.
    if (!WritePhrase(category, name, text))
        return TPhraseSaveResult::WriteFailed;
    if (isNew || !renamed || !PhraseExists(oldCategory, oldName))
        return TPhraseSaveResult::Saved;
    if (DeletePhrase(oldCategory, oldName))
        return TPhraseSaveResult::Saved;
    DeletePhrase(category, name);
    return TPhraseSaveResult::DeleteFailed;
}
