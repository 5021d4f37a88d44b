#pragma once
// The text the agent transmits for one queue file. The queue holds complete messages (drafts the
// message window saved, received messages being forwarded or redirected); they go out as they are,
// so that a redirected message keeps its body and MIME structure byte for byte. Only the fields
// that instruct the agent are taken out, and the header list of the main client is added.

#include <QByteArray>
#include <QByteArrayList>

// `queueFile` as it is sent: every "X-LMBCC", "X-LMREDIRECT" and "X-LMHOLD" field removed with its
// continuation lines, `headerLines` added at the end of the header block (empty ones left out), and
// every LF without a CR before it written as CR LF (RFC 5321, 2.3.8). All other bytes stay as they are.
QByteArray TransmitText(const QByteArray& queueFile, const QByteArrayList& headerLines);
