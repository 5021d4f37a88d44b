#include "LanguageFunctions.h"

#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "Reporter.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>

namespace {

// The special folders' texts in the mail store's table (Inbox, Outbox, Templates, Sent, Trash).
constexpr std::array<int, 5> SpecialFolderTextIds = {4, 5, 6, 7, 75};
constexpr int EnglishOffset = 1000;
const QStringList FolderFileSuffixes = {QStringLiteral(".mbx"), QStringLiteral(".idx")};

const QHash<int, QString>& StoreTexts()
{
    static const QHash<int, QString> texts = [] {
        QFile file(QStringLiteral(":/lmchglang/store/strings.txt"));
        return file.open(QIODevice::ReadOnly) ? detail::ParseStringTable(file.readAll()) : QHash<int, QString>();
    }();
    return texts;
}

struct TDoneRename {
    QString From;
    QString To;
};

void PutBack(const QList<TDoneRename>& done)
{
    for (auto it = done.crbegin(); it != done.crend(); ++it)
        QFile::rename(it->To, it->From);
}

} // namespace

int ReadLanguageValue()
{
    return TRegistryKey().ReadInteger(QLatin1String(RegValue::Language), 0);
}

void WriteLanguageValue(int value)
{
    TRegistryKey root;
    root.WriteInteger(QLatin1String(RegValue::Language), value);
    root.Flush();
    SetLanguage(value);
}

TSelectorTexts SelectorTexts()
{
    TSelectorTexts texts;
    texts.Title = MessageText(LanguageText::Title);
    texts.Explanation = MessageText(LanguageText::Explanation);
    texts.CurrentLabel = MessageText(LanguageText::CurrentLanguage);
    texts.GermanButton = MessageText(LanguageText::German);
    texts.EnglishButton = MessageText(LanguageText::English);
    texts.QuitButton = MessageText(LanguageText::Quit);
    texts.CurrentLanguage = (IsEnglish() ? texts.EnglishButton : texts.GermanButton).mid(1);
    texts.FocusEnglishButton = !IsEnglish();
    return texts;
}

QStringList SpecialFolderNames(bool english)
{
    QStringList names;
    for (const int id : SpecialFolderTextIds)
        names.append(StoreTexts().value(english ? id + EnglishOffset : id));
    return names;
}

QStringList UserMailDirectories()
{
    BuildUserList();
    QStringList dirs;
    for (const QString& user : UserContext().Users) {
        const QString dataDir = ReadUserDataDir(user);
        const QString mailDir =
            detail::ComputeDataPaths(dataDir.isEmpty() ? Paths().Program.DefaultDataDir : dataDir).MailDir;
        if (!dirs.contains(mailDir))
            dirs.append(mailDir);
    }
    return dirs;
}

TRenamePlan PlanSpecialFolderRenames(const QStringList& mailDirs, bool fromEnglish, bool toEnglish)
{
    TRenamePlan plan;
    if (fromEnglish == toEnglish)
        return plan;
    const QStringList from = SpecialFolderNames(fromEnglish);
    const QStringList to = SpecialFolderNames(toEnglish);
    for (const QString& mailDir : mailDirs) {
        const QDir dir(mailDir);
        for (int i = 0; i < from.size(); ++i) {
            for (const QString& suffix : FolderFileSuffixes) {
                const QString source = dir.filePath(from[i] + suffix);
                if (!QFileInfo::exists(source))
                    continue;
                const QString target = dir.filePath(to[i] + suffix);
                if (QFileInfo::exists(target) && !plan.Taken.contains(dir.filePath(to[i])))
                    plan.Taken.append(dir.filePath(to[i]));
                plan.Renames.append({source, target});
            }
        }
    }
    return plan;
}

QString CarryOutRenames(const TRenamePlan& plan)
{
    QList<TDoneRename> done;
    for (const TFolderRename& rename : plan.Renames) {
        // QFile::rename never replaces an existing file, so a name taken meanwhile stops here too.
        if (!QFile::rename(rename.From, rename.To)) {
            PutBack(done);
            return rename.From;
        }
        done.append({rename.From, rename.To});
    }
    return {};
}

bool ChooseLanguage(int value)
{
    const bool fromEnglish = ReadLanguageValue() == EnglishLanguageValue;
    const TRenamePlan plan =
        PlanSpecialFolderRenames(UserMailDirectories(), fromEnglish, value == EnglishLanguageValue);
    if (!plan.Taken.isEmpty()) {
        Report(LanguageText::FolderTaken, TMessageKind::Warning, plan.Taken.first());
        return false;
    }
    if (const QString failed = CarryOutRenames(plan); !failed.isEmpty()) {
        Report(LanguageText::RenameFailed, TMessageKind::Warning, failed);
        return false;
    }
    WriteLanguageValue(value);
    return true;
}
