#pragma once
// What the desktop opens for the suite: documents and web pages with their default program, and the
// context help pages.

#include "HelpContexts.h"

#include <QString>

class QWidget;

// Asks the desktop to open `path` with its default program; false when that failed.
bool OpenDocument(const QString& path);
bool OpenWebPage(const QString& url);

inline constexpr auto HelpContextProperty = "HelpContext";

// Opens the help window beside `window` at the page of `context` in the interface language. A
// context without a page of its own (0 included) opens the contents; a page that is missing is
// reported with message 502, a help index that cannot be read with message 501.
void ShowHelp(int context, QWidget* window = nullptr);
// ShowHelp with the context of the focused control: its own "HelpContext" property or the nearest
// one of the widgets it lies in.
void ShowHelpForActiveControl();
// Gives `widget` and what lies in it the help context `context`.
void SetHelpContext(QWidget* widget, int context);
// SetHelpContext, and F1 in `window` shows the help of the focused control.
void InstallHelpKey(QWidget* window, int context);
