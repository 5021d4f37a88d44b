#pragma once
// Points the suite's registry at a fresh private file for the lifetime of the object.

#include <QTemporaryDir>
#include <QtGlobal>

class ScopedRegistry {
public:
    ScopedRegistry() : m_previous(qgetenv("LUMARO_REGISTRY"))
    {
        qputenv("LUMARO_REGISTRY", FilePath().toLocal8Bit());
    }
    ~ScopedRegistry() { qputenv("LUMARO_REGISTRY", m_previous); }
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;

    QString FilePath() const { return m_dir.filePath(QStringLiteral("registry.ini")); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};
