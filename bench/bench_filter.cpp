// The local message filter: 20 rules over an Inbox of N messages (default 10,000), of which one rule
// in ten messages matches; reports the time of the whole run (header reading, matching and the
// moves into three folders) over several rounds, each on a fresh copy of the folder.

#include "FilterRun.h"
#include "FolderSet.h"
#include "Konstanten.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

QByteArray Message(int n)
{
    const QByteArray sender = n % 10 == 0 ? "news@shop.example" : "person" + QByteArray::number(n % 997) + "@example.org";
    return "From \r\nFrom: Someone <" + sender + ">\r\nTo: me@example.org, other@example.org\r\nSubject: Message number "
        + QByteArray::number(n) + "\r\nDate: Mon, 9 Mar 2026 10:00:00 +0100\r\nMessage-ID: <" + QByteArray::number(n)
        + "@example.org>\r\n\r\n" + QByteArray(1500, 'x') + "\r\n";
}

void FillInbox(const TFolderFiles& inbox, int count)
{
    CreateEmptyMessageFile(inbox.MessageFile);
    CreateIndex(inbox.IndexFile);
    for (int n = 0; n < count; ++n) {
        const std::optional<TMessageSpan> span = AppendRawBytes(inbox.MessageFile, Message(n));
        TIndexRecord record;
        record.Offset = span->Offset;
        record.Length = span->Length;
        record.Subject = "Message number " + QByteArray::number(n);
        AppendIndexRecord(inbox.IndexFile, record);
    }
}

QByteArrayList Rules()
{
    QByteArrayList rules;
    for (int i = 0; i < 17; ++i)
        rules.append("-FROM: \"nobody" + QByteArray::number(i) + "@nowhere\" -SUBJECT: \"never " + QByteArray::number(i)
                     + "\" -MOVETO: \"Archive\"");
    rules.append("-FROM: \"news@\" -MOVETO: \"News\"");
    rules.append("-SUBJECT: \"lottery\" -DELETE");
    rules.append("-TO: \"boss@\" -MOVETO: \"Work\"");
    return rules;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    QTemporaryDir dir;
    detail::MutablePaths().Data = detail::ComputeDataPaths(dir.path());
    QDir().mkpath(Paths().Data.MailDir);
    const TFolderFiles inbox = FolderPaths(QStringLiteral("Inbox"));
    QList<double> seconds;
    int moved = 0;
    for (int round = 0; round < rounds; ++round) {
        FillInbox(inbox, count);
        for (const char* name : {"Archive", "News", "Work"}) {
            const TFolderFiles folder = FolderPaths(QString::fromLatin1(name));
            CreateEmptyMessageFile(folder.MessageFile);
            CreateIndex(folder.IndexFile);
        }
        QList<TListEntry> entries = ListEntries(EnumerateLiveMessages(inbox));
        QElapsedTimer timer;
        timer.start();
        moved = RunLocalFilter(Rules(), inbox, entries, FolderPaths).Moved;
        seconds.append(timer.nsecsElapsed() / 1e9);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("filter: %d rules over %d messages, %d moved: median %.3f s (best %.3f, worst %.3f)\n",
                int(Rules().size()), count, moved, seconds.at(seconds.size() / 2), seconds.first(), seconds.last());
    return 0;
}
