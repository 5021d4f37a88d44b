#pragma once
// A new contact handed from a message to the address book. The names come from a message, so they
// never travel as program arguments, where they could read as options: the sender writes them to
// a private file and passes its path after `ContactFileArgument`.

#include <QByteArray>
#include <QString>

struct TContactHandOver {
    QString LastName;
    QString FirstName;
    QString Address;
};

inline const QString ContactFileArgument = QStringLiteral("--contact-file");

// Three UTF-8 lines: last name, first name, address; line breaks inside a field become blanks.
QByteArray ContactHandOverText(const TContactHandOver& contact);
// Missing lines leave their fields empty; no field takes more than one line.
TContactHandOver ParseContactHandOver(const QByteArray& text);
