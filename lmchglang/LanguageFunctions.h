#pragma once
// The language selector's work without a window: reading and writing the suite's `Language` value,
// the selector's texts in the stored language, and carrying the five special folders of every
// user over to the names of the new language, so that no mail seems to vanish after the switch.

#include <QList>
#include <QString>
#include <QStringList>

namespace LanguageText {
inline constexpr int Explanation = 1;
inline constexpr int CurrentLanguage = 2;
inline constexpr int German = 3;
inline constexpr int English = 4;
inline constexpr int FolderTaken = 5;
inline constexpr int RenameFailed = 6;
inline constexpr int Quit = 7;
inline constexpr int Title = 280;
} // namespace LanguageText

inline constexpr int GermanLanguageValue = 1;
inline constexpr int EnglishLanguageValue = 2;

// The stored `Language` value (0 when missing).
int ReadLanguageValue();
// Stores the value in the suite root key and selects that language for this process's texts.
void WriteLanguageValue(int value);

struct TSelectorTexts {
    QString Title;
    QString Explanation;
    QString CurrentLabel;
    // The active language's button text without its first character ("&").
    QString CurrentLanguage;
    QString GermanButton;
    QString EnglishButton;
    QString QuitButton;
    // The focus goes to the button of the language that is not active.
    bool FocusEnglishButton = true;
};

// The texts in the language the process uses now (SetLanguage).
TSelectorTexts SelectorTexts();

// The five special folders' names in German or English (the mail store's texts).
QStringList SpecialFolderNames(bool english);
// The folder directory of every user, each once.
QStringList UserMailDirectories();

struct TFolderRename {
    QString From;
    QString To;
};

struct TRenamePlan {
    QList<TFolderRename> Renames;
    // Target folder files that exist already; the plan must then not be carried out.
    QStringList Taken;
};

// The folder files to rename in `mailDirs` when the special folders go from one language's names to
// the other's. Missing folders are left out; a target name in use is listed in Taken.
TRenamePlan PlanSpecialFolderRenames(const QStringList& mailDirs, bool fromEnglish, bool toEnglish);
// Renames every file of the plan; when one fails, the ones done are put back. The file that
// failed, empty on success.
QString CarryOutRenames(const TRenamePlan& plan);

// Choosing a language: when the language changes, the special folders are renamed first; when a
// target name is in use or a rename fails, nothing is renamed, the language stays as it was and
// message 5 or 6 names the folder. Then the value is stored. False when the language was kept.
bool ChooseLanguage(int value);
