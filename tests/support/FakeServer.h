#pragma once
// A scripted line server on 127.0.0.1 (a free port) that plays one dialogue with the first client,
// written like a transcript:
//   "S: text"      sends text and CR LF
//   "S% text"      sends the percent-decoded bytes as they are (no CR LF added)
//   "C: text"      expects the client's next line to be text ("C: HELO *" matches any rest)
//   "C: <DATA>"    takes the client's lines up to and including the "." line as DataReceived()
//   "PAUSE ms"     waits before the next step
//   "SLOW n ms text"  sends text and CR LF n times, ms apart
//   "CLOSE"        closes the connection
//   "SILENT"       stops here and keeps the connection open
// What the client sends against the script is recorded in Errors(); a test checks them at its end.

#include <QByteArrayList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

class FakeServer : public QObject {
    Q_OBJECT

public:
    explicit FakeServer(QByteArrayList scenario, QObject* parent = nullptr);

    quint16 Port() const { return m_server.serverPort(); }
    // "127.0.0.1:port", as the clients take it in Server.
    QByteArray Address() const;
    // Every step has been played (SILENT counts as the end).
    bool Done() const { return m_step >= m_scenario.size() || m_silent; }
    bool ClientDisconnected() const { return m_clientGone; }
    const QStringList& Errors() const { return m_errors; }
    // Everything the client sent, raw.
    const QByteArray& Received() const { return m_received; }
    // The raw lines of the last "C: <DATA>" step, the "." line included.
    const QByteArray& DataReceived() const { return m_data; }

signals:
    void finished();

private:
    void Accept();
    void Run();
    // Plays one step; false when it must wait for input or a timer.
    bool Step();
    bool TakeLine(QByteArray& line);
    void SendSlowly(int remaining, int intervalMs, const QByteArray& text);

    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QByteArrayList m_scenario;
    qsizetype m_step = 0;
    QByteArray m_input;
    QByteArray m_received;
    QByteArray m_data;
    QStringList m_errors;
    bool m_waitingForTimer = false;
    bool m_silent = false;
    bool m_clientGone = false;
};
