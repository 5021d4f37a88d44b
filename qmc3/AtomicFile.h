#pragma once
// Replacing a whole file so that a crash or a full disk leaves either the old or the new content,
// never a mix and never an empty file. QSaveFile alone reports success when a buffered write failed,
// so every step is checked here, and file and directory are synced to disk before success is reported.

#include <QByteArray>
#include <QByteArrayView>
#include <QSaveFile>
#include <QString>

// One replacement of `path`: Open, Write as often as needed, Commit. Destroying the object without
// a successful Commit leaves the old file untouched.
class TAtomicFile {
public:
    // A file that did not exist is created readable and writable by its owner only; one that is
    // replaced keeps its permissions, unless `ownerOnly` (files holding passwords) narrows them.
    explicit TAtomicFile(const QString& path, bool ownerOnly = false);
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    bool Open();
    bool Write(QByteArrayView data);
    // The open new file, for writers that stream into a device; Commit still checks every write.
    QIODevice& Device() { return m_file; }
    QString ErrorString() const { return m_file.errorString(); }
    // True only when the new content is complete on disk under the final name.
    bool Commit();

private:
    bool Fail();

    QSaveFile m_file;
    bool m_ownerOnly;
    bool m_failed = false;
};

// Makes renames and new names in the directory of `path` durable.
bool SyncDirectoryOf(const QString& path);

bool WriteFileAtomically(const QString& path, const QByteArray& content, bool ownerOnly = false);
