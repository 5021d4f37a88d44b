#pragma once
// The first command-line argument of the main client (also what a second instance hands over):
// "-U<user>", a "mailto:" link or any text with "@", or the path of an ".eml" file.

#include <QString>

#include <optional>

enum class TArgumentKind { Nothing, Mailto, EmlFile };

struct TArgumentAction {
    TArgumentKind Kind = TArgumentKind::Nothing;
    QString Recipients;
    QString Subject;
    QString Path;
};

// What the argument asks for. Recipients lose every "<" and ">"; the last "subject=" parameter
// (any letter case) gives the subject; other parameters are ignored.
TArgumentAction ParseArgument(const QString& argument);

// The user name of a "-U" argument (prefix in any letter case), or nothing.
std::optional<QString> UserOfArgument(const QString& argument);
