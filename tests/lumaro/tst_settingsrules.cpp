// The Settings dialog's rules without its window: how a change of one control changes others,
// which controls are enabled, what OK stores, the log file, and the warnings reset.

#include "ScopedRegistry.h"
#include "SettingsFunctions.h"
#include "tk_reglib.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TSettingsEvent)
Q_DECLARE_METATYPE(TMailEncoding)
Q_DECLARE_METATYPE(TMailCharset)

using TEvents = QList<QPair<TSettingsEvent, QString>>;

namespace {

// Start values of the table: tree shown, combo hidden, no signature, MIME and base64.
TSettingsValues StartValues()
{
    TSettingsValues v;
    v.Mailformat.Charset = TMailCharset::Base64;
    return v;
}

} // namespace

class TestSettingsRules : public QObject {
    Q_OBJECT

private slots:
    void changes_data()
    {
        QTest::addColumn<TEvents>("events");
        QTest::addColumn<bool>("tree");
        QTest::addColumn<bool>("combo");
        QTest::addColumn<bool>("autoSignature");
        QTest::addColumn<QString>("signature");
        QTest::addColumn<TMailEncoding>("encoding");
        QTest::addColumn<TMailCharset>("charset");
        QTest::addColumn<bool>("charsetEnabled");
        using E = TSettingsEvent;
        const auto B64 = TMailCharset::Base64;
        const auto Mime = TMailEncoding::Mime;
        QTest::newRow("nothing") << TEvents{} << true << false << false << "" << Mime << B64 << true;
        QTest::newRow("tree off alone ticks it again")
            << TEvents{{E::TreeviewUnticked, {}}} << true << false << false << "" << Mime << B64 << true;
        QTest::newRow("combo on, tree off") << TEvents{{E::ComboboxTicked, {}}, {E::TreeviewUnticked, {}}} << false
                                            << true << false << "" << Mime << B64 << true;
        QTest::newRow("then combo off ticks the tree")
            << TEvents{{E::ComboboxTicked, {}}, {E::TreeviewUnticked, {}}, {E::ComboboxUnticked, {}}} << true << false
            << false << "" << Mime << B64 << true;
        QTest::newRow("signature chosen ticks") << TEvents{{E::SignatureChosen, QStringLiteral("Büro")}} << true
                                                << false << true << "Büro" << Mime << B64 << true;
        QTest::newRow("empty choice unticks")
            << TEvents{{E::SignatureChosen, QStringLiteral("Büro")}, {E::SignatureChosen, QString()}} << true << false
            << false << "" << Mime << B64 << true;
        QTest::newRow("uuencode disables the charset") << TEvents{{E::EncodingUU, {}}} << true << false << false << ""
                                                       << TMailEncoding::UUEncode << B64 << false;
        QTest::newRow("default format") << TEvents{{E::EncodingUU, {}}, {E::StandardFormat, {}}} << true << false
                                        << false << "" << Mime << TMailCharset::QuotedPrintable << true;
    }

    void changes()
    {
        QFETCH(TEvents, events);
        TSettingsValues values = StartValues();
        for (const auto& [event, signature] : events)
            ApplySettingsEvent(values, event, signature);
        QTEST(values.Display.ShowTreeview, "tree");
        QTEST(values.Display.ShowCombobox, "combo");
        QTEST(values.General.AutoSignature, "autoSignature");
        QTEST(values.General.Signature, "signature");
        QTEST(values.Mailformat.Encoding, "encoding");
        QTEST(values.Mailformat.Charset, "charset");
        TSettingsEnablingInputs in;
        in.Values = values;
        QTEST(ComputeSettingsEnabling(in).Charset, "charsetEnabled");
    }

    void enabling_data()
    {
        QTest::addColumn<QString>("soundFile");
        QTest::addColumn<bool>("playing");
        QTest::addColumn<bool>("registered");
        QTest::addColumn<bool>("testEnabled");
        QTest::addColumn<bool>("registerEnabled");
        QTest::newRow("file, idle") << "/x/new.wav" << false << false << true << true;
        QTest::newRow("no file") << "" << false << false << false << true;
        QTest::newRow("while playing") << "/x/new.wav" << true << false << false << true;
        QTest::newRow("registered already") << "/x/new.wav" << false << true << true << false;
    }

