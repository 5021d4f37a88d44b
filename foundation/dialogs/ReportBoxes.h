#pragma once
// Where the reports of a program with windows go: a message box of the report's kind. Every
// message box of the suite goes through ShowPlainMessageBox, since its texts quote subjects,
// addresses and server replies: Qt would take "<img src=/dev/zero>" in such a text for rich text
// and load the named file.

#include "Reporter.h"

#include <QMessageBox>

// A modal message box that shows `text` as plain text; returns the button pressed.
QMessageBox::StandardButton ShowPlainMessageBox(QMessageBox::Icon icon, QWidget* parent, const QString& title,
                                                const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// A report handler for SetReportHandler: shows the text modally over the active window.
void ShowReportInMessageBox(const TUserMessage& message);
