#pragma once
// A database found outdated or damaged at start-up is recreated, but its old file is never simply
// replaced: it is set aside under a telling name first, so that a person can still rescue it.

#include <QDate>
#include <QString>

#include <functional>

// Renames `path` to "<path>.damaged-<yyyy-MM-dd>" ("-2", "-3" ... appended while that name is
// taken). The new path, empty when the file could not be renamed.
QString SetDamagedFileAside(const QString& path, const QDate& today = QDate::currentDate());

// Sets the file aside and reports `messageId` (the program's "will be recreated" text) followed by
// where the old file now lies, then runs `create`. When the file cannot be set aside, nothing is
// recreated and the user is told (shared message 516); the result is then false.
bool RecreateDamagedDatabase(const QString& path, int messageId, const std::function<bool()>& create);
