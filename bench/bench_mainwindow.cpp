// Main window: activating a folder of 100,000 messages until the list is ready, and the memory the
// list holds per row beyond the index records. Runs offscreen in a private program directory.
//
//   build/bench/bench_mainwindow [messages]
//
// Each measured step is checked afterwards: the list holds every message, and a sort left the rows in
// order. The folder's dates rise with the record numbers, as received mail's do; the sort by date is
// measured once more on dates in no order.

#include "DBMailboxFunctions.h"
#include "EnhListView.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "Main.h"
#include "Reporter.h"
#include "tk_langlib.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

// Writes a folder of `count` short messages with their index in one go.
bool WriteLargeFolder(const TFolderFiles& folder, int count)
{
    QByteArray messages;
    QByteArray index = detail::IndexHeader();
    for (int i = 0; i < count; ++i) {
        const QByteArray subject = "Message number " + QByteArray::number(i);
        const QByteArray bytes = QByteArray(FolderSeparator.data(), FolderSeparator.size())
            + "From: sender" + QByteArray::number(i % 97) + "@example.org\r\nSubject: " + subject + "\r\n\r\nBody.\r\n";
        TIndexRecord record;
        record.Offset = qint32(messages.size());
        record.Length = qint32(bytes.size());
        record.Flags = i % 3 == 0 ? 0 : mfRead;
        record.Date = 46000.0 + i / 100.0;
        record.From = "sender" + QByteArray::number(i % 97) + "@example.org";
        record.To = "me@example.org";
        record.Subject = subject;
        messages += bytes;
        index += detail::EncodeIndexRecord(record);
    }
    QFile mbx(folder.MessageFile);
    QFile idx(folder.IndexFile);
    return mbx.open(QIODevice::WriteOnly) && mbx.write(messages) == messages.size() && idx.open(QIODevice::WriteOnly)
        && idx.write(index) == index.size();
}

// The dates of the folder's records in a scrambled order (a permutation of the same dates).
bool ScrambleDates(const TFolderFiles& folder, int count)
{
    QFile file(folder.IndexFile);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray index = file.readAll();
    for (int i = 1; i <= count && (i + 1) * IndexRecordSize <= index.size(); ++i) {
        TIndexRecord record = detail::DecodeIndexRecord(QByteArrayView(index).sliced(i * IndexRecordSize, IndexRecordSize));
        record.Date = 46000.0 + (qint64(i) * 7919 % count) / 100.0;
        index.replace(i * IndexRecordSize, IndexRecordSize, detail::EncodeIndexRecord(record));
    }
    return file.seek(0) && file.write(index) == index.size();
}

// Whether the model's rows are in ascending order of the subjects (case-folded).
bool SubjectsInOrder(const TMessageListModel& model)
{
    QByteArray before;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QByteArray subject = model.index(row, 1).data().toString().toCaseFolded().toUtf8();
        if (subject < before)
            return false;
        before = subject;
    }
    return true;
}

// Whether the model's rows are in ascending order of `dateOf(record number)`.
bool DatesInOrder(const TMessageListModel& model, const std::function<double(qint32)>& dateOf)
{
    for (int row = 1; row < model.rowCount(); ++row) {
        if (dateOf(model.Entry(row - 1).Record) > dateOf(model.Entry(row).Record))
            return false;
    }
    return true;
}

long ResidentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir programDir;
    qputenv("LUMARO_REGISTRY", programDir.filePath(QStringLiteral("registry.ini")).toLocal8Bit());
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    SetReportHandler([](const TUserMessage& m) { std::fprintf(stderr, "report %d: %s\n", m.Id, qPrintable(m.Text)); });
    InitProgramPaths(programDir.filePath(QStringLiteral("lumaro")));
    SetLanguage(2);
    QDir().mkpath(Paths().Data.MailDir);
    const QString inbox = SpecialFolderName(TSpecialFolder::Inbox);
    const QString outbox = SpecialFolderName(TSpecialFolder::Outbox);
    if (!WriteLargeFolder(FolderPaths(inbox), count)) {
        std::fprintf(stderr, "cannot write the folder\n");
        return 1;
    }

    const long beforeWindow = ResidentKilobytes();
    TMainFrm frm({});
    frm.Dialogs.AskYesNo = [](const QString&) { return false; };
    frm.Dialogs.Inform = [](const QString&) {};
    frm.resize(1000, 700);
    frm.show();
    while (frm.CurrentFolder().isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();

    auto activate = [&] {
        QList<double> activations;
        for (int run = 0; run < 7; ++run) {
            frm.ActivateFolder(outbox);
            QCoreApplication::processEvents();
            QElapsedTimer timer;
            timer.start();
            frm.ActivateFolder(inbox);
            // The list is ready when the view has laid out and painted its first screen.
            frm.MessageLv->viewport()->repaint();
            activations.append(timer.nsecsElapsed() / 1e6);
        }
        return activations;
    };
    const long afterWindow = ResidentKilobytes();
    const QList<double> activations = activate();
    const bool filled = frm.MessageModel->rowCount() == count;
    // The same with a remembered sort by date, which every activation applies to the new rows.
    emit frm.MessageLv->header()->sectionClicked(2);
    const QList<double> sortedActivations = activate();
    const auto generatedDate = [](qint32 record) { return 46000.0 + (record - 1) / 100.0; };
    const bool sortedByDate = DatesInOrder(*frm.MessageModel, generatedDate) && frm.MessageModel->rowCount() == count;
    // A click on the subject header until the list is painted again.
    QList<double> subjectClicks;
    for (int run = 0; run < 3; ++run) {
        emit frm.MessageLv->header()->sectionClicked(2);
        QElapsedTimer timer;
        timer.start();
        emit frm.MessageLv->header()->sectionClicked(1);
        frm.MessageLv->viewport()->repaint();
        subjectClicks.append(timer.nsecsElapsed() / 1e6);
    }
    const bool clickSorted = frm.MessageLv->SortOrder() == Qt::AscendingOrder ? SubjectsInOrder(*frm.MessageModel) : false;

    TMessageListModel model;
    model.SetColumns(ColumnsOf(DefaultColumnCaptions(), false));
    const long before = ResidentKilobytes();
    QElapsedTimer loadTimer;
    loadTimer.start();
    model.Load(FolderPaths(inbox));
    const double loadMs = loadTimer.nsecsElapsed() / 1e6;
    const long after = ResidentKilobytes();
    QElapsedTimer sortTimer;
    sortTimer.start();
    model.sort(1);
    const double sortMs = sortTimer.nsecsElapsed() / 1e6;
    const bool subjectsSorted = SubjectsInOrder(model);

    if (!ScrambleDates(FolderPaths(inbox), count) || !model.Load(FolderPaths(inbox))) {
        std::fprintf(stderr, "cannot scramble the dates\n");
        return 1;
    }
    QElapsedTimer scrambledTimer;
    scrambledTimer.start();
    model.sort(2);
    const double scrambledMs = scrambledTimer.nsecsElapsed() / 1e6;
    const auto scrambledDate = [count](qint32 record) { return 46000.0 + (qint64(record) * 7919 % count) / 100.0; };
    const bool scrambledSorted = DatesInOrder(model, scrambledDate);

    const auto check = [](bool done) { return done ? "" : "   NOT DONE"; };
    const double indexBytes = double(model.rowCount() + 1) * IndexRecordSize;
    std::printf("messages                         %d\n", model.rowCount());
    std::printf("activation until list ready      %.1f ms (median of %lld, min %.1f)%s\n", Median(activations),
                qlonglong(activations.size()), *std::min_element(activations.cbegin(), activations.cend()), check(filled));
    std::printf("activation sorted by date        %.1f ms (median)%s\n", Median(sortedActivations), check(sortedByDate));
    std::printf("header click: by subject         %.1f ms (median of %lld)%s\n", Median(subjectClicks),
                qlonglong(subjectClicks.size()), check(clickSorted));
    std::printf("model load alone                 %.1f ms\n", loadMs);
    std::printf("sort by subject                  %.1f ms%s\n", sortMs, check(subjectsSorted));
    std::printf("sort by date, dates in no order  %.1f ms%s\n", scrambledMs, check(scrambledSorted));
    std::printf("list memory per row              %.1f bytes (index record %lld bytes)\n",
                double(model.MemoryUsed()) / model.rowCount(), qlonglong(IndexRecordSize));
    std::printf("beyond the index record          %.1f bytes per row\n",
                (double(model.MemoryUsed()) - indexBytes) / model.rowCount());
    std::printf("resident growth of the load      %.1f bytes per row\n", (after - before) * 1024.0 / model.rowCount());
    std::printf("resident growth, window shown    %.1f bytes per row (list view included)\n",
                (afterWindow - beforeWindow) * 1024.0 / count);
    return 0;
}
