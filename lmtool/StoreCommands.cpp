#include "StoreCommands.h"

#include "DBMailboxFunctions.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "Reporter.h"
#include "SpoolFunctions.h"
#include "ToolCommands.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cstdio>

namespace {

bool IsOption(const QString& argument)
{
    return argument.startsWith(QLatin1Char('-'));
}

bool HasPlainArguments(const QStringList& arguments, qsizetype count)
{
    return arguments.size() == count && std::none_of(arguments.cbegin(), arguments.cend(), IsOption);
}

QString HealthName(TIndexHealth health)
{
    switch (health) {
    case TIndexHealth::Sound:
        return QStringLiteral("sound");
    case TIndexHealth::Outdated:
        return QStringLiteral("outdated");
    case TIndexHealth::Damaged:
        return QStringLiteral("damaged");
    case TIndexHealth::WrongDeletedCount:
        return QStringLiteral("wrong-deleted-count");
    case TIndexHealth::UnindexedTail:
        return QStringLiteral("unindexed-tail");
    }
    return {};
}

// A JSON string of record bytes, decoded as JsonText decodes them.
void AppendJsonString(QByteArray& line, const QByteArray& bytes)
{
    const QByteArray utf8 = QUtf8StringView(bytes).isValidUtf8() ? bytes : QString::fromLatin1(bytes).toUtf8();
    line += '"';
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            line += '\\';
            line += c;
        } else if (uchar(c) < 0x20) {
            line += "\\u00" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
        } else {
            line += c;
        }
    }
    line += '"';
}

// One record as a JSON line, written directly: listing a large folder spends its time here, and a
// QJsonDocument per record costs several times more.
void AppendRecordLine(QByteArray& out, const TFolderMessage& message)
{
    const TIndexRecord& r = message.Index;
    out += "{\"record\":" + QByteArray::number(message.Record) + ",\"offset\":" + QByteArray::number(r.Offset)
        + ",\"length\":" + QByteArray::number(r.Length) + ",\"flags\":" + QByteArray::number(r.Flags)
        + ",\"deleted\":" + (r.Deleted ? "true" : "false")
        + ",\"date\":" + QByteArray::number(r.Date, 'g', QLocale::FloatingPointShortest) + ",\"from\":";
    AppendJsonString(out, r.From);
    out += ",\"to\":";
    AppendJsonString(out, r.To);
    out += ",\"subject\":";
    AppendJsonString(out, r.Subject);
    out += "}\n";
}

// The commands over a data directory work on the active user's paths, in the registry's language.
bool UseDataDirectory(const QString& dataDir)
{
    if (!QFileInfo(dataDir).isDir())
        return false;
    detail::MutablePaths().Data = detail::ComputeDataPaths(QDir::cleanPath(dataDir));
    ReadLanguage();
    return true;
}

void WriteReportsAsJson()
{
    SetReportHandler([](const TUserMessage& message) {
        WriteJsonLine({{QStringLiteral("message"), message.Id}, {QStringLiteral("text"), message.Text}});
    });
}

int FailDamaged(const TFolderFiles& folder)
{
    return Fail(QStringLiteral("%1 is %2; run lmtool check or rebuild")
                    .arg(folder.IndexFile, HealthName(CheckIndexHealth(folder))));
}

} // namespace

