#pragma once
// Wire format of the line protocols: reply classification, multi-line ends, the numbers in POP3
// replies, and dot transparency of message bodies. Pure functions and small state machines, so
// that every rule can be tested without a socket.

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>

namespace detail {

// A received line keeps at most this many bytes (its CR included); the rest of it is discarded.
inline constexpr qsizetype MaxLineLength = 1024;
// A reply line still without its LF after this many bytes is not a reply: the server is broken.
inline constexpr qsizetype MaxLineScan = 64 * 1024;

// What the transfer log shows instead of a message body.
inline constexpr char SuppressedBodyLogText[] = "Suppressing the message body";

// `line` without all trailing CR and LF characters.
QByteArrayView StripLineEnd(QByteArrayView line);

// A line as the transfer log writes it: without its line end, and with every control character
// but tab written as "\x1b" (C0, DEL, and C1 in its UTF-8 form), so that bytes a server sent can
// neither drive the terminal that shows the log nor forge further lines.
QByteArray LogLineText(QByteArrayView line);

// SMTP: the first three characters as a number, -1 when they are not one.
int SmtpReplyCode(QByteArrayView line);
// SMTP (RFC 5321, 4.2.1): "250-first" announces more lines; "250 last" (or a bare "250") ends them.
bool IsContinuationLine(QByteArrayView line);
bool EndsMultiLineReply(QByteArrayView line, int code);

// POP3: "+..." is 1, "-..." is -1, anything else (an empty line too) 0.
int Pop3ReplyCode(QByteArrayView line);

// "+OK 2 320": the count is the first number after the status word, the size the first number
// after the count, 0 when there is none. Words around them are skipped, so "+OK 2 messages (320
// octets)" reads the same. False when no count can be found; counts and sizes that are negative or
// do not fit are not numbers.
bool ParseStatReply(QByteArrayView line, qint64& count, qint64& size);
// "+OK 1 1205" (LIST n): the word after the message number; 0 when it is not a size.
qint64 ParseListSize(QByteArrayView line);
// "+OK 1 whqtswO00WBw418f9t5JxYwZ" (UIDL n): the third word; empty when there is none.
QByteArray ParseUidl(QByteArrayView line);

// Reverses dot transparency of a multi-line POP3 response (RFC 1939, 3) that arrives in chunks of
// any size: one leading "." of a line is removed, and the line "." ends the response (a bare LF ends
// lines as well as CR LF: broken, but accepted for interoperability). Everything before the
// terminating line is handed on byte for byte.
class TDotDecoder {
public:
    // Appends the decoded bytes of `input` to `output` and returns how many bytes of `input` were
    // used. Bytes not used are either after the end of the response or the start of a line that
    // cannot be judged yet; feed them again with more data.
    qsizetype Feed(QByteArrayView input, QByteArray& output);
    bool Finished() const { return m_finished; }

private:
    bool m_atLineStart = true;
    bool m_finished = false;
};

// Applies dot transparency to message text sent after DATA (RFC 5321, 4.5.2): every line that
// begins with "." gets one more.
class TDotEncoder {
public:
    void Encode(QByteArrayView input, QByteArray& output);
    // The end of the data: CR LF when the text did not end a line, then "." CR LF.
    QByteArray Terminator() const;

private:
    bool m_atLineStart = true;
    bool m_empty = true;
};

// One command of a pipelined exchange, with what its reply is for.
struct TPipelinedCommand {
    QByteArray Text;
    // The message the command is about (zero-based), -1 for none.
    int Index = -1;
    // The caller's own kind of command (RETR, DELE, TOP ...).
    int Kind = 0;
};

// The order book of pipelining (RFC 2449, 6.6; RFC 2920, 3.1): commands are queued, go out in
// windows of at most `window` unanswered ones, and their replies come back in the order they were
// sent. A window is refilled only once half of it is answered, so that the commands leave in a
// few large writes rather than one per reply.
class TCommandPipeline {
public:
    explicit TCommandPipeline(qsizetype window) : m_window(qMax<qsizetype>(1, window)) {}

    void Queue(TPipelinedCommand command) { m_queued.append(std::move(command)); }
    // The texts to write now, in order; empty while the window is still more than half full.
    QByteArrayList TakeSendable();
    // The oldest sent command whose reply is read next; the pipeline must have one (Unanswered).
    TPipelinedCommand TakeAnswered() { return m_sent.takeFirst(); }
    qsizetype Unanswered() const { return m_sent.size(); }
    qsizetype Queued() const { return m_queued.size(); }
    bool Finished() const { return m_queued.isEmpty() && m_sent.isEmpty(); }

private:
    qsizetype m_window;
    QList<TPipelinedCommand> m_queued;
    QList<TPipelinedCommand> m_sent;
};

} // namespace detail
