#pragma once
// Captures the reports of the code under test for the lifetime of the object. Reports nobody
// expected fail the test when the capture ends unless the test took them with Take().

#include "Reporter.h"

#include <QList>
#include <QTest>

class ReportCapture {
public:
    ReportCapture()
    {
        SetReportHandler([this](const TUserMessage& message) { m_reports.append(message); });
    }
    ~ReportCapture()
    {
        SetReportHandler({});
        for (const TUserMessage& unexpected : std::as_const(m_reports))
            QTest::qFail(qPrintable(QStringLiteral("unexpected report %1: %2").arg(unexpected.Id).arg(unexpected.Text)),
                         __FILE__, __LINE__);
    }
    ReportCapture(const ReportCapture&) = delete;
    ReportCapture& operator=(const ReportCapture&) = delete;

    // The reports so far, handed over to the test.
    QList<TUserMessage> Take() { return std::exchange(m_reports, {}); }

private:
    QList<TUserMessage> m_reports;
};
