// Building the folder tree from folder lists, the Outbox caption and the combo box images.

#include "TreeviewFunctions.h"

#include <QTest>

namespace {

const QStringList Specials{QStringLiteral("Inbox"), QStringLiteral("Outbox"), QStringLiteral("Templates"),
                           QStringLiteral("Sent"), QStringLiteral("Trash")};

// The tree as one line: "Text[FolderName:image]{children}".
QString Outline(const QList<TFolderTreeNode>& nodes)
{
    QStringList parts;
    for (const TFolderTreeNode& node : nodes) {
        QString part = QStringLiteral("%1[%2:%3]").arg(node.Text, node.FolderName).arg(node.Image);
        if (!node.Children.isEmpty())
            part += QLatin1Char('{') + Outline(node.Children) + QLatin1Char('}');
        parts.append(part);
    }
    return parts.join(QLatin1Char(' '));
}

const QString SpecialOutline = QStringLiteral(
    "Inbox[Inbox:0] Outbox[Outbox:1] Templates[Templates:3] Sent[Sent:3] Trash[Trash:5]");

} // namespace

class TestTreeview : public QObject {
    Q_OBJECT

private slots:
    void build_data()
    {
        QTest::addColumn<QStringList>("others");
        QTest::addColumn<QString>("outline");
        QTest::newRow("special folders only") << QStringList{} << SpecialOutline;
        QTest::newRow("top-level folders") << QStringList{"Arbeit", "privat"} << SpecialOutline + " Arbeit[Arbeit:2] privat[privat:2]";
        QTest::newRow("children below their parent")
            << QStringList{"Arbeit", "Arbeit$Kunden", "Arbeit$Projekte"}
            << SpecialOutline + " Arbeit[Arbeit:2]{Kunden[Arbeit$Kunden:2] Projekte[Arbeit$Projekte:2]}";
        QTest::newRow("child whose parent is missing")
            << QStringList{"Reisen$2026"} << SpecialOutline + " Reisen[Reisen:2]{2026[Reisen$2026:2]}";
        QTest::newRow("parent in another letter case")
            << QStringList{"arbeit", "Arbeit$Kunden"} << SpecialOutline + " arbeit[arbeit:2]{Kunden[Arbeit$Kunden:2]}";
        QTest::newRow("same name twice in any case") << QStringList{"Alt", "ALT"} << SpecialOutline + " Alt[Alt:2]";
        QTest::newRow("child below a special folder")
            << QStringList{"Inbox$Alt"}
            << QStringLiteral("Inbox[Inbox:0]{Alt[Inbox$Alt:2]} Outbox[Outbox:1] Templates[Templates:3] "
                              "Sent[Sent:3] Trash[Trash:5]");
        QTest::newRow("dollar first or last stays top-level")
            << QStringList{"$1$frage", "Ende$"} << SpecialOutline + " $1$frage[$1$frage:2] Ende$[Ende$:2]";
        QTest::newRow("two dollars: one level only")
            << QStringList{"a$b$c"} << SpecialOutline + " a[a:2]{b$c[a$b$c:2]}";
    }

    void build()
    {
        QFETCH(QStringList, others);
        QTEST(Outline(BuildFolderTree(Specials + others)), "outline");
    }

    void outboxCaption_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("caption");
        QTest::newRow("three") << 3 << "Outbox (3)";
        QTest::newRow("one") << 1 << "Outbox (1)";
        QTest::newRow("none") << 0 << "Outbox";
        QTest::newRow("unreadable index") << -1 << "Outbox";
    }

    void outboxCaption()
    {
        QFETCH(int, count);
        QTEST(OutboxCaption(QStringLiteral("Outbox"), count), "caption");
    }

    void comboImages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("image");
        QTest::newRow("inbox") << "Inbox" << int(tiInbox);
        QTest::newRow("outbox with count") << "Outbox (2)" << int(tiOutbox);
        QTest::newRow("templates") << "Templates" << int(tiSentTemplates);
        QTest::newRow("sent") << "Sent" << int(tiSentTemplates);
        QTest::newRow("trash") << "Trash" << int(tiTrash);
        QTest::newRow("user folder") << "Arbeit" << int(tiFolder);
    }

    void comboImages()
    {
        QFETCH(QString, text);
        QTEST(ComboImageOf(text, Specials), "image");
    }

    void comboEntriesShowDisplayNames()
    {
        const auto entries = ComboEntries(BuildFolderTree(Specials + QStringList{"Arbeit", "Arbeit$Kunden"}));
        QCOMPARE(entries.size(), 7);
        QCOMPARE(entries.at(6).first, QStringLiteral("Kunden"));
        QCOMPARE(entries.at(6).second, QStringLiteral("Arbeit$Kunden"));
    }
};

QTEST_GUILESS_MAIN(TestTreeview)
#include "tst_treeview.moc"