int RunListCommand(const QStringList& arguments)
{
    if (!HasPlainArguments(arguments, 1))
        return ExitUsage;
    const TFolderFiles folder = FolderFilesOf(arguments.first());
    if (!IndexIsCurrent(folder.IndexFile))
        return FailDamaged(folder);
    bool damaged = false;
    constexpr qsizetype OutputChunk = 64 * 1024;
    QByteArray out;
    for (const TFolderMessage& message : EnumerateAllMessages(folder, &damaged)) {
        AppendRecordLine(out, message);
        if (out.size() >= OutputChunk) {
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            out.clear();
        }
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return damaged ? FailDamaged(folder) : ExitSuccess;
}

int RunAppendCommand(const QStringList& arguments)
{
    if (arguments.size() < 2 || std::any_of(arguments.cbegin(), arguments.cend(), IsOption))
        return ExitUsage;
    const TFolderFiles folder = FolderFilesOf(arguments.first());
    if (!QFileInfo::exists(folder.MessageFile) && !QFileInfo::exists(folder.IndexFile)
        && !(CreateEmptyMessageFile(folder.MessageFile) && CreateIndex(folder.IndexFile)))
        return Fail(QStringLiteral("cannot create %1").arg(folder.MessageFile));
    if (!IndexIsCurrent(folder.IndexFile))
        return FailDamaged(folder);
    for (const QString& file : arguments.mid(1)) {
        const qint32 record = AppendMessageFile(folder, file);
        if (record == 0)
            return Fail(QStringLiteral("cannot append %1 to %2").arg(file, folder.MessageFile));
        WriteJsonLine({{QStringLiteral("file"), file}, {QStringLiteral("record"), record}});
    }
    return ExitSuccess;
}

int RunRebuildCommand(const QStringList& arguments)
{
    if (!HasPlainArguments(arguments, 1))
        return ExitUsage;
    const TFolderFiles folder = FolderFilesOf(arguments.first());
    if (!RebuildIndex(folder))
        return Fail(QStringLiteral("cannot rebuild %1").arg(folder.IndexFile));
    WriteJsonLine({{QStringLiteral("records"), CountMessages(folder.IndexFile, false)}});
    return ExitSuccess;
}

int RunReorganizeCommand(const QStringList& arguments)
{
    if (!HasPlainArguments(arguments, 1))
        return ExitUsage;
    const TFolderFiles folder = FolderFilesOf(arguments.first());
    if (!ReorganizeFolder(folder, QFileInfo(folder.MessageFile).completeBaseName()))
        return Fail(QStringLiteral("cannot reorganize %1").arg(folder.MessageFile));
    WriteJsonLine({{QStringLiteral("records"), CountMessages(folder.IndexFile, false)}});
    return ExitSuccess;
}

int RunExportCommand(const QStringList& arguments)
{
    if (!HasPlainArguments(arguments, 3))
        return ExitUsage;
    bool isNumber = false;
    const qint64 number = arguments.at(1).toLongLong(&isNumber);
    if (!isNumber || number < 1)
        return ExitUsage;
    const TFolderFiles folder = FolderFilesOf(arguments.first());
    if (!IndexIsCurrent(folder.IndexFile))
        return FailDamaged(folder);
    const std::optional<TIndexRecord> record = ReadIndexRecord(folder.IndexFile, number);
    if (!record)
        return Fail(QStringLiteral("%1 has no record %2").arg(folder.IndexFile).arg(number));
    if (!ExportMessage(folder.MessageFile, arguments.at(2), record->Offset, record->Length))
        return Fail(QStringLiteral("cannot export record %1 to %2").arg(number).arg(arguments.at(2)));
    WriteJsonLine({{QStringLiteral("record"), qint32(number)}, {QStringLiteral("target"), arguments.at(2)}});
    return ExitSuccess;
}

int RunImportSpoolCommand(const QStringList& arguments)
{
    if (!HasPlainArguments(arguments, 1))
        return ExitUsage;
    if (!UseDataDirectory(arguments.first()))
        return Fail(QStringLiteral("no such data directory: %1").arg(arguments.first()));
    const TFolderFiles inbox = SpecialFolderPaths(TSpecialFolder::Inbox);
    if (!IndexIsCurrent(inbox.IndexFile))
        return FailDamaged(inbox);
    WriteReportsAsJson();
    WriteJsonLine({{QStringLiteral("imported"), ImportSpool(Paths().Data.InSpoolDir, inbox)}});
    return SpoolHasMail(Paths().Data.InSpoolDir) ? Fail(QStringLiteral("some spool files were not imported"))
                                                  : ExitSuccess;
}

int RunCheckCommand(const QStringList& arguments)
{
    if (!HasPlainArguments(arguments, 1))
        return ExitUsage;
    if (!UseDataDirectory(arguments.first()) || !QFileInfo(Paths().Data.MailDir).isDir())
        return Fail(QStringLiteral("no folder directory in %1").arg(arguments.first()));
    WriteReportsAsJson();
    const QStringList folders = ListFolders();
    CheckAllFolders(folders);
    bool allSound = true;
    for (const QString& name : folders) {
        const TIndexHealth health = CheckIndexHealth(FolderPaths(name));
        allSound = allSound && health == TIndexHealth::Sound;
        WriteJsonLine({{QStringLiteral("folder"), name}, {QStringLiteral("health"), HealthName(health)}});
    }
    return allSound ? ExitSuccess : Fail(QStringLiteral("some folders could not be repaired"));
}
