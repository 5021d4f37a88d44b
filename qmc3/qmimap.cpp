#include "qmimap.h"

#include "qmconst.h"
#include "qmdiscard.h"
#include "qmsasl.h"
#include "qmwriteguard.h"

#include <QBuffer>

#include <limits>

namespace {

// A response line this long is a listing (SEARCH of a very large folder), not a reason to stop;
// beyond it the server is taken for one that never ends its line.
constexpr qsizetype MaxResponseLine = 8 * 1024 * 1024;
// Literals other than message bodies (an ENVELOPE's subject, a folder name) are held in memory.
constexpr qint64 MaxSmallLiteral = 1024 * 1024;
constexpr qint64 MaxResponseSize = 16 * 1024 * 1024;
// UIDs per STORE, EXPUNGE or info FETCH command.
constexpr qsizetype CommandBatch = 1000;

// Servers count line ends differently, and some announce sizes loosely; a body past twice the
// announced size and a mebibyte more is taken as one that never ends (as for POP3).
qint64 RetrievalLimit(qint64 announcedSize)
{
    constexpr qint64 Margin = 1024 * 1024;
    return 2 * qMax<qint64>(announcedSize, 0) + Margin;
}

// The literal announced at the end of `line` ("{123}" or the non-synchronising "{123+}"), -1 when
// the line ends without one. `prefix` receives the line before it.
qint64 TrailingLiteral(const QByteArray& line, QByteArray& prefix)
{
    if (!line.endsWith('}'))
        return -1;
    const qsizetype open = line.lastIndexOf('{');
    if (open < 0)
        return -1;
    QByteArray digits = line.mid(open + 1, line.size() - open - 2);
    if (digits.endsWith('+'))
        digits.chop(1);
    bool ok = false;
    const qint64 size = digits.toLongLong(&ok);
    if (!ok || size < 0)
        return -1;
    prefix = line.left(open);
    return size;
}

bool EndsWithBodySection(const QByteArray& prefix)
{
    return prefix.trimmed().toUpper().endsWith("BODY[]");
}

bool IsNumber(const TImapValue& value)
{
    bool ok = false;
    value.Text.toLongLong(&ok);
    return ok && value.Kind == TImapValue::TKind::Atom;
}

// What may follow a body inside a FETCH response: more "NAME value" pairs and the list's end, as in
// " FLAGS (\Seen))". The rest of a body longer than its literal hardly ever looks like that.
bool EndsFetchItems(const QByteArray& rest)
{
    const QByteArray trimmed = rest.trimmed();
    if (!trimmed.endsWith(')'))
        return false;
    const QList<TImapValue> values = detail::ParseImapValues(trimmed.chopped(1));
    if (values.size() % 2 != 0)
        return false;
    for (qsizetype i = 0; i < values.size(); i += 2)
        if (values.at(i).Kind != TImapValue::TKind::Atom || values.at(i).Text.isEmpty() || !std::isalpha(uchar(values.at(i).Text.at(0))))
            return false;
    return true;
}

} // namespace

