// Main window commands on large folders, each side by side with its reference in one run:
//   - raw search over a folder of 100,000 messages (about 235 MB) against `grep -c -i -F` on the
//     same message file (alternating, several rounds);
//   - decoded-text search over the same folder (MB of stored mail per second);
//   - moving 10,000 selected messages to another folder, and deleting them to the Trash.
//
//   build/bench/bench_commands [messages] [rounds]

#include "DBMailboxFunctions.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "MessageCommands.h"
#include "Reporter.h"
#include "SearchFunctions.h"
#include "tk_langlib.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int SelectedMessages = 10000;
const QByteArray Needle = "Quarterly Figures";

const QByteArrayList Words{"meeting", "report", "tomorrow", "project", "invoice", "please", "attached", "regards",
                           "schedule", "review", "budget", "customer", "delivery", "question", "answer", "server"};

QByteArray Sentence(QRandomGenerator& random, int words)
{
    QByteArray text;
    for (int i = 0; i < words; ++i)
        text += Words[random.bounded(int(Words.size()))] + ' ';
    return text;
}

// About 2,350 bytes: headers as a server writes them, then plain, quoted-printable or base64 text.
QByteArray Message(QRandomGenerator& random, int i)
{
    QByteArray body;
    for (int line = 0; line < 22; ++line)
        body += Sentence(random, 10).trimmed() + "\r\n";
    if (i % 1000 == 7)
        body += "The " + Needle + " are attached.\r\n";
    QByteArray headers = "Return-Path: <sender" + QByteArray::number(i % 97) + "@example.org>\r\n"
        "Received: from mail.example.org (mail.example.org [192.0.2.7])\r\n\tby mx.example.net with ESMTP id "
        + QByteArray::number(i) + "\r\n\tfor <me@example.net>; Mon, 7 Dec 2026 10:00:00 +0100\r\n"
        "From: Sender " + QByteArray::number(i % 97) + " <sender" + QByteArray::number(i % 97) + "@example.org>\r\n"
        "To: me@example.net\r\nSubject: " + Sentence(random, 5).trimmed() + "\r\n"
        "Date: Mon, 7 Dec 2026 10:00:00 +0100\r\nMessage-ID: <" + QByteArray::number(i) + "@example.org>\r\n"
        "MIME-Version: 1.0\r\n";
    switch (i % 4) {
    case 1:
        return headers + "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
            + body.toBase64() + "\r\n";
    case 2:
        return headers + "Content-Type: text/html; charset=iso-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n<p>"
            + body.replace("\r\n", "=\r\n") + "</p>\r\n";
    default:
        return headers + "Content-Type: text/plain; charset=us-ascii\r\n\r\n" + body;
    }
}

bool WriteFolder(const TFolderFiles& folder, int count)
{
    QRandomGenerator random(42);
    QByteArray messages;
    QByteArray index = detail::IndexHeader();
    for (int i = 0; i < count; ++i) {
        const QByteArray bytes = FolderSeparator.toByteArray() + Message(random, i);
        TIndexRecord record = detail::RecordOfMessage(bytes);
        record.Offset = qint32(messages.size());
        record.Length = qint32(bytes.size());
        messages += bytes;
        index += detail::EncodeIndexRecord(record);
    }
    QFile mbx(folder.MessageFile);
    QFile idx(folder.IndexFile);
    return mbx.open(QIODevice::WriteOnly) && mbx.write(messages) == messages.size() && idx.open(QIODevice::WriteOnly)
        && idx.write(index) == index.size();
}

bool CopyFolder(const TFolderFiles& from, const TFolderFiles& to)
{
    QFile::remove(to.MessageFile);
    QFile::remove(to.IndexFile);
    return QFile::copy(from.MessageFile, to.MessageFile) && QFile::copy(from.IndexFile, to.IndexFile);
}

double MegabytesPerSecond(qint64 bytes, qint64 nanoseconds)
{
    return double(bytes) / 1e6 / (double(nanoseconds) / 1e9);
}

