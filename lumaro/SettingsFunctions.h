#pragma once
// The rules of the Settings dialog without its widgets: the values its controls hold, how a change of
// one control changes others, which controls are enabled, and what OK stores. The dialog sends every
// change through ApplySettingsEvent and then shows the values again.

#include "MainSettings.h"

#include <QString>

// What the dialog's controls hold while it is open.
struct TSettingsValues {
    TGeneralSettings General;
    TDisplaySettings Display;
    TMailformatSettings Mailformat;
};

enum class TSettingsEvent {
    TreeviewTicked,
    TreeviewUnticked,
    ComboboxTicked,
    ComboboxUnticked,
    SignatureChosen,  // with the chosen name; empty for no signature
    EncodingMime,
    EncodingUU,
    StandardFormat,   // the Default button of the message format
};

void ApplySettingsEvent(TSettingsValues& values, TSettingsEvent event, const QString& signature = {});

struct TSettingsEnablingInputs {
    TSettingsValues Values;
    bool PlayingNewMail = false;
    bool PlayingNoMail = false;
    bool MailclientRegistered = false;
    bool EmlRegistered = false;
};

struct TSettingsEnabling {
    bool Charset = true;
    bool TestNewMail = false;
    bool TestNoMail = false;
    bool MailclientRegister = true;
    bool EmlRegister = true;
};

TSettingsEnabling ComputeSettingsEnabling(const TSettingsEnablingInputs& in);

// The entries of the charset combo box: 0 none, 1 Quoted Printable, 2 Base64.
int CharsetIndex(TMailCharset charset);
TMailCharset CharsetOfIndex(int index);

TSettingsValues SettingsValuesOf(const TMainSettings& settings);

// OK: takes the values into the main window's settings (AutoSignature only with a signature), deletes
// the transfer log when logging is now off, and writes all settings of the user.
void StoreConfirmedSettings(TMainSettings& settings, const TSettingsValues& values, const TUserSettingKeys& keys,
                            const QString& logFile);

// The warnings reset chosen in the dialog, also when it was then cancelled: every question is asked
// again, the message window's included.
void ResetWarnings(TMainSettings& settings, const TUserSettingKeys& keys);
