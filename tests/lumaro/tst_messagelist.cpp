// The message list: the model over a folder's index, the column list, and the sortable list view.

#include "EnhListView.h"
#include "FolderFixture.h"
#include "Konstanten.h"
#include "ListSorting.h"
#include "ListviewFunctions.h"
#include "ScopedRegistry.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <numeric>

using namespace LumaroTest;

namespace {

const QString ColumnsKey = QStringLiteral("Users/default/Columns/lumaro");
const QString DateFormat = QStringLiteral("dd.MM.yyyy hh:mm");

QDateTime At(int day, int hour)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, 0));
}

// What the sort must give: the rows' texts case-folded, in a stable order.
QStringList ExpectedOrder(QStringList texts, Qt::SortOrder order)
{
    std::stable_sort(texts.begin(), texts.end(), [](const QString& a, const QString& b) {
        return a.toCaseFolded().toUtf8() < b.toCaseFolded().toUtf8();
    });
    if (order == Qt::DescendingOrder)
        std::reverse(texts.begin(), texts.end());
    return texts;
}

QStringList ColumnTexts(const QAbstractItemModel& model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts.append(model.index(row, column).data().toString());
    return texts;
}

} // namespace

class TestMessageList : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TFolderFiles m_folder;

    TMessageListModel* NewModel(QObject* parent)
    {
        auto* model = new TMessageListModel(parent);
        model->SetColumns(ColumnsOf(DefaultColumnCaptions(), false));
        model->SetDateFormat(DateFormat);
        QList<QIcon> images;
        for (int i = 0; i < 8; ++i) {
            QPixmap pixmap(4, 4);
            pixmap.fill(QColor(i * 30, 0, 0));
            images.append(QIcon(pixmap));
        }
        model->SetImages(images);
        return model;
    }

