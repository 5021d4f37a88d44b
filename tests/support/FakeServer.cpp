#include "FakeServer.h"

#include <QTimer>

FakeServer::FakeServer(QByteArrayList scenario, QObject* parent) : QObject(parent), m_scenario(std::move(scenario))
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &FakeServer::Accept);
}

QByteArray FakeServer::Address() const { return "127.0.0.1:" + QByteArray::number(Port()); }

void FakeServer::Accept()
{
    QTcpSocket* socket = m_server.nextPendingConnection();
    if (m_client) {
        m_errors.append(QStringLiteral("a second connection"));
        socket->abort();
        return;
    }
    m_client = socket;
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        const QByteArray data = m_client->readAll();
        m_received += data;
        m_input += data;
        Run();
    });
    connect(socket, &QTcpSocket::disconnected, this, [this] { m_clientGone = true; });
    Run();
}

bool FakeServer::TakeLine(QByteArray& line)
{
    const qsizetype lineFeed = m_input.indexOf('\n');
    if (lineFeed < 0)
        return false;
    line = m_input.left(lineFeed + 1);
    m_input.remove(0, lineFeed + 1);
    return true;
}

void FakeServer::Run()
{
    while (!m_waitingForTimer && !Done() && m_client && Step()) {
    }
    if (Done())
        emit finished();
}

bool FakeServer::Step()
{
    const QByteArray step = m_scenario.at(m_step);
    if (step.startsWith("S: ")) {
        m_client->write(step.mid(3) + "\r\n");
    } else if (step.startsWith("S% ")) {
        m_client->write(QByteArray::fromPercentEncoding(step.mid(3)));
    } else if (step == "C: <DATA>") {
        QByteArray line;
        while (TakeLine(line)) {
            m_data += line;
            if (line == ".\r\n") {
                ++m_step;
                return true;
            }
        }
        return false;
    } else if (step.startsWith("C: ")) {
        QByteArray line;
        if (!TakeLine(line))
            return false;
        const QByteArray expected = step.mid(3);
        line.chop(line.endsWith("\r\n") ? 2 : 1);
        const bool matches = expected.endsWith('*') ? line.startsWith(expected.chopped(1)) : line == expected;
        if (!matches)
            m_errors.append(QStringLiteral("step %1: expected \"%2\", got \"%3\"")
                                .arg(m_step)
                                .arg(QString::fromLatin1(expected), QString::fromLatin1(line)));
    } else if (step.startsWith("PAUSE ")) {
        m_waitingForTimer = true;
        QTimer::singleShot(step.mid(6).toInt(), this, [this] {
            m_waitingForTimer = false;
            Run();
        });
    } else if (step.startsWith("SLOW ")) {
        const QByteArrayList parts = step.mid(5).split(' ');
        m_waitingForTimer = true;
        SendSlowly(parts.at(0).toInt(), parts.at(1).toInt(), step.mid(5 + parts.at(0).size() + parts.at(1).size() + 2));
    } else if (step == "CLOSE") {
        m_client->disconnectFromHost();
    } else if (step == "SILENT") {
        m_silent = true;
        return false;
    } else {
        m_errors.append(QStringLiteral("unknown step \"%1\"").arg(QString::fromLatin1(step)));
    }
    ++m_step;
    return true;
}

void FakeServer::SendSlowly(int remaining, int intervalMs, const QByteArray& text)
{
    if (remaining == 0 || !m_client) {
        m_waitingForTimer = false;
        Run();
        return;
    }
    m_client->write(text + "\r\n");
    QTimer::singleShot(intervalMs, this, [=, this] { SendSlowly(remaining - 1, intervalMs, text); });
}
