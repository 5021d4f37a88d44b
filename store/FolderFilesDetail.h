#pragma once
// What the folder-file units share beyond the public interface of DBMailboxFunctions.h: the index
// record layout, one pass over an index, the message file in memory, and the steps that appends,
// copies and repairs have in common. Only the store's own folder-file units include it.

#include "DBMailboxFunctions.h"
#include "RecordFile.h"

#include <QByteArrayView>
#include <QFile>
#include <QList>
#include <QString>

#include <optional>

#include <sys/mman.h>

namespace detail {

// Record layout.
inline constexpr qsizetype OffsetField = 0;
inline constexpr qsizetype LengthField = 4;
inline constexpr qsizetype FlagsField = 8;
inline constexpr qsizetype DeletedField = 12;
inline constexpr qsizetype DeletedCountField = 16;
inline constexpr qsizetype DateField = 20;
inline constexpr TStringField FromField{28, 40};
inline constexpr TStringField ToField{69, 40};
inline constexpr TStringField SubjectField{110, 80};

inline constexpr int MsgIndexNotCreated = 1;
inline constexpr int MsgMessageFileMissing = 2;
inline constexpr int MsgErrorLoading = 11;
inline constexpr int MsgErrorWriting = 12;
inline constexpr int MsgReorganizeFailed = 50;
inline constexpr int MsgTailRecovered = 95;

// -1 when the file does not exist.
qint64 FileSize(const QString& path);
// Cuts a message file back to `size` after a step that followed its append failed.
void TruncateMessageFile(const QString& path, qint64 size);
// A record may be read only when every field lies where it can lie: the message inside the message
// file, the string lengths inside their fields.
bool RecordIsSound(QByteArrayView record, qint64 messageFileSize);

// What one pass over an index finds out about it.
struct TIndexScan {
    bool Current = false;
    bool Torn = false;
    qint32 BadRecords = 0;
    qint32 HeaderDeletedCount = 0;
    qint32 DeletedRecords = 0;
    // End of the last message the index describes.
    qint64 IndexedEnd = 0;
    qint64 MessageFileSize = 0;
    // The live records, or all of them, as asked.
    QList<TFolderMessage> Collected;
};

enum class TCollect { Nothing, Live, All };

TIndexScan ScanIndex(const TFolderFiles& folder, TCollect collect);
TIndexHealth HealthOf(const TIndexScan& scan);
// A tail behind the last message lists fine; it is only indexed at the next check.
bool NeedsRepairBeforeListing(const TIndexScan& scan);

// Appends encoded records in one write; the number of the first, 0 on failure (nothing appended).
qint32 AppendIndexRecords(const QString& indexPath, QByteArrayView records);

// Bytes behind the last indexed message are the leftover of an interrupted append. Written behind
// them, the next message would hide them from the start-up check and, at the next rebuild, be
// swallowed by a torn leftover or follow a duplicate of a message whose source still exists. So they
// go to the recovery file first, as the check moves them. An index the check would repair is left to
// it: its records do not tell where the tail begins. False when a tail could not be moved.
bool MoveLeftoverBeforeAppend(const TFolderFiles& folder);

// The message file mapped into memory, or read when it cannot be mapped.
class TMessageFileContent {
public:
    explicit TMessageFileContent(const QString& path) : m_file(path) {}
    ~TMessageFileContent()
    {
        if (m_populated)
            ::munmap(m_populated, m_populatedSize);
    }
    TMessageFileContent(const TMessageFileContent&) = delete;
    TMessageFileContent& operator=(const TMessageFileContent&) = delete;

    // `everyByte`: the caller reads the whole file (a rebuild). Its pages are then mapped in one go:
    // one page fault per page costs more than finding the lines in it.
    bool Open(bool everyByte = false)
    {
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        if (m_file.size() == 0)
            return true;
#if defined(MAP_POPULATE)
        if (everyByte) {
            void* mapped = ::mmap(nullptr, size_t(m_file.size()), PROT_READ, MAP_PRIVATE | MAP_POPULATE, m_file.handle(), 0);
            if (mapped != MAP_FAILED) {
                m_populated = mapped;
                m_populatedSize = size_t(m_file.size());
                m_data = QByteArrayView(static_cast<const char*>(mapped), m_file.size());
                return true;
            }
        }
#endif
        if (uchar* mapped = m_file.map(0, m_file.size())) {
            m_data = QByteArrayView(reinterpret_cast<const char*>(mapped), m_file.size());
            return true;
        }
        m_copy = m_file.readAll();
        m_data = m_copy;
        return m_file.error() == QFileDevice::NoError;
    }
    QByteArrayView Data() const { return m_data; }

private:
    QFile m_file;
    QByteArray m_copy;
    QByteArrayView m_data;
    void* m_populated = nullptr;
    size_t m_populatedSize = 0;
};

} // namespace detail
