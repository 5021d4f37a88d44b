#pragma once
// The context help index "lumaro.inx" in the help directory: one line per context, the number in
// decimal, one blank, and the name of an HTML page without extension, optionally followed by "#"
// and an anchor in that page. The pages themselves lie in one folder per language ("de", "en")
// under the help directory and share their names, so one index serves both languages. Contexts
// 900 to 903 are the link template pages. The index is read on first use and kept for the life of
// the program.

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

inline constexpr int HelpLinkTemplate = 900;
inline constexpr int HelpLinkPage = 901;
inline constexpr int HelpUnpackedTemplate = 902;
inline constexpr int HelpUnpackedPage = 903;
inline constexpr auto HelpLinkPlaceholder = "%LINK%";
inline constexpr auto HelpPageSuffix = ".htm";

// The page name (with its "#anchor", when given) of the first line that begins with `context` and
// one blank; empty when none does.
QString HelpPageName(const QByteArray& index, int context);

// The folder of the pages in one language: "<help dir>/de" or "<help dir>/en".
QString HelpLanguageDir(bool english);
// The same for the active language.
QString HelpLanguageDir();

// Runs the help extractor when it is still there (waiting for it through `runAndWait`), then
// answers the page of `context` in the active language as a file URL whose fragment is the anchor,
// or an empty URL when the index has no line for it. An index that cannot be read is reported with
// message 501.
QUrl HelpUrlForContext(int context, const std::function<bool(const QString& program)>& runAndWait);

// True once the index has been read.
bool HelpIndexLoaded();

// Forgets the index read so far (after the help was unpacked, and for tests).
void ForgetHelpIndex();
