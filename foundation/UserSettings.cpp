#include "UserSettings.h"

#include "Konstanten.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include "qmcharset.h"
#include "qmpop3.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryFile>

#include <cstddef>
#include <optional>

namespace {

QString Name(const char* name)
{
    return QString::fromLatin1(name);
}

// Binds a value name to a boolean member, so that loading and saving walk one table.
template <typename Settings>
struct TBoolValue {
    const char* Name;
    bool Settings::*Member;
};

template <typename Settings, std::size_t N>
void ReadBools(const TRegistryKey& key, Settings& s, const TBoolValue<Settings> (&values)[N])
{
    for (const auto& value : values)
        s.*value.Member = key.ReadBool(Name(value.Name), s.*value.Member);
}

template <typename Settings, std::size_t N>
void WriteBools(TRegistryKey& key, const Settings& s, const TBoolValue<Settings> (&values)[N])
{
    for (const auto& value : values)
        key.WriteBool(Name(value.Name), s.*value.Member);
}

constexpr TBoolValue<TGeneralSettings> GeneralBools[] = {
    {"ViewSaveAttachments", &TGeneralSettings::ViewSaveAttachments},
    {"LogActive", &TGeneralSettings::LogActive},
    {"QuoteMails", &TGeneralSettings::QuoteMails},
    {"AutoSignature", &TGeneralSettings::AutoSignature},
    {"AutoChooseRecipient", &TGeneralSettings::AutoChooseRecipient},
    {"AutoRequestReceipt", &TGeneralSettings::AutoRequestReceipt},
    {"AutoLocalFilter", &TGeneralSettings::AutoLocalFilter},
    {"AutoConnectServer", &TGeneralSettings::AutoConnectServer},
    {"RasDiscAtEnd", &TGeneralSettings::RasDiscAtEnd},
    {"RasDiscWhenFinished", &TGeneralSettings::RasDiscWhenFinished},
    {"PlaySoundNewMail", &TGeneralSettings::PlaySoundNewMail},
    {"PlaySoundNoMail", &TGeneralSettings::PlaySoundNoMail},
    {"EmptyTrash", &TGeneralSettings::EmptyTrash},
};

// Read only: never written back.
constexpr TBoolValue<TGeneralSettings> GeneralReadOnlyBools[] = {
    {"DebugMode", &TGeneralSettings::DebugMode},
    {"ExpandWhenDragging", &TGeneralSettings::ExpandWhenDragging},
};

constexpr TBoolValue<TDisplaySettings> DisplayBools[] = {
    {"ShowTreeview", &TDisplaySettings::ShowTreeview},
    {"ShowCombobox", &TDisplaySettings::ShowCombobox},
    {"HighlightQuoting", &TDisplaySettings::HighlightQuoting},
    {"HighlightURLs", &TDisplaySettings::HighlightURLs},
    {"HtmlViewing", &TDisplaySettings::HtmlViewing},
};

constexpr TBoolValue<TWarningSettings> WarningBools[] = {
    {"DeleteMails", &TWarningSettings::DeleteMails},
    {"ExecLocalFilter", &TWarningSettings::ExecLocalFilter},
    {"NewActiveUser", &TWarningSettings::NewActiveUser},
    {"NoActiveConnection", &TWarningSettings::NoActiveConnection},
    {"RasAtEnd", &TWarningSettings::RasAtEnd},
    {"RasWhenFinished", &TWarningSettings::RasWhenFinished},
    {"RasWhenClicked", &TWarningSettings::RasWhenClicked},
    {"EmptyTheTrash", &TWarningSettings::EmptyTheTrash},
    {"SMDeleteMails", &TWarningSettings::SMDeleteMails},
};

// The message window's own flags, which only the warnings reset writes.
constexpr TBoolValue<TWarningSettings> MessageWindowWarningBools[] = {
    {"LVExecuteAttachment", &TWarningSettings::LVExecuteAttachment},
    {"LVUseCCRecipients", &TWarningSettings::LVUseCCRecipients},
    {"LVNoSubject", &TWarningSettings::LVNoSubject},
};

constexpr QChar CategorySeparator = QLatin1Char('|');
constexpr int DefaultCategoriesText = 504;
const QString CategoriesValue = QStringLiteral("AdrCategories");
// Set once the categories of the settings file were taken over.
const QString CategoriesCarriedOverValue = QStringLiteral("AdrCategoriesCarriedOver");

QStringList DefaultAddressCategories()
{
    return MessageText(DefaultCategoriesText).split(CategorySeparator);
}

// The categories the settings file of an earlier version holds, nothing when it has none. The
// file was written in the Windows code page, or in UTF-8 by QSettings (which hands a value with
// commas back as a list).
std::optional<QStringList> SettingsFileCategories(const QString& settingsFile)
{
    QFile raw(settingsFile);
    if (!raw.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = raw.readAll();
    QTemporaryFile converted;
    QString readable = settingsFile;
    if (!IsValidUtf8(content)) {
        if (!converted.open() || converted.write(UndeclaredToUtf8(content)) < 0 || !converted.flush())
            return std::nullopt;
        readable = converted.fileName();
    }
    // QSettings keeps "[General]" for keys outside any group and writes a group of that name as
    // "[%General]": a file of Windows has the one, one written by QSettings the other.
    const QSettings file(readable, QSettings::IniFormat);
    const QVariant value = file.contains(QStringLiteral("General/AdrCategories")) ? file.value(QStringLiteral("General/AdrCategories"))
                                                                                 : file.value(QStringLiteral("AdrCategories"));
    const QString joined = value.typeId() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(','))
                                                                    : value.toString();
    if (joined.isEmpty())
        return std::nullopt;
    return joined.split(CategorySeparator, Qt::SkipEmptyParts);
}

const QString MimeText = QStringLiteral("Mime");
const QString UUText = QStringLiteral("UU");
const QString QuotedPrintableText = QStringLiteral("Quoted Printable");
const QString Base64Text = QStringLiteral("Base64");
const QString NoCharsetText = QStringLiteral("USASCII");

} // namespace

