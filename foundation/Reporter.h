#pragma once
// How code below the windows tells the user something: it reports a numbered message with its
// filled-in text and kind; the program routes reports to message boxes, tests capture them.

#include <QString>

#include <functional>

enum class TMessageKind { Information, Warning, Error };

struct TUserMessage {
    int Id = 0;
    QString Text;
    TMessageKind Kind = TMessageKind::Information;
};

using TReportHandler = std::function<void(const TUserMessage&)>;

// Installs the handler of all reports; an empty handler restores the default, which writes to stderr.
void SetReportHandler(TReportHandler handler);

// Reports message `id` of the program's string table with its first "$T" replaced by `value`.
void Report(int id, TMessageKind kind, const QString& value = {});
// Reports a text that is not (or not only) a table text; `id` still tells which message it is.
void ReportText(int id, TMessageKind kind, const QString& text);
