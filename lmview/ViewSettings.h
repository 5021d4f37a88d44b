#pragma once
// The options the message window reads at start and writes back when it closes: the shared option
// groups (through UserSettings), and the values only this window keeps: print margins, the
// recipient history and the last attachment directory (Remember group).

#include "RegistryFunctions.h"
#include "UserSettings.h"

#include <QString>
#include <QStringList>

enum class TMeasureUnit { Millimetres = 0, Inches = 1 };

// Margins always in millimetres; the unit only decides what the print dialog shows.
struct TPrintSettings {
    double MarginLeft = 30;
    double MarginTop = 10;
    double MarginRight = 10;
    double MarginBottom = 10;
    TMeasureUnit Unit = TMeasureUnit::Millimetres;
    bool SetFont = true;
};

struct TViewSettings : TSharedSettings {
    bool KeepHistory = true;
    TPrintSettings Print;
    QString ViewAttachmentDir;
    int MaxHistoryCount = 20;
    // Oldest first.
    QStringList History;
};

TViewSettings LoadViewSettings(const TUserSettingKeys& keys);
// What closing the window writes: print settings, the three LV warnings, and the Remember values.
void SaveViewSettings(const TUserSettingKeys& keys, const TViewSettings& settings);