TGeneralSettings LoadGeneralSettings(const QString& keyName)
{
    const TRegistryKey key(keyName);
    TGeneralSettings s;
    ReadBools(key, s, GeneralBools);
    ReadBools(key, s, GeneralReadOnlyBools);
    s.Signature = key.ReadString(Name("Signature"));
    s.AdrCategories = LoadAddressCategories(keyName).join(CategorySeparator);
    s.SoundNewMail = key.ReadString(Name("SoundNewMail"), Paths().Program.NewMailSound);
    s.SoundNoMail = key.ReadString(Name("SoundNoMail"), Paths().Program.NoMailSound);
    return s;
}

void SaveGeneralSettings(const QString& keyName, const TGeneralSettings& s)
{
    TRegistryKey key(keyName);
    WriteBools(key, s, GeneralBools);
    key.WriteString(Name("Signature"), s.Signature);
    key.WriteString(Name("SoundNewMail"), s.SoundNewMail);
    key.WriteString(Name("SoundNoMail"), s.SoundNoMail);
}

qint64 LoadPopMaxMessageSize(const QString& generalKey)
{
    constexpr qint64 MiB = 1024 * 1024;
    const int value = TRegistryKey(generalKey).ReadInteger(QStringLiteral("PopMaxMessageMiB"),
                                                           int(TqmCustomPOP::DefaultMaxMessageSize / MiB));
    return value > 0 ? value * MiB : 0;
}

QStringList LoadAddressCategories(const QString& generalKey)
{
    const QString joined = TRegistryKey(generalKey).ReadString(CategoriesValue);
    return joined.isEmpty() ? DefaultAddressCategories() : joined.split(CategorySeparator);
}

void SaveAddressCategories(const QString& generalKey, const QStringList& categories)
{
    TRegistryKey key(generalKey);
    key.WriteString(CategoriesValue, (categories.isEmpty() ? DefaultAddressCategories() : categories).join(CategorySeparator));
    key.Flush();
}

void CarryOverAddressCategories(const QString& settingsFile, const QString& generalKey)
{
    TRegistryKey key(generalKey);
    if (key.ReadBool(CategoriesCarriedOverValue, false))
        return;
    if (const std::optional<QStringList> old = SettingsFileCategories(settingsFile)) {
        QStringList categories = key.ValueExists(CategoriesValue) ? LoadAddressCategories(generalKey) : QStringList();
        for (const QString& category : *old)
            if (!categories.contains(category))
                categories.append(category);
        SaveAddressCategories(generalKey, categories);
    }
    key.WriteBool(CategoriesCarriedOverValue, true);
    key.Flush();
}

