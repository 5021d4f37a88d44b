// Server manager listing benchmark: one listing with headers of the whole mailbox through the real
// window (offscreen), timing the first 100 rows in the list and the complete listing.
//   bench_lmserver <host:port> <user> <password>

#include "EnhListView.h"
#include "LmserverMain.h"
#include "MessageListModel.h"
#include "SharedFunctions.h"
#include "qmpump.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_lmserver host:port user password\n");
        return 2;
    }
    QTemporaryDir programDir;
    qputenv("LUMARO_REGISTRY", QFile::encodeName(programDir.filePath(QStringLiteral("registry.ini"))));
    SetMessagePump([] { QCoreApplication::processEvents(); });
    InitProgramForActiveUser(programDir.filePath(QStringLiteral("lmserver")));

    TLmserverFrm frm({});
    frm.Settings.QuickConnect = true;
    frm.Settings.QuickServer = QString::fromLocal8Bit(argv[1]);
    frm.Settings.QuickUsername = QString::fromLocal8Bit(argv[2]);
    frm.Settings.QuickPassword = argv[3];
    frm.Settings.GetHeaders = true;
    // The benchmark's Dovecot offers no TLS.
    frm.Settings.QuickPlainText = true;
    frm.show();
    // The user clicks Refresh in a window that is already drawn.
    frm.repaint();
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    qint64 first100 = -1;
    qint64 firstRow = -1;
    QObject::connect(frm.Model, &QAbstractItemModel::rowsInserted, &frm, [&] {
        if (firstRow < 0)
            firstRow = timer.elapsed();
        if (first100 < 0 && frm.Model->rowCount() >= 100) {
            // The rows are on screen once the view has painted them.
            frm.Listview->viewport()->repaint();
            first100 = timer.elapsed();
        }
    });
    timer.start();
    const std::clock_t cpuStart = std::clock();
    frm.RefreshItmClick();
    const qint64 total = timer.elapsed();
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const int rows = frm.Model->rowCount();
    std::printf("%-34s %6d msgs %7.2f s %9.0f msgs/s   first 100 rows %5lld ms   CPU %5.2f s   (first row %lld ms)\n",
                "lmserver list with headers", rows, total / 1000.0, rows * 1000.0 / qMax<qint64>(total, 1),
                static_cast<long long>(first100), cpu, static_cast<long long>(firstRow));
    return rows > 0 ? 0 : 1;
}
