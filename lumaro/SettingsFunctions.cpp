#include "SettingsFunctions.h"

#include <QFile>

namespace {

// The folder tree and the folder combo box can't both be hidden: there would be no way to pick a folder.
void KeepAFolderChooser(TDisplaySettings& display)
{
    if (!display.ShowTreeview && !display.ShowCombobox)
        display.ShowTreeview = true;
}

} // namespace

void ApplySettingsEvent(TSettingsValues& values, TSettingsEvent event, const QString& signature)
{
    switch (event) {
    case TSettingsEvent::TreeviewTicked:
    case TSettingsEvent::TreeviewUnticked:
        values.Display.ShowTreeview = event == TSettingsEvent::TreeviewTicked;
        KeepAFolderChooser(values.Display);
        break;
    case TSettingsEvent::ComboboxTicked:
    case TSettingsEvent::ComboboxUnticked:
        values.Display.ShowCombobox = event == TSettingsEvent::ComboboxTicked;
        KeepAFolderChooser(values.Display);
        break;
    case TSettingsEvent::SignatureChosen:
        values.General.Signature = signature;
        values.General.AutoSignature = !signature.isEmpty();
        break;
    case TSettingsEvent::EncodingMime:
        values.Mailformat.Encoding = TMailEncoding::Mime;
        break;
    case TSettingsEvent::EncodingUU:
        values.Mailformat.Encoding = TMailEncoding::UUEncode;
        break;
    case TSettingsEvent::StandardFormat:
        values.Mailformat = TMailformatSettings{};
        break;
    }
}

TSettingsEnabling ComputeSettingsEnabling(const TSettingsEnablingInputs& in)
{
    TSettingsEnabling e;
    e.Charset = in.Values.Mailformat.Encoding == TMailEncoding::Mime;
    e.TestNewMail = !in.Values.General.SoundNewMail.isEmpty() && !in.PlayingNewMail;
    e.TestNoMail = !in.Values.General.SoundNoMail.isEmpty() && !in.PlayingNoMail;
    e.MailclientRegister = !in.MailclientRegistered;
    e.EmlRegister = !in.EmlRegistered;
    return e;
}

int CharsetIndex(TMailCharset charset)
{
    switch (charset) {
    case TMailCharset::QuotedPrintable:
        return 1;
    case TMailCharset::Base64:
        return 2;
    case TMailCharset::None:
        break;
    }
    return 0;
}

TMailCharset CharsetOfIndex(int index)
{
    return index == 1 ? TMailCharset::QuotedPrintable : index == 2 ? TMailCharset::Base64 : TMailCharset::None;
}

TSettingsValues SettingsValuesOf(const TMainSettings& settings)
{
    return TSettingsValues{settings.General, settings.Display, settings.Mailformat};
}

void StoreConfirmedSettings(TMainSettings& settings, const TSettingsValues& values, const TUserSettingKeys& keys,
                            const QString& logFile)
{
    settings.General = values.General;
    settings.General.AutoSignature = values.General.AutoSignature && !values.General.Signature.isEmpty();
    settings.Display = values.Display;
    settings.Mailformat = values.Mailformat;
    if (!settings.General.LogActive)
        QFile::remove(logFile);
    SaveMainSettings(keys, settings);
}

void ResetWarnings(TMainSettings& settings, const TUserSettingKeys& keys)
{
    settings.Warnings = TWarningSettings{};
    ResetAllWarnings(keys.Warnings);
}
