#pragma once
// Printing and saving as PDF, as the message window and its print preview offer them: the system
// print dialog (every installed printer and "Print to File (PDF)"), a save dialog for PDF files,
// and a message with the reason whenever nothing came out.

#include "ViewSettings.h"

#include <QFont>
#include <QPageLayout>
#include <QString>

class QPrinter;
class QTextDocument;
class QWidget;

// The font of the pages: the message text's font, except that "MS Sans Serif" becomes Arial 9.
QFont PrintFont(const QString& mailFont);

// `paper` (size and orientation) with the margins of `settings`.
QPageLayout PrintPageLayout(const QPageLayout& paper, const TPrintSettings& settings);

// Opens the system print dialog for `printer` and prints `document` to what the user chose, with
// the margins of `settings`. False when the user cancelled or printing failed (reported).
bool PrintWithDialog(QWidget* parent, QPrinter& printer, const QTextDocument& document,
                     const TPrintSettings& settings);
// Prints to `printer` as it is set up; a PDF file is written whole or not at all. False after
// the failure was reported with its reason.
bool PrintDocument(QPrinter& printer, const QTextDocument& document);

// Asks for a file name, proposing the subject, and writes `document` there as PDF on pages of
// `layout`. False when the user cancelled or the file could not be written (reported).
bool SavePdfWithDialog(QWidget* parent, const QTextDocument& document, const QPageLayout& layout,
                       const QString& subject);