qint64 TimeGrep(const QString& file, QByteArray& count)
{
    QProcess grep;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    grep.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    grep.start(QStringLiteral("grep"), {QStringLiteral("-c"), QStringLiteral("-i"), QStringLiteral("-F"),
                                        QString::fromLatin1(Needle), file});
    grep.waitForFinished(-1);
    const qint64 elapsed = timer.nsecsElapsed();
    count = grep.readAllStandardOutput().trimmed();
    return elapsed;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 3;
    QTemporaryDir programDir;
    qputenv("LUMARO_REGISTRY", programDir.filePath(QStringLiteral("registry.ini")).toLocal8Bit());
    InitProgramPaths(programDir.filePath(QStringLiteral("lumaro")));
    SetLanguage(2);
    QDir().mkpath(Paths().Data.MailDir);
    SetReportHandler([](const TUserMessage& message) { std::fprintf(stderr, "report %d\n", message.Id); });

    const QString big = QStringLiteral("Archive");
    const TFolderFiles archive = FolderPaths(big);
    if (!WriteFolder(archive, messages))
        return 1;
    const qint64 size = QFileInfo(archive.MessageFile).size();
    std::printf("folder: %d messages, %.1f MB\n", messages, double(size) / 1e6);

    const TTextFinder finder(Needle);
    for (int round = 0; round < rounds; ++round) {
        QByteArray grepCount;
        const qint64 grepTime = TimeGrep(archive.MessageFile, grepCount);
        QElapsedTimer timer;
        timer.start();
        const qsizetype rawHits = SearchFolder(big, archive, finder, TSearchMode::Raw).size();
        const qint64 rawTime = timer.nsecsElapsed();
        timer.restart();
        const qsizetype decodedHits = SearchFolder(big, archive, finder, TSearchMode::Decoded).size();
        const qint64 decodedTime = timer.nsecsElapsed();
        std::printf("round %d: raw search %.0f MB/s (%lld hits) | grep -c -i -F %.0f MB/s (%s lines) | ratio %.2f | "
                    "decoded search %.0f MB/s (%lld hits)\n",
                    round + 1, MegabytesPerSecond(size, rawTime), qlonglong(rawHits), MegabytesPerSecond(size, grepTime),
                    grepCount.constData(), double(grepTime) / double(rawTime), MegabytesPerSecond(size, decodedTime),
                    qlonglong(decodedHits));
    }

    const QString work = QStringLiteral("Work");
    const TFolderFiles workFiles = FolderPaths(work);
    const TFolderFiles trash = FolderPaths(SpecialFolderName(TSpecialFolder::Trash));
    const TFolderFiles target = FolderPaths(QStringLiteral("Target"));
    for (int round = 0; round < rounds; ++round) {
        for (const TFolderFiles& folder : {trash, target})
            CreateEmptyMessageFile(folder.MessageFile), CreateIndex(folder.IndexFile);
        CopyFolder(archive, workFiles);
        QList<TListEntry> selected = ListEntries(EnumerateLiveMessages(workFiles)).mid(messages / 3, SelectedMessages);
        QElapsedTimer timer;
        timer.start();
        TransferMessages(work, QStringLiteral("Target"), selected, true);
        const qint64 moveTime = timer.elapsed();
        const qint32 moved = CountMessages(target.IndexFile, true);
        CopyFolder(archive, workFiles);
        selected = ListEntries(EnumerateLiveMessages(workFiles)).mid(messages / 3, SelectedMessages);
        timer.restart();
        TransferMessages(work, SpecialFolderName(TSpecialFolder::Trash), selected, true);
        const qint64 trashTime = timer.elapsed();
        QList<TListEntry> inTrash = ListEntries(EnumerateLiveMessages(trash));
        timer.restart();
        DeleteForGood(trash, inTrash);
        const qint64 forGoodTime = timer.elapsed();
        std::printf("round %d: move %d messages %lld ms | delete them to the Trash %lld ms | delete them for good in "
                    "the Trash %lld ms\n",
                    round + 1, moved, qlonglong(moveTime), qlonglong(trashTime), qlonglong(forGoodTime));
    }
    return 0;
}
