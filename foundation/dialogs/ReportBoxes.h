#pragma once
// Where the reports of a program with windows go: a message box of the report's kind.

#include "Reporter.h"

// A report handler for SetReportHandler: shows the text modally over the active window.
void ShowReportInMessageBox(const TUserMessage& message);
