#include "ToolCommands.h"

#include "AutoconfigCommand.h"
#include "DatabaseCommands.h"
#include "ParseCommand.h"
#include "StoreCommands.h"

#include <QJsonDocument>

#include <cstdio>

namespace {

constexpr TToolCommand Commands[] = {
    {"accounts", "DATADIR [--with-passwords]", &RunAccountsCommand},
    {"addressbook", "DATADIR", &RunAddressbookCommand},
    {"parse", "FILE", &RunParseCommand},
    {"list", "FOLDER.mbx", &RunListCommand},
    {"append", "FOLDER.mbx FILE...", &RunAppendCommand},
    {"rebuild", "FOLDER.mbx", &RunRebuildCommand},
    {"reorganize", "FOLDER.mbx", &RunReorganizeCommand},
    {"export", "FOLDER.mbx RECORD TARGET", &RunExportCommand},
    {"import-spool", "DATADIR", &RunImportSpoolCommand},
    {"check", "DATADIR", &RunCheckCommand},
    {"autoconfig", "ADDRESS [--test]", &RunAutoconfigCommand},
};

int Usage()
{
    QByteArray text = "usage:\n";
    for (const TToolCommand& command : Commands)
        text += QByteArray("  lmtool ") + command.Name + ' ' + command.Synopsis + '\n';
    std::fputs(text.constData(), stderr);
    return ExitUsage;
}

} // namespace

int RunTool(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return Usage();
    for (const TToolCommand& command : Commands) {
        if (arguments.first() == QLatin1String(command.Name)) {
            const int code = command.Run(arguments.mid(1));
            return code == ExitUsage ? Usage() : code;
        }
    }
    return Usage();
}

void WriteJsonLine(const QJsonObject& object)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
}

int Fail(const QString& message)
{
    std::fprintf(stderr, "lmtool: %s\n", qUtf8Printable(message));
    return ExitFailure;
}

QString JsonText(const QByteArray& bytes)
{
    return QUtf8StringView(bytes).isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}