bool TqmImapFolder::HasAttribute(QByteArrayView attribute) const
{
    for (const QByteArray& own : Attributes)
        if (QByteArrayView(own).compare(attribute, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool TqmImapFolder::Selectable() const
{
    return !HasAttribute("\\Noselect") && !HasAttribute("\\NonExistent");
}

TqmIMAP::TqmIMAP(QObject* parent) : TqmMailBase(parent)
{
    DefaultPort = 143;
    ServiceName = "imap";
    DefaultTlsPort = 993;
    TlsServiceName = "imaps";
}

void TqmIMAP::Verify()
{
    VerifyMailboxLogIn(UserName, Password);
}

void TqmIMAP::Open()
{
    Verify();
    ReInit();
    TqmMailBase::Open();
}

bool TqmIMAP::HasCapability(QByteArrayView name) const
{
    for (const QByteArray& capability : m_capabilities)
        if (QByteArrayView(capability).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void TqmIMAP::NotImap(const QByteArray& line)
{
    Close();
    throw EServerError(qmMessageText(qmNoImapResponse).arg(QString::fromUtf8(HostName()), qmReplyText(line)));
}

void TqmIMAP::StreamLiteral(QIODevice& device, qint64 size)
{
    if (RecvStream(device, size) < size)
        Error(10054);
}

bool TqmIMAP::ReadResponse(TImapResponse& response, const TLiteralSink& bodySink)
{
    response = {};
    for (;;) {
        QByteArray line;
        RecvLongLine(line, MaxResponseLine);
        if (response.Text.isEmpty() && response.Literals.isEmpty() && line.startsWith('+')) {
            response.Text = line;
            return false;
        }
        QByteArray prefix;
        const qint64 size = TrailingLiteral(line, prefix);
        if (size < 0) {
            response.Text += line;
            return true;
        }
        response.Text += prefix;
        if (bodySink && EndsWithBodySection(response.Text)) {
            bodySink(response, size);
            response.Text += "{#-1}";
        } else {
            if (size > MaxSmallLiteral || response.Text.size() + size > MaxResponseSize) {
                Close();
                Error(10040);
            }
            QBuffer literal;
            literal.open(QIODevice::WriteOnly);
            StreamLiteral(literal, size);
            response.Text += "{#" + QByteArray::number(response.Literals.size()) + '}';
            response.Literals.append(literal.data());
        }
        if (response.Text.size() > MaxResponseSize) {
            Close();
            Error(10040);
        }
    }
}

TqmIMAP::TTagged TqmIMAP::Run(const QByteArray& command, const TUntagged& untagged, const TContinuation& continuation,
                             const TLiteralSink& bodySink, const QByteArray& shown)
{
    const QByteArray tag = 'A' + QByteArray::number(++m_tag);
    if (shown.isEmpty())
        SendLine(tag + ' ' + command);
    else
        SendSecretLine(tag + ' ' + command, tag + ' ' + shown);
    for (;;) {
        TImapResponse response;
        if (!ReadResponse(response, bodySink)) {
            if (!continuation)
                NotImap(response.Text);
            continuation(response.Text);
            continue;
        }
        if (response.Text.startsWith("* ")) {
            const QList<TImapValue> values = detail::ParseImapValues(response);
            NoteUntagged(values);
            if (untagged)
                untagged(response, values);
            continue;
        }
        if (!response.Text.startsWith(tag + ' '))
            NotImap(response.Text);
        const QByteArray rest = response.Text.mid(tag.size() + 1);
        const qsizetype space = rest.indexOf(' ');
        TTagged tagged;
        tagged.Status = (space < 0 ? rest : rest.left(space)).toUpper();
        tagged.Text = space < 0 ? QByteArray() : rest.mid(space + 1);
        tagged.Ok = tagged.Status == "OK";
        if (!tagged.Ok && tagged.Status != "NO" && tagged.Status != "BAD")
            NotImap(response.Text);
        return tagged;
    }
}

void TqmIMAP::RunOk(const QByteArray& command, const TUntagged& untagged)
{
    Require(Run(command, untagged).Ok);
}

void TqmIMAP::NoteUntagged(const QList<TImapValue>& values)
{
    if (values.size() >= 3 && IsNumber(values.at(1)) && values.at(2).IsAtom("EXPUNGE"))
        ++m_expunged;
    if (values.size() >= 2 && values.at(1).IsAtom("CAPABILITY"))
        TakeCapabilities(values, 2);
}

void TqmIMAP::TakeCapabilities(const QList<TImapValue>& values, qsizetype from)
{
    m_capabilities.clear();
    for (qsizetype i = from; i < values.size(); ++i)
        m_capabilities.append(values.at(i).Text.toUpper());
}

bool TqmIMAP::TakeCapabilityCode(const QByteArray& text)
{
    const QByteArray code = detail::ResponseCode(text);
    if (!code.toUpper().startsWith("CAPABILITY "))
        return false;
    TakeCapabilities(detail::ParseImapValues(code), 1);
    return true;
}

void TqmIMAP::AskCapabilities()
{
    RunOk("CAPABILITY");
}

void TqmIMAP::LogIn()
{
    m_tag = 0;
    m_capabilities.clear();
    LastWarning.clear();
    try {
        ReInit();
        Connect();
        QByteArray greeting;
        RecvLongLine(greeting, MaxResponseLine);
        const QByteArray status = greeting.mid(2, greeting.indexOf(' ', 2) - 2).toUpper();
        const bool untagged = greeting.startsWith("* ");
        RequireGreeting(untagged && (status == "OK" || status == "PREAUTH"), untagged && status == "BYE", "IMAP");
        TakeCapabilityCode(greeting.mid(2 + status.size()));
        if (m_capabilities.isEmpty())
            AskCapabilities();
        NegotiateTls();
        if (status != "PREAUTH")
            Authenticate();
    } catch (...) {
        Close();
        throw;
    }
}

void TqmIMAP::NegotiateTls()
{
    if (Encrypted() || (Security != TqmSecurity::secAuto && Security != TqmSecurity::secStartTls))
        return;
    if (!HasCapability("STARTTLS")) {
        if (Security == TqmSecurity::secStartTls)
            Fail(qmMessageText(qmTlsNotOffered).arg(QStringLiteral("STARTTLS")), qmTlsNotOffered);
        RefusePlainLogIn("STARTTLS");
    }
    RunOk("STARTTLS");
    StartTls();
    // What the server said in clear may have been forged (RFC 3501, 6.2.1).
    AskCapabilities();
}

void TqmIMAP::Authenticate()
{
    TTagged tagged;
    if (LogInMethod == TqmLogInMethod::OAuth2) {
        tagged = AuthenticateOAuth2();
    } else if (HasCapability("AUTH=PLAIN")) {
        const QByteArray credentials = ('\0' + UserName + '\0' + Password).toBase64();
        if (HasCapability("SASL-IR")) {
            tagged = Run("AUTHENTICATE PLAIN " + credentials, {}, {}, {}, "AUTHENTICATE PLAIN ****");
        } else {
            bool sent = false;
            tagged = Run(
                "AUTHENTICATE PLAIN", {},
                [&](const QByteArray&) {
                    // A second challenge gets an empty answer, which cancels (RFC 4959, 3).
                    SendSecretLine(sent ? QByteArray("*") : credentials, "****");
                    sent = true;
                });
        }
    } else {
        if (HasCapability("LOGINDISABLED"))
            throw EServerError(qmMessageText(qmNoAuthMechanism));
        tagged = Run("LOGIN " + detail::ImapQuoted(UserName) + ' ' + detail::ImapQuoted(Password), {}, {}, {},
                     "LOGIN " + detail::ImapQuoted(UserName) + " ****");
    }
    if (!tagged.Ok)
        RefuseAuthentication(tagged);
    // The capabilities may grow once the user is known (UIDPLUS, SPECIAL-USE).
    if (!TakeCapabilityCode(tagged.Text))
        AskCapabilities();
}

QByteArrayList TqmIMAP::SaslMechanisms() const
{
    QByteArrayList mechanisms;
    for (const QByteArray& capability : m_capabilities)
        if (capability.startsWith("AUTH="))
            mechanisms.append(capability.mid(5));
    return mechanisms;
}

TqmIMAP::TTagged TqmIMAP::AuthenticateOAuth2()
{
    const detail::TSaslMechanism mechanism = detail::ChooseOAuth2Mechanism(SaslMechanisms());
    if (mechanism == detail::TSaslMechanism::None)
        Fail(qmMessageText(qmNoOAuth2Mechanism), qmNoOAuth2Mechanism);
    const QByteArray command = "AUTHENTICATE " + detail::SaslMechanismName(mechanism);
    const QByteArray response = (mechanism == detail::TSaslMechanism::OAuthBearer
                                     ? detail::OAuthBearerMessage(UserName, Password, HostName(), Port())
                                     : detail::XOAuth2Message(UserName, Password))
                                    .toBase64();
    const bool initialResponse = HasCapability("SASL-IR");
    bool sent = initialResponse;
    const auto answer = [&](const QByteArray&) {
        if (!sent) {
            sent = true;
            return SendSecretLine(response, "****");
        }
        // RFC 7628, 3.2.2: the server's error is a challenge; the tagged NO follows our answer.
        SendLine(detail::OAuth2ErrorAcknowledgement(mechanism));
    };
    if (initialResponse)
        return Run(command + ' ' + response, {}, answer, {}, command + " ****");
    return Run(command, {}, answer);
}

void TqmIMAP::RefuseAuthentication(const TTagged& tagged)
{
    // RFC 5530: these codes say the server cannot let anyone in just now, not that the password
    // is wrong; asking for another one would not help.
    const QByteArray code = detail::ResponseCode(tagged.Text).toUpper();
    for (const char* busy : {"UNAVAILABLE", "SERVERBUG", "INUSE", "CONTACTADMIN", "EXPIRED", "PRIVACYREQUIRED"})
        if (code == busy)
            Require(false);
    if (tagged.Status == "BAD")
        Require(false);
    RefuseLogIn();
}

void TqmIMAP::LogOut()
{
    if (!OnLine())
        return;
    try {
        Run("LOGOUT");
    } catch (const ESocketError&) {
        // A server that closes at once after its BYE is within the rules (RFC 3501, 6.1.3).
    }
}

QByteArray TqmIMAP::MailboxArgument(const QString& folder)
{
    // RFC 3501, 5.1: "INBOX" is case-insensitive and never encoded.
    if (folder.compare(QLatin1String("INBOX"), Qt::CaseInsensitive) == 0)
        return "INBOX";
    return detail::ImapQuoted(detail::EncodeMailboxName(folder));
}

TqmImapMailbox TqmIMAP::Select(const QString& folder, bool readOnly)
{
    TqmImapMailbox mailbox;
    m_expunged = 0;
    m_selected = folder;
    const auto untagged = [&mailbox](const TImapResponse& response, const QList<TImapValue>& values) {
        if (values.size() >= 3 && IsNumber(values.at(1)) && values.at(2).IsAtom("EXISTS"))
            mailbox.Exists = values.at(1).Text.toLongLong();
        if (values.size() >= 2 && values.at(1).IsAtom("OK")) {
            const QList<TImapValue> code = detail::ParseImapValues(detail::ResponseCode(response.Text.mid(5)));
            if (code.size() >= 2 && code.at(0).IsAtom("UIDVALIDITY"))
                mailbox.UidValidity = code.at(1).Text.toUInt();
            if (code.size() >= 2 && code.at(0).IsAtom("UIDNEXT"))
                mailbox.UidNext = code.at(1).Text.toUInt();
        }
    };
    const TTagged tagged = Run((readOnly ? "EXAMINE " : "SELECT ") + MailboxArgument(folder), untagged);
    if (!tagged.Ok)
        throw EServerError(qmMessageText(qmFolderNotOpened).arg(folder, qmReplyText(LastReply)));
    return mailbox;
}

QList<quint32> TqmIMAP::SearchUids(const QByteArray& criteria)
{
    QList<quint32> uids;
    RunOk("UID SEARCH " + criteria, [&uids](const TImapResponse&, const QList<TImapValue>& values) {
        if (values.size() >= 2 && values.at(1).IsAtom("SEARCH"))
            uids += detail::SearchUids(values, 2);
    });
    std::sort(uids.begin(), uids.end());
    return uids;
}

QList<TqmImapMessageInfo> TqmIMAP::FetchInfo(const QList<quint32>& uids)
{
    QList<TqmImapMessageInfo> infos;
    infos.reserve(uids.size());
    const auto untagged = [&infos](const TImapResponse&, const QList<TImapValue>& values) {
        if (values.size() < 4 || !values.at(2).IsAtom("FETCH"))
            return;
        const TImapValue& items = values.at(3);
        const TImapValue* uid = detail::FetchItem(items, "UID");
        if (!uid)
            return;
        TqmImapMessageInfo info;
        info.Uid = uid->Text.toUInt();
        if (const TImapValue* size = detail::FetchItem(items, "RFC822.SIZE"))
            info.Size = size->Text.toLongLong();
        if (const TImapValue* envelope = detail::FetchItem(items, "ENVELOPE"))
            info.Headers = detail::EnvelopeHeaders(*envelope);
        if (const TImapValue* flags = detail::FetchItem(items, "FLAGS"))
            for (const TImapValue& flag : flags->Items)
                info.Flags.append(flag.Text);
        infos.append(info);
    };
    for (const QByteArray& set : detail::UidSets(uids, CommandBatch))
        RunOk("UID FETCH " + set + " (UID RFC822.SIZE FLAGS ENVELOPE)", untagged);
    return infos;
}

void TqmIMAP::FetchBodies(const QList<quint32>& uids, const QHash<quint32, qint64>& announcedSizes, const TOpenBody& open,
                          const TBodyDone& done)
{
    TqmDiscardDevice discard;
    quint32 receiving = 0;
    qint64 literalSize = 0;
    const TLiteralSink bodySink = [&](const TImapResponse& sofar, qint64 size) {
        const QList<TImapValue> values = detail::ParseImapValues(sofar);
        const TImapValue* uid = values.size() >= 4 ? detail::FetchItem(values.at(3), "UID") : nullptr;
        if (!uid) {
            Close();
            throw EServerError(qmMessageText(qmBodyBeforeUid));
        }
        receiving = uid->Text.toUInt();
        literalSize = size;
        qint64 announced = announcedSizes.value(receiving, -1);
        if (const TImapValue* item = detail::FetchItem(values.at(3), "RFC822.SIZE"))
            announced = item->Text.toLongLong();
        const bool limited = MaxMessageSize > 0;
        if (limited && size > MaxMessageSize) {
            Close();
            throw EMessageError(qmMessageText(qmMessageGrewAboveLimit).arg(receiving).arg(MaxMessageSize));
        }
        if (announced >= 0 && size > RetrievalLimit(announced)) {
            Close();
            throw EMessageError(qmMessageText(qmMessageLargerThanAnnounced));
        }
        QIODevice* device = open ? open(receiving, size) : nullptr;
        TqmSizeGuard guard(device ? *device : discard, limited ? MaxMessageSize : std::numeric_limits<qint64>::max(),
                         qmMessageText(qmMessageGrewAboveLimit).arg(receiving).arg(MaxMessageSize));
        try {
            StreamLiteral(guard, size);
        } catch (const EMessageError&) {
            // The rest of the literal is still on its way: the session cannot go on.
            Close();
            throw;
        }
    };
    const auto untagged = [&](const TImapResponse& response, const QList<TImapValue>&) {
        if (!receiving)
            return;
        const quint32 uid = receiving;
        receiving = 0;
        // After the body only more items or the list's end may follow; anything else is the rest of
        // a body longer than its literal said.
        const qsizetype marker = response.Text.indexOf("{#-1}");
        if (!EndsFetchItems(response.Text.mid(marker + 5))) {
            Close();
            throw EMessageError(qmMessageText(qmLiteralOverrun).arg(literalSize));
        }
        if (done)
            done(uid);
    };
    for (const QByteArray& set : detail::UidSets(uids, FetchBatch)) {
        const TTagged tagged = Run("UID FETCH " + set + " (UID RFC822.SIZE BODY.PEEK[])", untagged, {}, bodySink);
        Require(tagged.Ok);
    }
}

bool TqmIMAP::DeleteMessages(const QList<quint32>& uids)
{
    LastWarning.clear();
    const QByteArrayList sets = detail::UidSets(uids, CommandBatch);
    if (sets.isEmpty())
        return true;
    for (const QByteArray& set : sets)
        RunOk("UID STORE " + set + " +FLAGS.SILENT (\\Deleted)");
    if (HasCapability("UIDPLUS")) {
        for (const QByteArray& set : sets)
            RunOk("UID EXPUNGE " + set);
        return true;
    }
    QList<quint32> others = SearchUids("DELETED");
    others.removeIf([&uids](quint32 uid) { return uids.contains(uid); });
    if (others.isEmpty()) {
        RunOk("EXPUNGE");
        return true;
    }
    for (const QByteArray& set : sets)
        RunOk("UID STORE " + set + " -FLAGS.SILENT (\\Deleted)");
    LastWarning = qmMessageText(qmExpungeWaits).arg(m_selected);
    return false;
}

void TqmIMAP::MarkSeen(const QList<quint32>& uids)
{
    for (const QByteArray& set : detail::UidSets(uids, CommandBatch))
        RunOk("UID STORE " + set + " +FLAGS.SILENT (\\Seen)");
}

QList<TqmImapFolder> TqmIMAP::ListFolders()
{
    QList<TqmImapFolder> folders;
    const auto untagged = [&folders](const TImapResponse&, const QList<TImapValue>& values) {
        if (values.size() < 5 || !values.at(1).IsAtom("LIST"))
            return;
        TqmImapFolder folder;
        for (const TImapValue& attribute : values.at(2).Items)
            folder.Attributes.append(attribute.Text);
        folder.WireName = values.at(4).Text;
        folder.Name = detail::DecodeMailboxName(folder.WireName);
        folders.append(folder);
    };
    const bool specialUse = HasCapability("SPECIAL-USE") && HasCapability("LIST-EXTENDED");
    RunOk(specialUse ? QByteArray("LIST \"\" \"*\" RETURN (SPECIAL-USE)") : QByteArray("LIST \"\" \"*\""), untagged);
    return folders;
}

void TqmIMAP::CreateFolder(const QString& folder)
{
    RunOk("CREATE " + MailboxArgument(folder));
}

void TqmIMAP::DeleteFolder(const QString& folder)
{
    RunOk("DELETE " + MailboxArgument(folder));
}

void TqmIMAP::Append(const QString& folder, const QByteArray& message, const QByteArrayList& flags)
{
    const QByteArray command = "APPEND " + MailboxArgument(folder) + " (" + flags.join(' ') + ") {"
                               + QByteArray::number(message.size()) + '}';
    bool sent = false;
    const TTagged tagged = Run(command, {}, [&](const QByteArray& line) {
        if (sent)
            NotImap(line);
        QBuffer buffer;
        buffer.setData(message + "\r\n");
        buffer.open(QIODevice::ReadOnly);
        SendStream(buffer);
        sent = true;
    });
    if (!tagged.Ok)
        throw EServerError(qmMessageText(qmAppendRefused).arg(folder, qmReplyText(LastReply)));
}

QString TqmIMAP::SentFolder(const QList<TqmImapFolder>& folders)
{
    for (const TqmImapFolder& folder : folders)
        if (folder.HasAttribute("\\Sent") && folder.Selectable())
            return folder.Name;
    for (const char* name : {"Sent", "Gesendet"})
        for (const TqmImapFolder& folder : folders) {
            const QString last = folder.Name.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), -1);
            if (folder.Selectable() && last.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return folder.Name;
        }
    return {};
}

QByteArray TqmIMAP::MessageKey(const QString& folder, quint32 uidValidity, quint32 uid)
{
    return detail::EncodeMailboxName(folder) + ";UIDVALIDITY=" + QByteArray::number(uidValidity) + "/;UID="
           + QByteArray::number(uid);
}
