#pragma once
// The picture of a POP3 mailbox that TqmRemotePOP builds: one item per message on the server with
// its size, header lines and unique id, and the caller's marks for the next transfer.

#include "qmmsgcls.h"

#include <memory>
#include <vector>

class TqmRemoteInfoItem {
public:
    bool MarkedToRetrieve = false;
    bool MarkedToDelete = false;
    // Octets, as LIST gave it.
    qint64 Size = 0;
    TqmHeaders Headers;
    // Empty when the server gave none.
    QByteArray UIDL;
    // False when the update left the header lines out (see TqmRemotePOP::OnHeadersWanted).
    bool HeadersRead = false;
};

// Owns its items; item i describes server message i + 1.
class TqmRemoteInfo {
public:
    TqmRemoteInfo() = default;
    TqmRemoteInfo(const TqmRemoteInfo&) = delete;
    TqmRemoteInfo& operator=(const TqmRemoteInfo&) = delete;

    // Throws std::out_of_range for an index outside 0..Count()-1.
    TqmRemoteInfoItem& Items(qsizetype index) { return *m_items.at(index); }
    const TqmRemoteInfoItem& Items(qsizetype index) const { return *m_items.at(index); }
    qsizetype Count() const { return qsizetype(m_items.size()); }
    TqmRemoteInfoItem& Add(std::unique_ptr<TqmRemoteInfoItem> item)
    {
        m_items.push_back(std::move(item));
        return *m_items.back();
    }
    void Clear() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<TqmRemoteInfoItem>> m_items;
};
