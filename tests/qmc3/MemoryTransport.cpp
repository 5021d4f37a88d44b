#include "MemoryTransport.h"

#include <QTimer>

std::function<std::unique_ptr<TnkTransport>()> MemoryTransport::Factory(MemoryTransport*& transport, QByteArrayList script)
{
    return [&transport, script] {
        auto made = std::make_unique<MemoryTransport>(script);
        transport = made.get();
        return std::unique_ptr<TnkTransport>(std::move(made));
    };
}

void MemoryTransport::Later(const std::function<void()>& signal)
{
    QTimer::singleShot(0, this, signal);
}

void MemoryTransport::ConnectToHost(const QHostAddress&, quint16, const QHostAddress&)
{
    Later([this] {
        emit Connected();
        Run();
    });
}

void MemoryTransport::StartTls(const TnkTlsOptions& options)
{
    m_tlsOptions = options;
    m_tlsRequested = true;
    Run();
}

bool MemoryTransport::Write(const QByteArray& data)
{
    m_sent += data;
    if (!m_encrypted)
        m_sentInClear += data;
    m_fromClient += data;
    Run();
    return true;
}

bool MemoryTransport::TakeLine(QByteArray& line)
{
    const qsizetype lineFeed = m_fromClient.indexOf('\n');
    if (lineFeed < 0)
        return false;
    line = m_fromClient.left(lineFeed);
    m_fromClient.remove(0, lineFeed + 1);
    if (line.endsWith('\r'))
        line.chop(1);
    return true;
}

void MemoryTransport::Run()
{
    const qsizetype before = m_toClient.size();
    while (!m_aborted && !Finished() && Step()) {
    }
    if (Finished() && !m_fromClient.isEmpty())
        m_errors.append(QStringLiteral("unexpected after the end: \"%1\"").arg(QString::fromLatin1(std::exchange(m_fromClient, {}))));
    if (m_toClient.size() > before)
        Later([this] { emit ReadyRead(); });
}

bool MemoryTransport::Step()
{
    const QByteArray step = m_script.at(m_step);
    QByteArray line;
    if (step.startsWith("S: ")) {
        m_toClient += step.mid(3) + "\r\n";
    } else if (step == "C: <DATA>") {
        while (TakeLine(line))
            if (line == ".") {
                ++m_step;
                return true;
            }
        return false;
    } else if (step.startsWith("C: ")) {
        if (!TakeLine(line))
            return false;
        const QByteArray expected = step.mid(3);
        if (expected.endsWith('*') ? !line.startsWith(expected.chopped(1)) : line != expected)
            m_errors.append(QStringLiteral("step %1: expected \"%2\", got \"%3\"")
                                .arg(m_step)
                                .arg(QString::fromLatin1(expected), QString::fromLatin1(line)));
    } else if (step == "TLS" || step.startsWith("TLSFAIL ") || step.startsWith("CERTFAIL ")) {
        if (!m_tlsRequested)
            return false;
        m_tlsRequested = false;
        if (step == "TLS") {
            m_encrypted = true;
            Later([this] { emit Encrypted(); });
        } else {
            const TnkTlsFailure failure{QString::fromLatin1(step.mid(step.indexOf(' ') + 1)),
                                        step.startsWith("CERT") ? QByteArray("ab:cd:ef") : QByteArray()};
            Later([this, failure] { emit TlsFailed(failure); });
        }
    } else if (step == "CLOSE") {
        Later([this] { emit Disconnected(); });
    } else {
        m_errors.append(QStringLiteral("unknown step \"%1\"").arg(QString::fromLatin1(step)));
    }
    ++m_step;
    return true;
}
