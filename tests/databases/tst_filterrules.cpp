// Filter rules: the line format both ways, the rule file, matching (OR of criteria, "-", untrimmed
// criteria, To list only) and the server-side decision with its size criterion.

#include "FilterFunctions.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TFilterRule)
Q_DECLARE_METATYPE(TFilterFields)
Q_DECLARE_METATYPE(TServerRuleDecision)

namespace {
TFilterRule Move(const QByteArray& from, const QByteArray& to, const QByteArray& subject, const QByteArray& folder)
{
    return {TFilterAction::MoveTo, to, from, subject, folder, {}};
}
} // namespace

class TestFilterRules : public QObject {
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<TFilterRule>("rule");
        QTest::newRow("move by sender") << QByteArray("-FROM: \"news,-\" -MOVETO: \"Archiv\"")
                                        << Move("news,-", {}, {}, "Archiv");
        QTest::newRow("all criteria, subfolder")
            << QByteArray("-FROM: \"a\" -TO: \"b, c\" -SUBJECT: \"Re:\" -MOVETO: \"Privat$Familie\"")
            << Move("a", "b, c", "Re:", "Privat$Familie");
        QTest::newRow("size and keep") << QByteArray("-LARGER THAN: \"2000\" -KEEP")
                                       << TFilterRule{TFilterAction::Keep, {}, {}, {}, {}, "2000"};
        QTest::newRow("delete by subject") << QByteArray("-SUBJECT: \"viagra\" -DELETE")
                                           << TFilterRule{TFilterAction::Delete, {}, {}, "viagra", {}, {}};
    }

    void lines()
    {
        QFETCH(QByteArray, line);
        QFETCH(TFilterRule, rule);
        QCOMPARE(ParseFilterRule(line), rule);
        QCOMPARE(FilterRuleLine(rule), line);
    }

    void parsingIsLenientWithHandWrittenLines()
    {
        // Keys are case-sensitive; a value without its closing quote runs to the end of the line.
        const TFilterRule rule = ParseFilterRule("-from: \"x\" -SUBJECT: \"open end");
        QVERIFY(rule.From.isEmpty());
        QCOMPARE(rule.Subject, QByteArray("open end"));
        QCOMPARE(rule.Action, TFilterAction::MoveTo);
        QVERIFY(rule.Folder.isEmpty());
    }

    void ruleFileRoundTripsWithCrLf()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("filter.ldb"));
        QVERIFY(LoadFilterRules(path).isEmpty());
        const QByteArrayList lines{"-FROM: \"a\" -MOVETO: \"X\"", "-LARGER THAN: \"10\" -DELETE"};
        QVERIFY(SaveFilterRules(path, lines));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), lines.join("\r\n") + "\r\n");
        QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        QCOMPARE(LoadFilterRules(path), lines);
    }

    void matching_data()
    {
        QTest::addColumn<TFilterRule>("rule");
        QTest::addColumn<TFilterFields>("fields");
        QTest::addColumn<bool>("matches");
        const TFilterRule news = Move("news,-", {}, {}, "Archiv");
        QTest::newRow("sender contains news in any case")
            << news << TFilterFields{"Hi", "NewsLetter@shop.example", {"me@example.org"}} << true;
        QTest::newRow("no sender matches -") << news << TFilterFields{"Hi", {}, {"me@example.org"}} << true;
        QTest::newRow("- also matches a hyphen")
            << news << TFilterFields{"Hi", "jean-luc@example.org", {}} << true;
        QTest::newRow("other sender") << news << TFilterFields{"Hi", "bob@example.org", {}} << false;
        const TFilterRule noTo = Move({}, "-", {}, "X");
        QTest::newRow("- recipient, empty To list") << noTo << TFilterFields{"Hi", "a@b", {}} << true;
        QTest::newRow("- recipient, To present") << noTo << TFilterFields{"Hi", "a@b", {"c@d"}} << false;
        const TFilterRule blank = Move({}, {}, "a, b", "X");
        QTest::newRow("criterion keeps its blank") << blank << TFilterFields{"xx b", {}, {}} << true;
        QTest::newRow("no blank before b") << blank << TFilterFields{"xb", {}, {}} << false;
        QTest::newRow("first criterion a") << blank << TFilterFields{"A", {}, {}} << true;
        QTest::newRow("second recipient") << Move({}, "boss", {}, "X")
                                          << TFilterFields{"Hi", "a@b", {"x@y", "Boss@corp"}} << true;
        QTest::newRow("umlauts are compared as they are")
            << Move({}, {}, "ÄRGER", "X") << TFilterFields{"ärger", {}, {}} << false;
        QTest::newRow("empty criteria match nothing") << Move({}, {}, {}, "X") << TFilterFields{{}, {}, {}} << false;
    }

    void matching()
    {
        QFETCH(TFilterRule, rule);
        QFETCH(TFilterFields, fields);
        QFETCH(bool, matches);
        QCOMPARE(FilterRuleMatches(rule, fields), matches);
    }

    void serverDecision_data()
    {
        QTest::addColumn<QByteArrayList>("rules");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<TServerRuleDecision>("decision");
        const QByteArrayList rules{"-FROM: \"spam\" -MOVETO: \"Junk\"", "-SUBJECT: \"lottery\" -DELETE",
                                   "-LARGER THAN: \"100\" -KEEP", "-FROM: \"boss\" -KEEP"};
        QTest::newRow("move rules are local") << QByteArrayList{rules[0]} << qint64(10) << TServerRuleDecision::None;
        QTest::newRow("large message kept") << rules << qint64(100 * 1024 + 1) << TServerRuleDecision::Keep;
        QTest::newRow("exactly the size is not larger") << rules << qint64(100 * 1024) << TServerRuleDecision::None;
        QTest::newRow("size then delete order") << QByteArrayList{"-LARGER THAN: \"1\" -DELETE", rules[2]}
                                               << qint64(200000) << TServerRuleDecision::Delete;
    }

    void serverDecision()
    {
        QFETCH(QByteArrayList, rules);
        QFETCH(qint64, size);
        QFETCH(TServerRuleDecision, decision);
        QCOMPARE(ServerRuleDecision(rules, {"hello", "someone@example.org", {}}, size).Decision, decision);
    }

    void firstDecidingRuleIsReported()
    {
        const QByteArrayList rules{"-SUBJECT: \"lottery\" -DELETE", "-SUBJECT: \"lottery\" -KEEP"};
        const TServerRuleResult result = ServerRuleDecision(rules, {"You won the LOTTERY", "x@y", {}}, 10);
        QCOMPARE(result.Decision, TServerRuleDecision::Delete);
        QCOMPARE(result.Rule, rules[0]);
    }
};

QTEST_GUILESS_MAIN(TestFilterRules)
#include "tst_filterrules.moc"
