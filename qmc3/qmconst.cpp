#include "qmconst.h"

#include <QHash>

namespace {

const QHash<int, const char*>& Texts()
{
    static const QHash<int, const char*> texts = {
        {10000, "[0] No Error"},
        {10004, "[10004] Interrupted function call"},
        {10009, "[10009] Bad file number"},
        {10013, "[10013] Permission denied."},
        {10014, "[10014] Bad address"},
        {10022, "[10022] Invalid argument"},
        {10024, "[10024] Too many open files"},
        {10035, "[10035] Resource temporarily not available"},
        {10036, "[10036] Operation now in progress"},
        {10037, "[10037] Operation already in progress"},
        {10038, "[10038] Socket operation on non-socket"},
        {10039, "[10039] Destination address required"},
        {10040, "[10040] Message too long"},
        {10041, "[10041] Protocol wrong type for socket"},
        {10042, "[10042] Bad protocol option"},
        {10043, "[10043] Protocol not supported"},
        {10044, "[10044] Socket type not supported"},
        {10045, "[10045] Operation not supported"},
        {10046, "[10046] Protocol family not supported"},
        {10047, "[10047] Address family not supported by protocol family"},
        {10048, "[10048] Address already in use"},
        {10049, "[10049] Cannot assign requested address"},
        {10050, "[10050] Network is down"},
        {10051, "[10051] Network is unreachable"},
        {10052, "[10052] Network dropped connection or reset"},
        {10053, "[10053] Software caused connection abort"},
        {10054, "[10054] Connection reset by peer"},
        {10055, "[10055] No buffer space available"},
        {10056, "[10056] Socket is already connected"},
        {10057, "[10057] Socket is not connected"},
        {10058, "[10058] Can't send after socket shutdown"},
        {10059, "[10059] Too many references, can't splice"},
        {10060, "[10060] Connection timed out"},
        {10061, "[10061] Connection refused"},
        {10062, "[10062] Too many levels of symbolic links"},
        {10063, "[10063] File name too long"},
        {10064, "[10064] Host is down"},
        {10065, "[10065] No Route to Host"},
        {10066, "[10066] Directory not empty"},
        {10067, "[10067] Too many processes"},
        {10068, "[10068] Too many users"},
        {10069, "[10069] Disc Quota Exceeded"},
        {10070, "[10070] Stale NFS file handle"},
        {10071, "[10071] Too many levels of remote in path"},
        {10091, "[10091] Network subsystem is unavailable"},
        {10092, "[10092] WINSOCK DLL Version out of range"},
        {10093, "[10093] Successful WSAStartup() not yet performed"},
        {10094, "[10094] Graceful shutdown in progress"},
        {11001, "[11001] Host not found"},
        {11002, "[11002] Non-Authoritative Host not found"},
        {11003, "[11003] Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
        {11004, "[11004] Valid name, no data record of requested type"},
        {57000, "Operation timed out"},
        {57001, "Operation has been canceled"},
        {57002, "Server property is required"},
        {57003, "Invalid Winsock version"},
        {57004, "Error resolving remote host"},
        {57005, "Service name is required"},
        {57008, "You have to connect to the server first"},
        {57010, "Function %s not found"},
        {57011, "Winsock is not loaded"},
        {57012, "Winsock not found"},
        {57100, "The address of sender is required"},
        {57101, "At least one Recipient, CC or BCC must be entered"},
        {57102, "MailMessage property must be assigned"},
        {57103, "UserName property is required"},
        {57104, "Password property is required"},
        {57105, "IDs are different"},
        {57106, "This is a multipart message in MIME format"},
        {57107, "Unable to retrieve headers"},
        {57108, "Missing required field: Content-Type"},
        {57109, "Cannot find closing boundary"},
        {57110, "Cannot find boundary"},
        {57111, "Error decoding the attachment"},
        {57112, "Unable to execute attachment #%d\nbecause file name is blank"},
        {57113, "Error executing ShellExec.  Error code %d"},
        {57114, "The message parts are nested too deeply"},
        {57120, "The server does not offer %1, so the connection cannot be encrypted; nothing was sent in clear"},
        {57121, "The secure connection to %1 failed: %2"},
        {57122, "The certificate of %1 is not trusted: %2\nSHA-256 fingerprint: %3"},
        {57123, "The server offers no log-in method this program knows (PLAIN, LOGIN, CRAM-MD5)"},
        {57230, "The server offers no OAuth2 log-in (OAUTHBEARER, XOAUTH2); this account cannot log in with a password"},
        {57124, "The message (%1 bytes) is larger than the server accepts (%2 bytes)"},
        {57125, "The server's log-in challenge is not valid base64"},
        {57126, "The server sent data before the secure connection was made"},
        {57127, "The server sent far more than the size it announced for the message; the transfer was stopped"},
        {57128, "%1 offers no encrypted connection (no %2), so no password was sent. To log in without "
                "encryption, choose the security \"none\" for this account"},
        {57129, "%1 offered an encrypted connection before and no longer offers %2: someone on the way may be "
                "removing it. Neither password nor message was sent. If the server really stopped encrypting, "
                "choose the security \"none\" for this account"},
        {57130, "The server answered before it had the whole message, so its answers no longer match the "
                "commands; the connection was closed and the message counts as not sent. The server said: %1"},
        {57136, "(an empty line)"},
        {57137, "%1 did not answer as a %2 server. It sent: %3"},
        {57138, "%1 refused the log-in: the user name or the password is probably wrong. The server replied: %2"},
        {57139, "The server's answer to %1 does not end (more than %2 lines), so the connection was closed. Its "
                "last line: %3"},
        {57131, "The certificate of %1 has CHANGED since it was trusted, and the connection was refused: someone on "
                "the way may be posing as the server (%2).\nTrusted SHA-256 fingerprint: %3\nNew SHA-256 fingerprint: %4"},
        {57160, "Message %1 (%2 bytes) is larger than the limit of %3 bytes and stays on the server"},
        {57161, "Message %1 grew past the limit of %2 bytes; the transfer was stopped and nothing was deleted on "
                "the server"},
        {57150, "A line of the header field \"%1\" is longer than 998 characters and has no white space to fold it at"},
        {57151, "A part with a line longer than 998 characters uses the unknown transfer encoding \"%1\""},
        {57152, "A multipart body with a line longer than 998 characters has no closing boundary \"%1\""},
        {57153, "A part with a line longer than 998 characters is nested more than %1 levels deep"},
        {57154, "The message has more than %1 parts; the structure was cut there and the rest is kept unread"},
        {57170, "Part %1"},
        {57171, "Message"},
        {57250, "%1 sent a line that is no IMAP response, so the connection was closed: %2"},
        {57251, "The folder \"%1\" cannot be opened on the server: %2"},
        {57252, "The server sent a message without naming its UID first; the connection was closed and nothing "
                "was deleted"},
        {57253, "Other messages in the folder \"%1\" are flagged as deleted and the server cannot remove only "
                "ours (no UIDPLUS): the messages stay on the server until the next run"},
        {57254, "The server did not store the message in the folder \"%1\": %2"},
        {57255, "The server has no folder for sent messages (\\Sent, \"Sent\" or \"Gesendet\")"},
        {57256, "A message literal of %1 bytes does not end where announced; the transfer was stopped and nothing "
                "was deleted on the server"},
    };
    return texts;
}

// The German form of the texts the programs show; the texts that go into messages (57106 to 57113)
// and the rare socket errors stay English.
const QHash<int, const char*>& GermanTexts()
{
    static const QHash<int, const char*> texts = {
        {10013, "[10013] Zugriff verweigert."},
        {10024, "[10024] Zu viele offene Dateien"},
        {10040, "[10040] Nachricht zu lang"},
        {10045, "[10045] Vorgang nicht unterstützt"},
        {10048, "[10048] Adresse wird bereits verwendet"},
        {10050, "[10050] Das Netzwerk ist nicht verfügbar"},
        {10051, "[10051] Das Netzwerk ist nicht erreichbar"},
        {10052, "[10052] Die Netzwerkverbindung wurde unterbrochen"},
        {10053, "[10053] Die Verbindung wurde abgebrochen"},
        {10054, "[10054] Die Verbindung wurde vom Server getrennt"},
        {10055, "[10055] Kein Pufferspeicher verfügbar"},
        {10060, "[10060] Zeitüberschreitung beim Verbindungsaufbau"},
        {10061, "[10061] Verbindung abgelehnt"},
        {10064, "[10064] Der Server ist nicht in Betrieb"},
        {10065, "[10065] Keine Route zum Server"},
        {11001, "[11001] Server nicht gefunden"},
        {11002, "[11002] Server nicht gefunden (keine verbindliche Antwort)"},
        {11003, "[11003] Nicht behebbarer Fehler bei der Namensauflösung"},
        {11004, "[11004] Der Name ist gültig, hat aber keine Adresse"},
        {57000, "Zeitüberschreitung: der Server antwortet nicht"},
        {57001, "Der Vorgang wurde abgebrochen"},
        {57002, "Es ist kein Server angegeben"},
        {57004, "Fehler beim Auflösen des Servernamens"},
        {57005, "Es ist kein Dienstname angegeben"},
        {57008, "Es besteht keine Verbindung zum Server"},
        {57100, "Die Adresse des Absenders fehlt"},
        {57101, "Es muss mindestens ein Empfänger (An, Kopie oder Blindkopie) angegeben sein"},
        {57102, "Es ist keine Nachricht angegeben"},
        {57103, "Es ist kein Benutzername angegeben"},
        {57104, "Es ist kein Kennwort angegeben"},
        {57105, "Die Nachrichten auf dem Server haben sich geändert (IDs sind verschieden)"},
        {57114, "Die Teile der Nachricht sind zu tief verschachtelt"},
        {57120, "Der Server bietet %1 nicht an, daher kann die Verbindung nicht verschlüsselt werden; es wurde "
                "nichts unverschlüsselt gesendet"},
        {57121, "Die sichere Verbindung zu %1 ist fehlgeschlagen: %2"},
        {57122, "Dem Zertifikat von %1 wird nicht vertraut: %2\nSHA-256-Fingerabdruck: %3"},
        {57123, "Der Server bietet kein Anmeldeverfahren an, das dieses Programm kennt (PLAIN, LOGIN, CRAM-MD5)"},
        {57230, "Der Server bietet keine Anmeldung mit OAuth2 an (OAUTHBEARER, XOAUTH2); dieses Mailkonto kann sich nicht mit einem Kennwort anmelden"},
        {57124, "Die Nachricht (%1 Bytes) ist größer, als der Server annimmt (%2 Bytes)"},
        {57125, "Die Anmelde-Aufforderung des Servers ist kein gültiges Base64"},
        {57126, "Der Server hat Daten gesendet, bevor die sichere Verbindung bestand"},
        {57127, "Der Server hat weit mehr gesendet als die angekündigte Größe der Nachricht; die Übertragung "
                "wurde abgebrochen"},
        {57128, "%1 bietet keine verschlüsselte Verbindung an (kein %2), daher wurde kein Kennwort gesendet. "
                "Um sich ohne Verschlüsselung anzumelden, wählen Sie für dieses Konto die Verbindungssicherheit "
                "\"Keine (Klartext)\""},
        {57129, "%1 hat früher eine verschlüsselte Verbindung angeboten und bietet %2 nicht mehr an: "
                "möglicherweise entfernt jemand unterwegs die Verschlüsselung. Weder Kennwort noch Nachricht "
                "wurden gesendet. Falls der Server wirklich nicht mehr verschlüsselt, wählen Sie für dieses Konto "
                "die Verbindungssicherheit \"Keine (Klartext)\""},
        {57130, "Der Server hat geantwortet, bevor er die ganze Nachricht hatte, daher passen seine Antworten "
                "nicht mehr zu den Befehlen; die Verbindung wurde getrennt und die Nachricht gilt als nicht "
                "gesendet. Der Server sagte: %1"},
        {57136, "(eine leere Zeile)"},
        {57137, "%1 hat nicht als %2-Server geantwortet. Gesendet wurde: %3"},
        {57138, "%1 hat die Anmeldung abgelehnt: vermutlich sind Benutzername oder Kennwort falsch. Antwort des "
                "Servers: %2"},
        {57139, "Die Antwort des Servers auf %1 endet nicht (mehr als %2 Zeilen), daher wurde die Verbindung "
                "getrennt. Ihre letzte Zeile: %3"},
        {57170, "Teil %1"},
        {57171, "Nachricht"},
        {57250, "%1 hat eine Zeile gesendet, die keine IMAP-Antwort ist; die Verbindung wurde getrennt: %2"},
        {57251, "Der Ordner \"%1\" lässt sich auf dem Server nicht öffnen: %2"},
        {57252, "Der Server hat eine Nachricht gesendet, ohne zuvor ihre UID zu nennen; die Verbindung wurde "
                "getrennt und nichts gelöscht"},
        {57253, "Im Ordner \"%1\" sind weitere Nachrichten zum Löschen markiert, und der Server kann nicht nur "
                "unsere entfernen (kein UIDPLUS): die Nachrichten bleiben bis zum nächsten Abruf auf dem Server"},
        {57254, "Der Server hat die Nachricht nicht im Ordner \"%1\" abgelegt: %2"},
        {57255, "Der Server hat keinen Ordner für gesendete Nachrichten (\\Sent, \"Sent\" oder \"Gesendet\")"},
        {57256, "Eine Nachricht von angekündigt %1 Bytes endet nicht an der angekündigten Stelle; die Übertragung "
                "wurde abgebrochen und nichts auf dem Server gelöscht"},
    };
    return texts;
}

bool& German()
{
    static bool german = false;
    return german;
}

// "\x1B" for a control character, "\u202E" for an invisible format character such as a
// direction override: what the server sent stays visible and cannot rearrange the text around it.
void AppendVisible(QString& out, QChar c)
{
    const QChar::Category category = c.category();
    if (category == QChar::Other_Control)
        out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    else if (category == QChar::Other_Format)
        out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    else
        out += c;
}

} // namespace

void qmSetLanguage(TqmLanguage language)
{
    German() = language == TqmLanguage::German;
}

QString qmMessageText(int id)
{
    const char* text = German() ? GermanTexts().value(id, nullptr) : nullptr;
    if (!text)
        text = Texts().value(id, nullptr);
    if (text)
        return QString::fromUtf8(text);
    return (German() ? QStringLiteral("Fehler Nr. %1") : QStringLiteral("Error #%1")).arg(id);
}

QString qmReplyText(QByteArrayView reply)
{
    if (reply.isEmpty())
        return qmMessageText(qmEmptyReply);
    const QString decoded = QString::fromUtf8(reply);
    QString shown;
    shown.reserve(decoded.size());
    for (QChar c : decoded)
        AppendVisible(shown, c);
    return shown;
}
