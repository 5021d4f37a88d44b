#include "ViewSettings.h"

#include "tk_reglib.h"

namespace {

const QString KeepHistoryValue = QStringLiteral("KeepHistory");
const QString MarginLeftValue = QStringLiteral("PrintMarginLeft");
const QString MarginTopValue = QStringLiteral("PrintMarginTop");
const QString MarginRightValue = QStringLiteral("PrintMarginRight");
const QString MarginBottomValue = QStringLiteral("PrintMarginBottom");
const QString MeasureUnitValue = QStringLiteral("PrintMeasureUnit");
const QString SetFontValue = QStringLiteral("PrintSetFont");
const QString AttachmentDirValue = QStringLiteral("ViewAttachmentDir");
const QString MaxHistoryValue = QStringLiteral("MaxHistoryCount");
const QString HistoryCountValue = QStringLiteral("ToHistoryCount");
const QString HistoryEntryValue = QStringLiteral("ToHistory%1");

double ReadDouble(const TRegistryKey& key, const QString& name, double defaultValue)
{
    bool ok = false;
    const double value = key.ReadString(name).toDouble(&ok);
    return ok ? value : defaultValue;
}

void WriteDouble(TRegistryKey& key, const QString& name, double value)
{
    key.WriteString(name, QString::number(value, 'g', 10));
}

TPrintSettings LoadPrintSettings(const TRegistryKey& general)
{
    TPrintSettings print;
    print.MarginLeft = ReadDouble(general, MarginLeftValue, print.MarginLeft);
    print.MarginTop = ReadDouble(general, MarginTopValue, print.MarginTop);
    print.MarginRight = ReadDouble(general, MarginRightValue, print.MarginRight);
    print.MarginBottom = ReadDouble(general, MarginBottomValue, print.MarginBottom);
    print.Unit = general.ReadInteger(MeasureUnitValue, 0) == 1 ? TMeasureUnit::Inches : TMeasureUnit::Millimetres;
    print.SetFont = general.ReadBool(SetFontValue, print.SetFont);
    return print;
}

} // namespace

TViewSettings LoadViewSettings(const TUserSettingKeys& keys)
{
    TViewSettings s;
    static_cast<TSharedSettings&>(s) = LoadSharedSettings(keys);
    const TRegistryKey general(keys.General);
    s.KeepHistory = general.ReadBool(KeepHistoryValue, s.KeepHistory);
    s.Print = LoadPrintSettings(general);
    const TRegistryKey remember(keys.Remember);
    s.ViewAttachmentDir = remember.ReadString(AttachmentDirValue);
    s.MaxHistoryCount = remember.ReadInteger(MaxHistoryValue, s.MaxHistoryCount);
    const int count = remember.ReadInteger(HistoryCountValue, 0);
    for (int i = 1; i <= count; ++i) {
        const QString entry = remember.ReadString(HistoryEntryValue.arg(i));
        if (!entry.isEmpty())
            s.History.append(entry);
    }
    return s;
}

void SaveViewSettings(const TUserSettingKeys& keys, const TViewSettings& settings)
{
    TRegistryKey general(keys.General);
    WriteDouble(general, MarginLeftValue, settings.Print.MarginLeft);
    WriteDouble(general, MarginTopValue, settings.Print.MarginTop);
    WriteDouble(general, MarginRightValue, settings.Print.MarginRight);
    WriteDouble(general, MarginBottomValue, settings.Print.MarginBottom);
    general.WriteInteger(MeasureUnitValue, int(settings.Print.Unit));
    general.WriteBool(SetFontValue, settings.Print.SetFont);
    TRegistryKey warnings(keys.Warnings);
    warnings.WriteBool(QStringLiteral("LVExecuteAttachment"), settings.Warnings.LVExecuteAttachment);
    warnings.WriteBool(QStringLiteral("LVUseCCRecipients"), settings.Warnings.LVUseCCRecipients);
    warnings.WriteBool(QStringLiteral("LVNoSubject"), settings.Warnings.LVNoSubject);
    TRegistryKey remember(keys.Remember);
    remember.WriteString(AttachmentDirValue, settings.ViewAttachmentDir);
    remember.WriteInteger(HistoryCountValue, int(settings.History.size()));
    for (qsizetype i = 0; i < settings.History.size(); ++i)
        remember.WriteString(HistoryEntryValue.arg(i + 1), settings.History.at(i));
}
