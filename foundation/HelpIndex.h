#pragma once
// The context help index "lumaro.inx" in the help directory: one line per context, the number in
// decimal, one blank, and the name of an HTML page without extension. Contexts 900 to 903 are the
// link template pages. The index is read on first use and kept for the life of the program.

#include <QByteArray>
#include <QString>

#include <functional>

inline constexpr int HelpLinkTemplate = 900;
inline constexpr int HelpLinkPage = 901;
inline constexpr int HelpUnpackedTemplate = 902;
inline constexpr int HelpUnpackedPage = 903;
inline constexpr auto HelpLinkPlaceholder = "%LINK%";

// The page name of the first line that begins with `context` and one blank; empty when none does.
QString HelpPageName(const QByteArray& index, int context);

// Runs the help extractor when it is still there (waiting for it through `runAndWait`), then answers
// the full path of the page of `context` ("<help dir>/<page>.htm"), or empty. An index that cannot be
// read is reported with message 501.
QString HelpPageForContext(int context, const std::function<bool(const QString& program)>& runAndWait);

// Forgets the index read so far (after the help was unpacked, and for tests).
void ForgetHelpIndex();
