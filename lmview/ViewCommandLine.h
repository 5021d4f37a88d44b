#pragma once
// The message window's command line: a folder file with the message's offset and length, a work
// file with "0 0 EDIT", or a single message file.

#include <QString>
#include <QStringList>

#include <optional>

struct TViewCommandLine {
    QString MessageFile;
    // Of the separator line in the folder file; 0 when absent or no number.
    qint32 Offset = 0;
    // Including the 7-byte separator line; 0 when absent or no number.
    qint32 Length = 0;
    // Only the exact text "EDIT" selects it.
    bool EditMode = false;
    // Every file but a ".mbx" (in any letter case) holds one message.
    bool SingleFile = true;
};

// The arguments after the program name. Nothing without arguments: the window is only started by
// the main client (message 7).
std::optional<TViewCommandLine> ParseViewCommandLine(const QStringList& arguments);
