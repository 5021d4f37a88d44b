// The shared option groups: defaults for a missing registry, the Mailformat texts, round trips,
// the read-only values and the warnings reset.

#include "ScopedRegistry.h"
#include "UserSettings.h"
#include "tk_reglib.h"

#include <QTest>

namespace {
const QString General = QStringLiteral("Users/alice/General");
const QString Display = QStringLiteral("Users/alice/Display");
const QString Mailformat = QStringLiteral("Users/alice/Mailformat");
const QString Warnings = QStringLiteral("Users/alice/Warnings");
} // namespace

Q_DECLARE_METATYPE(TMailCharset)

class TestUserSettings : public QObject {
    Q_OBJECT

private slots:
    void missingRegistryGivesTheDefaults()
    {
        ScopedRegistry registry;
        const TGeneralSettings g = LoadGeneralSettings(General);
        QVERIFY(g.ViewSaveAttachments && g.QuoteMails && g.AutoConnectServer && g.PlaySoundNewMail);
        QVERIFY(!g.LogActive && !g.DebugMode && !g.AutoSignature && !g.EmptyTrash);
        QVERIFY(!g.AdrCategories.isEmpty());
        const TDisplaySettings d = LoadDisplaySettings(Display);
        QVERIFY(d.ShowTreeview && !d.ShowCombobox && d.HighlightQuoting && d.HighlightURLs && d.HtmlViewing);
        QCOMPARE(d.MailFont, DefaultMailFont);
        QCOMPARE(d.TreeviewWidth, DefaultTreeviewWidth);
        const TMailformatSettings m = LoadMailformatSettings(Mailformat);
        QCOMPARE(m.Encoding, TMailEncoding::Mime);
        QCOMPARE(m.Charset, TMailCharset::QuotedPrintable);
        const TWarningSettings w = LoadWarningSettings(Warnings);
        QVERIFY(w.DeleteMails && w.SMDeleteMails && w.LVNoSubject);
    }

    void charsetTexts_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<TMailCharset>("expected");
        QTest::newRow("qp") << "Quoted Printable" << TMailCharset::QuotedPrintable;
        QTest::newRow("base64") << "Base64" << TMailCharset::Base64;
        QTest::newRow("usascii") << "USASCII" << TMailCharset::None;
        QTest::newRow("unknown") << "iso-8859-1" << TMailCharset::None;
        QTest::newRow("wrong case") << "base64" << TMailCharset::None;
    }

    void charsetTexts()
    {
        QFETCH(QString, stored);
        QFETCH(TMailCharset, expected);
        ScopedRegistry registry;
        TRegistryKey(Mailformat).WriteString(QStringLiteral("Charset"), stored);
        QCOMPARE(LoadMailformatSettings(Mailformat).Charset, expected);
    }

    void valuesRoundTripAndReadOnlyOnesStay()
    {
        ScopedRegistry registry;
        TRegistryKey(General).WriteBool(QStringLiteral("DebugMode"), true);
        TGeneralSettings g = LoadGeneralSettings(General);
        QVERIFY(g.DebugMode);
        g.DebugMode = false;
        g.Signature = QStringLiteral("Grüße");
        g.AutoLocalFilter = true;
        SaveGeneralSettings(General, g);
        const TGeneralSettings back = LoadGeneralSettings(General);
        QVERIFY(back.DebugMode);
        QCOMPARE(back.Signature, g.Signature);
        QVERIFY(back.AutoLocalFilter);

        SaveMailformatSettings(Mailformat, {TMailEncoding::UUEncode, TMailCharset::None});
        QCOMPARE(TRegistryKey(Mailformat).ReadString(QStringLiteral("Encoding")), QStringLiteral("UU"));
        QCOMPARE(TRegistryKey(Mailformat).ReadString(QStringLiteral("Charset")), QStringLiteral("USASCII"));
    }

    void bothFolderChoosersOffShowsTheTree()
    {
        ScopedRegistry registry;
        TRegistryKey display(Display);
        display.WriteBool(QStringLiteral("ShowTreeview"), false);
        display.WriteBool(QStringLiteral("ShowCombobox"), false);
        QVERIFY(LoadDisplaySettings(Display).ShowTreeview);
    }

    void savingKeepsTheMessageWindowsFlagsButTheResetSetsThem()
    {
        ScopedRegistry registry;
        TRegistryKey(Warnings).WriteBool(QStringLiteral("LVNoSubject"), false);
        TWarningSettings stale;  // loaded before the message window turned the question off
        stale.DeleteMails = false;
        SaveWarningSettings(Warnings, stale);
        QVERIFY(!LoadWarningSettings(Warnings).LVNoSubject);
        QVERIFY(!LoadWarningSettings(Warnings).DeleteMails);
        ResetAllWarnings(Warnings);
        const TWarningSettings reset = LoadWarningSettings(Warnings);
        QVERIFY(reset.LVNoSubject && reset.DeleteMails);
    }
};

QTEST_GUILESS_MAIN(TestUserSettings)
#include "tst_usersettings.moc"