    void enabling()
    {
        QFETCH(QString, soundFile);
        QFETCH(bool, playing);
        QFETCH(bool, registered);
        TSettingsEnablingInputs in;
        in.Values.General.SoundNewMail = soundFile;
        in.Values.General.SoundNoMail = soundFile;
        in.PlayingNewMail = playing;
        in.MailclientRegistered = registered;
        in.EmlRegistered = registered;
        const TSettingsEnabling e = ComputeSettingsEnabling(in);
        QTEST(e.TestNewMail, "testEnabled");
        QCOMPARE(e.TestNoMail, !soundFile.isEmpty());
        QTEST(e.MailclientRegister, "registerEnabled");
        QTEST(e.EmlRegister, "registerEnabled");
    }

    void charsetEntries()
    {
        for (TMailCharset charset : {TMailCharset::None, TMailCharset::QuotedPrintable, TMailCharset::Base64})
            QCOMPARE(CharsetOfIndex(CharsetIndex(charset)), charset);
        QCOMPARE(CharsetOfIndex(-1), TMailCharset::None);
    }

    void okStoresTheValuesAndDeletesTheLogWhenLoggingIsOff_data()
    {
        QTest::addColumn<bool>("logActive");
        QTest::newRow("logging stays on") << true;
        QTest::newRow("logging off") << false;
    }

    void okStoresTheValuesAndDeletesTheLogWhenLoggingIsOff()
    {
        QFETCH(bool, logActive);
        ScopedRegistry registry;
        QTemporaryDir dir;
        const QString logFile = dir.filePath(QStringLiteral("logfile.txt"));
        QFile log(logFile);
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.close();
        const TUserSettingKeys keys = TUserSettingKeys{QStringLiteral("U/Display"), QStringLiteral("U/Forms"),
                                                       QStringLiteral("U/Columns"), QStringLiteral("U/General"),
                                                       QStringLiteral("U/Mailformat"), QStringLiteral("U/Lmserver"),
                                                       QStringLiteral("U/Warnings"), QStringLiteral("U/Remember"),
                                                       QStringLiteral("U/Toolbar")};
        TMainSettings settings = LoadMainSettings(keys);
        TSettingsValues values = SettingsValuesOf(settings);
        values.General.LogActive = logActive;
        values.General.AutoSignature = true;  // ticked by hand, but no signature chosen
        values.Display.ShowCombobox = true;
        values.Mailformat = {TMailEncoding::UUEncode, TMailCharset::None};
        StoreConfirmedSettings(settings, values, keys, logFile);

        QCOMPARE(QFile::exists(logFile), logActive);
        const TMainSettings back = LoadMainSettings(keys);
        QVERIFY(!back.General.AutoSignature);
        QCOMPARE(back.General.LogActive, logActive);
        QVERIFY(back.Display.ShowCombobox);
        QCOMPARE(back.Mailformat.Encoding, TMailEncoding::UUEncode);
        QCOMPARE(TRegistryKey(keys.Mailformat).ReadString(QStringLiteral("Charset")), QStringLiteral("USASCII"));
    }

    void warningsResetReachesTheMessageWindowsFlags()
    {
        ScopedRegistry registry;
        TUserSettingKeys keys;
        keys.Warnings = QStringLiteral("U/Warnings");
        TRegistryKey warnings(keys.Warnings);
        warnings.WriteBool(QStringLiteral("LVNoSubject"), false);
        warnings.WriteBool(QStringLiteral("DeleteMails"), false);
        TMainSettings settings;
        settings.Warnings.DeleteMails = false;
        ResetWarnings(settings, keys);
        QVERIFY(settings.Warnings.DeleteMails);
        const TWarningSettings back = LoadWarningSettings(keys.Warnings);
        QVERIFY(back.LVNoSubject && back.DeleteMails);
    }
};

QTEST_GUILESS_MAIN(TestSettingsRules)
#include "tst_settingsrules.moc"
