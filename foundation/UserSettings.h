#pragma once
// The per-user options that several programs of the suite read, one struct per registry group,
// each with its defaults. This is the one place that knows the value names and the defaults:
// the main client, the message window, the agent and the server manager all load through here.
// Values the settings dialog never changes (DebugMode, ExpandWhenDragging) are read but never
// written back, so that a person's hand-made entry survives.

#include "RegistryFunctions.h"

#include <QString>
#include <QStringList>

// The "General" group.
struct TGeneralSettings {
    bool ViewSaveAttachments = true;
    bool LogActive = false;
    bool QuoteMails = true;
    bool DebugMode = false;
    bool AutoSignature = false;
    QString Signature;
    bool AutoChooseRecipient = false;
    bool AutoRequestReceipt = false;
    QString AdrCategories;  // categories separated by "|"
    bool AutoLocalFilter = false;
    bool AutoConnectServer = true;
    bool ExpandWhenDragging = false;
    bool RasDiscAtEnd = true;
    bool RasDiscWhenFinished = true;
    bool PlaySoundNewMail = true;
    bool PlaySoundNoMail = true;
    QString SoundNewMail;
    QString SoundNoMail;
    bool EmptyTrash = false;
};

inline constexpr int DefaultTreeviewWidth = 145;
// The font text that stands for the desktop's default message font.
inline const QString DefaultMailFont = QStringLiteral("\"MS Sans Serif\", 8, [], [clWindowText]");

// The "Display" group.
struct TDisplaySettings {
    bool ShowTreeview = true;
    bool ShowCombobox = false;
    bool HighlightQuoting = true;
    bool HighlightURLs = true;
    bool HtmlViewing = true;
    QString MailFont = DefaultMailFont;
    int TreeviewWidth = DefaultTreeviewWidth;
    int ListviewHeight = 0;  // 0: the list's designed height
};

enum class TMailEncoding { Mime, UUEncode };
enum class TMailCharset { None, QuotedPrintable, Base64 };

// The "Mailformat" group: how composed messages are encoded.
struct TMailformatSettings {
    TMailEncoding Encoding = TMailEncoding::Mime;
    TMailCharset Charset = TMailCharset::QuotedPrintable;
};

// The "Warnings" group: true means the question is asked.
struct TWarningSettings {
    bool DeleteMails = true;
    bool ExecLocalFilter = true;
    bool NewActiveUser = true;
    bool NoActiveConnection = true;
    bool RasAtEnd = true;
    bool RasWhenFinished = true;
    bool RasWhenClicked = true;
    bool EmptyTheTrash = true;
    bool SMDeleteMails = true;
    bool LVExecuteAttachment = true;
    bool LVUseCCRecipients = true;
    bool LVNoSubject = true;
};

// Each loader takes the registry key of its group (TUserSettingKeys); a missing value yields
// its default. The General defaults for the sounds and categories need the program paths and
// the language, so load after start-up has set them.
TGeneralSettings LoadGeneralSettings(const QString& key);
void SaveGeneralSettings(const QString& key, const TGeneralSettings& settings);
TDisplaySettings LoadDisplaySettings(const QString& key);
void SaveDisplaySettings(const QString& key, const TDisplaySettings& settings);
TMailformatSettings LoadMailformatSettings(const QString& key);
void SaveMailformatSettings(const QString& key, const TMailformatSettings& settings);
TWarningSettings LoadWarningSettings(const QString& key);
// Writes the main client's flags. The message window's own flags (LV...) are left alone: the
// message window writes them itself, and a stale copy here must not undo its change.
void SaveWarningSettings(const QString& key, const TWarningSettings& settings);
// The warnings reset: every flag of the group, the message window's included, back to true.
void ResetAllWarnings(const QString& key);

// "PopMaxMessageMiB" of the General group in bytes: the largest message the agent and the server
// manager fetch (default 256 MiB); 0 or less turns the limit off and gives 0.
qint64 LoadPopMaxMessageSize(const QString& generalKey);

// The address book's categories: "AdrCategories" of the General group, joined with "|"; the
// default is text 504. The address book writes them and the recipient chooser offers them.
QStringList LoadAddressCategories(const QString& generalKey);
// An empty list stores the default.
void SaveAddressCategories(const QString& generalKey, const QStringList& categories);
// Earlier versions of the address book kept the categories in the user settings file
// (`settingsFile`, section General): the first call adds those not yet known to the registry's
// list, and later calls leave it alone. The file itself stays as it was.
void CarryOverAddressCategories(const QString& settingsFile, const QString& generalKey);
// The active user's categories, carried over from the settings file first.
QStringList CurrentAddressCategories();
void SaveCurrentAddressCategories(const QStringList& categories);

// The four groups together, as the programs with windows keep them.
struct TSharedSettings {
    TGeneralSettings General;
    TDisplaySettings Display;
    TMailformatSettings Mailformat;
    TWarningSettings Warnings;
};

TSharedSettings LoadSharedSettings(const TUserSettingKeys& keys);
void SaveSharedSettings(const TUserSettingKeys& keys, const TSharedSettings& settings);

namespace detail {
// The stored texts of the Mailformat values: "Mime" selects MIME and anything else UUEncode;
// "Quoted Printable" and "Base64" select those, any other text (also "USASCII") none.
TMailEncoding EncodingFromText(const QString& text);
QString EncodingText(TMailEncoding encoding);
TMailCharset CharsetFromText(const QString& text);
QString CharsetText(TMailCharset charset);
} // namespace detail