QStringList CurrentAddressCategories()
{
    const QString generalKey = UserContext().Keys.General;
    CarryOverAddressCategories(Paths().Data.UserIniFile, generalKey);
    return LoadAddressCategories(generalKey);
}

void SaveCurrentAddressCategories(const QStringList& categories)
{
    SaveAddressCategories(UserContext().Keys.General, categories);
}

TDisplaySettings LoadDisplaySettings(const QString& keyName)
{
    const TRegistryKey key(keyName);
    TDisplaySettings s;
    ReadBools(key, s, DisplayBools);
    // Both off would leave no way to choose a folder.
    if (!s.ShowTreeview && !s.ShowCombobox)
        s.ShowTreeview = true;
    s.MailFont = key.ReadString(Name("MailFont"), s.MailFont);
    s.TreeviewWidth = key.ReadInteger(Name("TreeviewWidth"), s.TreeviewWidth);
    s.ListviewHeight = key.ReadInteger(Name("ListviewHeight"), s.ListviewHeight);
    return s;
}

void SaveDisplaySettings(const QString& keyName, const TDisplaySettings& s)
{
    TRegistryKey key(keyName);
    WriteBools(key, s, DisplayBools);
    key.WriteString(Name("MailFont"), s.MailFont);
    key.WriteInteger(Name("TreeviewWidth"), s.TreeviewWidth);
    key.WriteInteger(Name("ListviewHeight"), s.ListviewHeight);
}

TMailformatSettings LoadMailformatSettings(const QString& keyName)
{
    const TRegistryKey key(keyName);
    TMailformatSettings s;
    s.Encoding = detail::EncodingFromText(key.ReadString(Name("Encoding"), MimeText));
    s.Charset = detail::CharsetFromText(key.ReadString(Name("Charset"), QuotedPrintableText));
    return s;
}

void SaveMailformatSettings(const QString& keyName, const TMailformatSettings& s)
{
    TRegistryKey key(keyName);
    key.WriteString(Name("Encoding"), detail::EncodingText(s.Encoding));
    key.WriteString(Name("Charset"), detail::CharsetText(s.Charset));
}

TWarningSettings LoadWarningSettings(const QString& keyName)
{
    const TRegistryKey key(keyName);
    TWarningSettings s;
    ReadBools(key, s, WarningBools);
    ReadBools(key, s, MessageWindowWarningBools);
    return s;
}

void SaveWarningSettings(const QString& keyName, const TWarningSettings& s)
{
    TRegistryKey key(keyName);
    WriteBools(key, s, WarningBools);
}

void ResetAllWarnings(const QString& keyName)
{
    TRegistryKey key(keyName);
    const TWarningSettings reset;
    WriteBools(key, reset, WarningBools);
    WriteBools(key, reset, MessageWindowWarningBools);
}

namespace detail {

TMailEncoding EncodingFromText(const QString& text)
{
    return text == MimeText ? TMailEncoding::Mime : TMailEncoding::UUEncode;
}

QString EncodingText(TMailEncoding encoding)
{
    return encoding == TMailEncoding::Mime ? MimeText : UUText;
}

TMailCharset CharsetFromText(const QString& text)
{
    if (text == QuotedPrintableText)
        return TMailCharset::QuotedPrintable;
    if (text == Base64Text)
        return TMailCharset::Base64;
    return TMailCharset::None;
}

QString CharsetText(TMailCharset charset)
{
    switch (charset) {
    case TMailCharset::QuotedPrintable:
        return QuotedPrintableText;
    case TMailCharset::Base64:
        return Base64Text;
    case TMailCharset::None:
        break;
    }
    return NoCharsetText;
}

} // namespace detail

TSharedSettings LoadSharedSettings(const TUserSettingKeys& keys)
{
    return {LoadGeneralSettings(keys.General), LoadDisplaySettings(keys.Display),
            LoadMailformatSettings(keys.Mailformat), LoadWarningSettings(keys.Warnings)};
}

void SaveSharedSettings(const TUserSettingKeys& keys, const TSharedSettings& settings)
{
    SaveGeneralSettings(keys.General, settings.General);
    SaveDisplaySettings(keys.Display, settings.Display);
    SaveMailformatSettings(keys.Mailformat, settings.Mailformat);
    SaveWarningSettings(keys.Warnings, settings.Warnings);
}