private slots:
    void initTestCase()
    {
        SetLanguage(0);
        m_folder = FolderFilesOf(m_dir.filePath(QStringLiteral("Inbox.mbx")));
        QVERIFY(CreateFolder(m_folder));
        QVERIFY(AddMessage(m_folder, {"Carla", "me", "Zebra", At(3, 9), mfRead}));
        QVERIFY(AddMessage(m_folder, {"anton", "me", "apfel", At(1, 9), 0}));
        QVERIFY(AddMessage(m_folder, {"Gone", "me", "deleted", At(2, 9), 0, true}));
        QVERIFY(AddMessage(m_folder, {"Bert", "you", "Mitte", At(2, 9), mfRead | mfAttachments | mfHeld}));
    }

    void loadsLiveRecordsInRecordOrder()
    {
        TMessageListModel* model = NewModel(this);
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model->Load(m_folder));
        QCOMPARE(ColumnTexts(*model, 0), (QStringList{"Carla", "anton", "Bert"}));
        QCOMPARE(ColumnTexts(*model, 1), (QStringList{"Zebra", "apfel", "Mitte"}));
        QCOMPARE(model->index(1, 2).data().toString(), At(1, 9).toString(DateFormat));
        QCOMPARE(model->index(2, 3).data().toString(), QStringLiteral("you"));
        QCOMPARE(model->Entry(2).Record, 4);
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Betreff"));
        delete model;
    }

    void unreadRowsAreBoldAndImagesFollowFlags()
    {
        TMessageListModel* model = NewModel(this);
        QVERIFY(model->Load(m_folder));
        QVERIFY(!model->index(0, 0).data(Qt::FontRole).isValid());
        QVERIFY(model->index(1, 1).data(Qt::FontRole).value<QFont>().bold());
        QCOMPARE(ImageIndexOfFlags(model->Entry(0).Flags), 2);
        QCOMPARE(ImageIndexOfFlags(model->Entry(1).Flags), 0);
        QCOMPARE(ImageIndexOfFlags(model->Entry(2).Flags), 7);
        QVERIFY(model->index(0, 0).data(Qt::DecorationRole).isValid());
        QVERIFY(!model->index(0, 1).data(Qt::DecorationRole).isValid());
        delete model;
    }

    // Texts that differ in one byte at and around the eight- and sixteen-byte steps of the sort
    // keys, in the letters and the bytes beside "A" to "Z" and "a" to "z", in bytes above ASCII, and
    // in length only, ordered as a plain comparison of their bytes with ASCII letters made small.
    void textOrderIsByteOrderIgnoringAsciiCase()
    {
        const QByteArray alphabet("@AZ[`az{09 \x7f\x80\xc3\xff");
        QRandomGenerator random(1207);
        QList<QByteArray> texts;
        for (int i = 0; i < 3000; ++i) {
            QByteArray text(int(random.bounded(40)), 'm');
            for (char& byte : text)
                if (random.bounded(4) == 0)
                    byte = alphabet.at(random.bounded(alphabet.size()));
            texts.append(text);
        }
        const auto lowered = [](const QByteArray& text) {
            QByteArray lower = text;
            for (char& byte : lower)
                if (byte >= 'A' && byte <= 'Z')
                    byte = char(byte + ('a' - 'A'));
            return lower;
        };
        QList<qint32> expected(texts.size());
        std::iota(expected.begin(), expected.end(), 0);
        std::stable_sort(expected.begin(), expected.end(), [&](qint32 a, qint32 b) {
            const QByteArray left = lowered(texts.at(a));
            const QByteArray right = lowered(texts.at(b));
            return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                                [](char x, char y) { return quint8(x) < quint8(y); });
        });
        QCOMPARE(AscendingByText(qint32(texts.size()), [&](qint32 row) { return QByteArrayView(texts.at(row)); }), expected);
        QVERIFY(IsAscii("plain text, forty bytes long or so......"));
        QVERIFY(!IsAscii("plain text, forty bytes long or so.....\xe9"));
        QVERIFY(!IsAscii("\xe9t\xe9"));
    }

    void sortsAndKeepsOrderWhenRowsChange()
    {
        TMessageListModel* model = NewModel(this);
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model->Load(m_folder));
        model->sort(1, Qt::AscendingOrder);
        QCOMPARE(ColumnTexts(*model, 1), (QStringList{"apfel", "Mitte", "Zebra"}));
        model->sort(1, Qt::DescendingOrder);
        QCOMPARE(ColumnTexts(*model, 1), (QStringList{"Zebra", "Mitte", "apfel"}));
        model->sort(2, Qt::AscendingOrder);
        QCOMPARE(ColumnTexts(*model, 0), (QStringList{"anton", "Bert", "Carla"}));
        model->SetFlags(0, mfRead);
        QCOMPARE(ColumnTexts(*model, 0), (QStringList{"anton", "Bert", "Carla"}));
        QVERIFY(!model->index(0, 0).data(Qt::FontRole).isValid());
        delete model;
    }

    void selectionFollowsItsRowWhenSorted()
    {
        TEnhListView view;
        TMessageListModel* model = NewModel(&view);
        QVERIFY(model->Load(m_folder));
        view.setModel(model);
        view.SelectRow(0);
        QCOMPARE(view.SelectedCount(), 1);
        model->sort(1, Qt::AscendingOrder);
        QCOMPARE(view.SelectedRows(), QList<int>{2});
        QCOMPARE(view.FocusedRow(), 2);
    }

    void brokenIndexesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("index");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short header") << QByteArray(100, 'x');
        QTest::newRow("no format mark") << QByteArray(2 * IndexRecordSize, '\0');
    }

    void brokenIndexesAreRefused()
    {
        QFETCH(QByteArray, index);
        const TFolderFiles broken = FolderFilesOf(m_dir.filePath(QStringLiteral("Broken.mbx")));
        QVERIFY(WriteBytes(broken.MessageFile, "From \r\nx\r\n"));
        QVERIFY(WriteBytes(broken.IndexFile, index));
        TMessageListModel model;
        model.SetColumns(ColumnsOf(DefaultColumnCaptions(), false));
        QVERIFY(!model.Load(broken));
        QCOMPARE(model.rowCount(), 0);
    }

    void recordsOutsideTheMessageFileAreLeftOut()
    {
        const TFolderFiles folder = FolderFilesOf(m_dir.filePath(QStringLiteral("Cut.mbx")));
        QVERIFY(CreateFolder(folder));
        QVERIFY(AddMessage(folder, {"a", "b", "first", At(1, 1), 0}));
        QVERIFY(AddMessage(folder, {"a", "b", "second", At(1, 1), 0}));
        QFile messages(folder.MessageFile);
        QVERIFY(messages.open(QIODevice::ReadWrite));
        QVERIFY(messages.resize(messages.size() - 5));
        messages.close();
        TMessageListModel* model = NewModel(this);
        QVERIFY(model->Load(folder));
        QCOMPARE(ColumnTexts(*model, 1), QStringList{"first"});
        delete model;
    }

    void memoryPerRowStaysSmall()
    {
        TMessageListModel* model = NewModel(this);
        QVERIFY(model->Load(m_folder));
        const qsizetype indexBytes = QFileInfo(m_folder.IndexFile).size();
        QVERIFY(model->MemoryUsed() - indexBytes <= model->rowCount() * 32);
        delete model;
    }

    // Texts that agree far beyond the first sixteen bytes, in other letter cases, with letters beyond
    // ASCII and with equal ones, sort as their case-folded texts do; equal texts keep their order.
    void textSortFollowsTheFoldedTexts()
    {
        const TFolderFiles folder = FolderFilesOf(m_dir.filePath(QStringLiteral("Many.mbx")));
        QVERIFY(CreateFolder(folder));
        const QByteArrayList stems{"[lumaro-users] Weekly report about the long discussion ",
                                   "[LUMARO-users] weekly report about the long discussion ",
                                   "Message number ", "Re: ", "RE: ", "\xc3\x84rger mit ", "\xc3\xa4rger mit ", "Zebra ", ""};
        QStringList subjects;
        for (int i = 0; i < 180; ++i) {
            const QByteArray subject = stems[i % stems.size()] + (i % 7 == 0 ? QByteArray() : QByteArray::number((i * 37) % 101));
            subjects.append(QString::fromUtf8(subject));
            QVERIFY(AddMessage(folder, {"a", "b", subject, At(1 + i % 28, i % 24), 0}));
        }
        TMessageListModel* model = NewModel(this);
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model->Load(folder));
        for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            model->sort(1, order);
            QCOMPARE(ColumnTexts(*model, 1), ExpectedOrder(subjects, order));
        }
        // Equal subjects stay in the order they had: by date after a sort by date.
        model->sort(2, Qt::AscendingOrder);
        QList<qint32> byDate;
        for (int row = 0; row < model->rowCount(); ++row)
            byDate.append(model->Entry(row).Record);
        model->sort(1, Qt::AscendingOrder);
        for (int row = 1; row < model->rowCount(); ++row) {
            if (model->index(row, 1).data() == model->index(row - 1, 1).data())
                QVERIFY(byDate.indexOf(model->Entry(row - 1).Record) < byDate.indexOf(model->Entry(row).Record));
        }
        delete model;
    }

    // Dates that are no numbers or lie before 1899 still sort; a date that is no number never
    // disturbs the order of the others.
    void dateSortTakesEveryStoredDate()
    {
        const TFolderFiles folder = FolderFilesOf(m_dir.filePath(QStringLiteral("Dates.mbx")));
        QVERIFY(CreateFolder(folder));
        const QList<double> dates{45000.5, std::numeric_limits<double>::quiet_NaN(), -10.25, 0, 45000.25, 2.0, -10.5};
        for (const double date : dates) {
            QVERIFY(AddMessage(folder, {"a", "b", QByteArray::number(date, 'f', 2), {}, 0}));
            TIndexRecord record = ReadIndexRecord(folder.IndexFile, CountMessages(folder.IndexFile, false)).value();
            record.Date = date;
            QVERIFY(WriteIndexRecord(folder.IndexFile, CountMessages(folder.IndexFile, false), record));
        }
        TMessageListModel* model = NewModel(this);
        QVERIFY(model->Load(folder));
        model->sort(2, Qt::AscendingOrder);
        QStringList numbers = ColumnTexts(*model, 1);
        numbers.removeAll(QStringLiteral("nan"));
        QCOMPARE(numbers, (QStringList{"-10.50", "-10.25", "0.00", "2.00", "45000.25", "45000.50"}));
        delete model;
    }

    void columnsFitTheirWidth_data()
    {
        QTest::addColumn<QList<int>>("natural");
        QTest::addColumn<QList<int>>("user");
        QTest::addColumn<int>("available");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("room for all") << QList<int>{100, 300, 120, 80} << QList<int>{0, 0, 0, 0} << 800
                                      << QList<int>{100, 300, 120, 80};
        QTest::newRow("the widest is narrowed") << QList<int>{100, 500, 120, 80} << QList<int>{0, 0, 0, 0} << 600
                                                << QList<int>{100, 300, 120, 80};
        QTest::newRow("two wide ones share") << QList<int>{400, 500, 100} << QList<int>{0, 0, 0} << 600
                                             << QList<int>{250, 250, 100};
        QTest::newRow("user widths stay and take their room") << QList<int>{100, 500, 120} << QList<int>{0, 0, 300} << 600
                                                               << QList<int>{100, 200, 300};
        QTest::newRow("never below the minimum") << QList<int>{400, 500, 100} << QList<int>{0, 0, 0} << 100
                                                 << QList<int>{60, 60, 60};
        QTest::newRow("narrow columns below the minimum stay") << QList<int>{30, 500} << QList<int>{0, 0} << 100
                                                               << QList<int>{30, 70};
    }

    void columnsFitTheirWidth()
    {
        QFETCH(QList<int>, natural);
        QFETCH(QList<int>, user);
        QFETCH(int, available);
        QList<TColumnFit> columns;
        for (qsizetype i = 0; i < natural.size(); ++i)
            columns.append(TColumnFit{natural[i], user[i]});
        QTEST(FittedColumnWidths(columns, available, 60), "widths");
    }

    void columnsExchangeFromAndTo_data()
    {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<bool>("exchange");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QList<int>>("kinds");
        const QList<int> standard{int(TColumnKind::From), int(TColumnKind::Subject), int(TColumnKind::Date),
                                  int(TColumnKind::To)};
        QTest::newRow("default") << DefaultColumnCaptions() << false
                                 << QStringList{"Von", "Betreff", "Datum", "An"} << standard;
        QTest::newRow("outbox") << DefaultColumnCaptions() << true << QStringList{"An", "Betreff", "Datum", "Von"}
                                << QList<int>{int(TColumnKind::To), int(TColumnKind::Subject),
                                              int(TColumnKind::Date), int(TColumnKind::From)};
        QTest::newRow("From twice") << QStringList{"Von", "Von"} << false << QStringList{"Von", "Von"}
                                    << QList<int>{int(TColumnKind::From), int(TColumnKind::From)};
        QTest::newRow("unknown caption shows the recipient") << QStringList{"Error"} << false << QStringList{"Error"}
                                                             << QList<int>{int(TColumnKind::To)};
    }

    void columnsExchangeFromAndTo()
    {
        QFETCH(QStringList, captions);
        QFETCH(bool, exchange);
        QStringList shown;
        QList<int> kinds;
        for (const TColumn& column : ColumnsOf(captions, exchange)) {
            shown.append(column.Caption);
            kinds.append(int(column.Kind));
        }
        QTEST(shown, "shown");
        QTEST(kinds, "kinds");
    }

    void columnListsPerLanguage()
    {
        ScopedRegistry registry;
        QCOMPARE(LoadColumnCaptions(ColumnsKey), DefaultColumnCaptions());
        SaveColumnCaptions(ColumnsKey, {QStringLiteral("Betreff"), QStringLiteral("Von")});
        QCOMPARE(LoadColumnCaptions(ColumnsKey), (QStringList{"Betreff", "Von"}));
        SetLanguage(2);
        QCOMPARE(LoadColumnCaptions(ColumnsKey), (QStringList{"From", "Subject", "Date", "To"}));
        SetLanguage(0);
        TRegistryKey(ColumnsKey).WriteInteger(QStringLiteral("Count"), 3);
        QCOMPARE(LoadColumnCaptions(ColumnsKey), (QStringList{"Betreff", "Von", "Error"}));
        TRegistryKey(ColumnsKey).WriteInteger(QStringLiteral("Count"), 0);
        QCOMPARE(LoadColumnCaptions(ColumnsKey), DefaultColumnCaptions());
    }

    void headerClicksSortAndReverse()
    {
        TEnhListView view;
        TMessageListModel* model = NewModel(&view);
        QVERIFY(model->Load(m_folder));
        view.setModel(model);
        view.resize(600, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto click = [&](int column) {
            QHeaderView* header = view.header();
            const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                            header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        };
        click(1);
        QCOMPARE(ColumnTexts(*model, 1), (QStringList{"apfel", "Mitte", "Zebra"}));
        QVERIFY(view.header()->isSortIndicatorShown());
        QCOMPARE(view.header()->sortIndicatorSection(), 1);
        QCOMPARE(view.header()->sortIndicatorOrder(), Qt::AscendingOrder);
        click(1);
        QCOMPARE(ColumnTexts(*model, 1), (QStringList{"Zebra", "Mitte", "apfel"}));
        QCOMPARE(view.header()->sortIndicatorOrder(), Qt::DescendingOrder);
        click(0);
        QCOMPARE(ColumnTexts(*model, 0), (QStringList{"anton", "Bert", "Carla"}));
        QCOMPARE(view.SortOrder(), Qt::AscendingOrder);
    }

    void columnWidthsAreKeptInTheRegistry()
    {
        ScopedRegistry registry;
        {
            TEnhListView view;
            view.setModel(NewModel(&view));
            view.SetColumnsKey(ColumnsKey);
            view.setColumnWidth(1, 222);
            view.SaveColumnWidths();
        }
        TEnhListView restored;
        restored.setModel(NewModel(&restored));
        restored.SetColumnsKey(ColumnsKey);
        restored.setColumnWidth(1, 150);
        restored.RestoreColumnWidths();
        QCOMPARE(restored.columnWidth(1), 222);
        QCOMPARE(restored.SortColumn(), -1);
    }

    // Dragging a border in the header is the user's width, kept and stored; a width the program sets
    // is neither, and the stretched last column never counts as the user's.
    void draggedWidthIsTheUsers()
    {
        ScopedRegistry registry;
        TEnhListView view;
        view.setModel(NewModel(&view));
        view.SetColumnsKey(ColumnsKey);
        view.StoreOnlyUserWidths(150);
        view.header()->setStretchLastSection(true);
        view.RestoreColumnWidths();
        view.resize(700, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setColumnWidth(1, 120);
        QVERIFY(!view.IsUserWidth(1));
        QHeaderView* header = view.header();
        const QPoint border(header->sectionViewportPosition(1) + header->sectionSize(1) - 1, header->height() / 2);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, border);
        QTest::mouseMove(header->viewport(), border + QPoint(60, 0));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, border + QPoint(60, 0));
        QVERIFY2(view.columnWidth(1) > 150, qPrintable(QString::number(view.columnWidth(1))));
        QVERIFY(view.IsUserWidth(1));
        QVERIFY(!view.IsUserWidth(0));
        QVERIFY(!view.IsUserWidth(3));
        view.SaveColumnWidths();
        const TRegistryKey key(ColumnsKey);
        QCOMPARE(key.ReadInteger(QStringLiteral("Width1"), 0), view.columnWidth(1));
        QVERIFY(!key.ValueExists(QStringLiteral("Width0")));
        QCOMPARE(key.ReadString(QStringLiteral("UserWidths"), QString()), QStringLiteral("2"));
    }

    void sortStateIsKeptAndAppliedToNewRows()
    {
        ScopedRegistry registry;
        {
            TEnhListView view;
            view.setModel(NewModel(&view));
            view.SetColumnsKey(ColumnsKey);
            view.RestoreColumnWidths();
            view.header()->sectionClicked(1);
            view.header()->sectionClicked(1);
            QCOMPARE(view.SortOrder(), Qt::DescendingOrder);
            view.SaveColumnWidths();
        }
        TEnhListView restored;
        TMessageListModel* model = NewModel(&restored);
        restored.setModel(model);
        restored.SetColumnsKey(ColumnsKey);
        restored.RestoreColumnWidths();
        QVERIFY(model->Load(m_folder));
        QCOMPARE(ColumnTexts(*model, 1), (QStringList{"Zebra", "apfel", "Mitte"}));
        restored.ApplySort();
        QCOMPARE(ColumnTexts(*model, 1), (QStringList{"Zebra", "Mitte", "apfel"}));
        QCOMPARE(restored.header()->sortIndicatorSection(), 1);
        QCOMPARE(restored.header()->sortIndicatorOrder(), Qt::DescendingOrder);
    }
};

QTEST_MAIN(TestMessageList)
#include "tst_messagelist.moc"
