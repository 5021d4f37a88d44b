#pragma once
// A fresh installation for one test: a private registry, a program directory with the default
// user's data directory, and the process-wide paths and user context of a program started from it.

#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "ScopedRegistry.h"
#include "SharedFunctions.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QDir>
#include <QTemporaryDir>

class TestInstallation {
public:
    // `program`: the executable's path below the program directory ("lmab", "modules/lmaccounts").
    explicit TestInstallation(const QString& program, int language = 0)
    {
        if (language != 0)
            TRegistryKey().WriteInteger(QLatin1String(RegValue::Language), language);
        InitProgramForActiveUser(m_programDir.filePath(program));
    }
    ~TestInstallation() { SetLanguage(0); }
    TestInstallation(const TestInstallation&) = delete;
    TestInstallation& operator=(const TestInstallation&) = delete;

    QString ProgramDir() const { return m_programDir.path(); }

private:
    ScopedRegistry m_registry;
    QTemporaryDir m_programDir;
};
