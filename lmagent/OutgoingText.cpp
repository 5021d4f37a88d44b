#include "OutgoingText.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<QByteArrayView, 3> AgentOnlyFields = {"X-LMBCC", "X-LMREDIRECT", "X-LMHOLD"};

bool IsAgentOnlyField(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return false;
    const QByteArrayView name = line.first(colon).trimmed();
    return std::any_of(AgentOnlyFields.cbegin(), AgentOnlyFields.cend(),
                       [name](QByteArrayView field) { return name.compare(field, Qt::CaseInsensitive) == 0; });
}

QByteArray WithCrLf(const QByteArray& text)
{
    if (!text.contains('\n'))
        return text;
    QByteArray out;
    out.reserve(text.size() + text.size() / 32);
    char previous = 0;
    for (const char c : text) {
        if (c == '\n' && previous != '\r')
            out += '\r';
        out += c;
        previous = c;
    }
    return out;
}

} // namespace

QByteArray TransmitText(const QByteArray& queueFile, const QByteArrayList& headerLines)
{
    const QByteArray text = WithCrLf(queueFile);
    QByteArray out;
    out.reserve(text.size() + 256);
    bool skipping = false;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf("\r\n", pos);
        if (end < 0)
            end = text.size();
        const QByteArrayView line = QByteArrayView(text).sliced(pos, end - pos);
        if (line.isEmpty())
            break; // the empty line that ends the header block
        const bool continuation = line.startsWith(' ') || line.startsWith('\t');
        if (!continuation)
            skipping = IsAgentOnlyField(line);
        if (!skipping) {
            out += line;
            out += "\r\n";
        }
        pos = end + 2;
    }
    for (const QByteArray& line : headerLines) {
        if (!line.trimmed().isEmpty())
            out += line + "\r\n";
    }
    if (pos < text.size())
        out += QByteArrayView(text).sliced(pos);
    return out;
}
