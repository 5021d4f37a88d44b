// The first command-line argument of the main client: mailto links, ".eml" paths and "-U".

#include "CommandLine.h"

#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void mailto_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QString>("subject");
        QTest::newRow("angle brackets, lower-case subject, body ignored")
            << "mailto:<anna@example.org>?subject=Hello&body=Ignored text" << "anna@example.org" << "Hello";
        QTest::newRow("bare address") << "bob@example.net" << "bob@example.net" << "";
        QTest::newRow("upper-case prefix") << "MAILTO:carol@example.net" << "carol@example.net" << "";
        QTest::newRow("last subject wins") << "mailto:a@b.c?Subject=one&SUBJECT=two" << "a@b.c" << "two";
        QTest::newRow("subject after other parameters") << "mailto:a@b.c?cc=d@e.f&subject=Hi" << "a@b.c" << "Hi";
        QTest::newRow("percent-encoded") << "mailto:a@b.c?subject=Hello%20World" << "a@b.c" << "Hello World";
        QTest::newRow("stray percent kept") << "mailto:a@b.c?subject=50%" << "a@b.c" << "50%";
        QTest::newRow("prefix without address") << "mailto:" << "" << "";
        QTest::newRow("several recipients") << "mailto:<a@b.c>,<d@e.f>" << "a@b.c,d@e.f" << "";
        QTest::newRow("question mark only") << "mailto:a@b.c?" << "a@b.c" << "";
        QTest::newRow("subject too short to count") << "mailto:a@b.c?subject" << "a@b.c" << "";
    }

    void mailto()
    {
        QFETCH(QString, argument);
        const TArgumentAction action = ParseArgument(argument);
        QCOMPARE(action.Kind, TArgumentKind::Mailto);
        QTEST(action.Recipients, "recipients");
        QTEST(action.Subject, "subject");
    }

    void otherArguments_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("kind");
        QTest::newRow("eml path") << "/home/anna/Letter.EML" << int(TArgumentKind::EmlFile);
        QTest::newRow("eml with @ is a mail address") << "/tmp/a@b.eml" << int(TArgumentKind::Mailto);
        QTest::newRow("empty") << "" << int(TArgumentKind::Nothing);
        QTest::newRow("other file") << "/tmp/notes.txt" << int(TArgumentKind::Nothing);
        QTest::newRow("eml inside the name") << "/tmp/x.eml.txt" << int(TArgumentKind::Nothing);
        QTest::newRow("user switch") << "-Ualice" << int(TArgumentKind::Nothing);
    }

    void otherArguments()
    {
        QFETCH(QString, argument);
        QTEST(int(ParseArgument(argument).Kind), "kind");
    }

    void userArgument_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("isUser");
        QTest::addColumn<QString>("user");
        QTest::newRow("upper") << "-Ualice" << true << "alice";
        QTest::newRow("lower prefix") << "-ubob" << true << "bob";
        QTest::newRow("empty name") << "-U" << true << "";
        QTest::newRow("not a switch") << "alice" << false << "";
    }

    void userArgument()
    {
        QFETCH(QString, argument);
        QFETCH(bool, isUser);
        const std::optional<QString> user = UserOfArgument(argument);
        QCOMPARE(user.has_value(), isUser);
        if (isUser)
            QTEST(*user, "user");
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
