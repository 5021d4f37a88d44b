#pragma once
// What the message window tells the user before it hands something from a message to the desktop:
// the real type of an attachment about to be opened, and links whose visible text names another
// host than the one they lead to.

#include <QByteArray>
#include <QString>
#include <QStringList>

class QUrl;

struct TAttachmentType {
    QString MimeName;     // "application/pdf"
    QString Description;  // the MIME database's comment in the user's language, "PDF document"
    // A program, script or desktop launcher: opening it can run commands.
    bool Runs = false;
};

// The type judged by content and name together. When either the content or the name alone is a
// program or script, that type is reported: "invoice.pdf" holding an ELF file is an executable.
TAttachmentType AttachmentTypeOf(const QString& fileName, const QByteArray& data);

// The warning before an attachment is opened: its name, its type ("desktop entry
// (application/x-desktop)"), for programs and scripts that they can run commands, then the general
// virus warning.
QString OpenWarningText(const QString& fileName, const TAttachmentType& type);

// The host the visible text of a link shows, when that text reads as a web address ("https://…",
// "www.…", "bank.example/login") whose host is not the link's own; empty otherwise. Hosts compare
// case-insensitively in their ASCII form, ignoring a leading "www." and a trailing dot.
QString MisleadingLinkHost(const QString& visibleText, const QUrl& target);

