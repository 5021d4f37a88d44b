#pragma once
// What the desktop opens for the suite: documents and web pages with their default program, and the
// context help pages.

#include <QString>

class QWidget;

// Asks the desktop to open `path` with its default program; false when that failed.
bool OpenDocument(const QString& path);
bool OpenWebPage(const QString& url);

// Shows the help page of `context` (nothing for 0). English users get the page generated from the
// link template with the found page's path; a missing page is reported with message 502.
void ShowHelp(int context, QWidget* window = nullptr);
// ShowHelp with the context (the "HelpContext" property) of the focused control of the active window.
void ShowHelpForActiveControl();
