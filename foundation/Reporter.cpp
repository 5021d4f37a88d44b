#include "Reporter.h"

#include "tk_langlib.h"

#include <cstdio>

namespace {

TReportHandler& Handler()
{
    static TReportHandler handler;
    return handler;
}

} // namespace

void SetReportHandler(TReportHandler handler)
{
    Handler() = std::move(handler);
}

void ReportText(int id, TMessageKind kind, const QString& text)
{
    const TUserMessage message{id, text, kind};
    if (Handler()) {
        Handler()(message);
        return;
    }
    std::fprintf(stderr, "lumaro: [%d] %s\n", id, qUtf8Printable(text));
}

void Report(int id, TMessageKind kind, const QString& value)
{
    ReportText(id, kind, FillIn(MessageText(id), value));
}
