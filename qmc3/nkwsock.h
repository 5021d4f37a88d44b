#pragma once
// The process-wide socket library binding. Sockets come from QtNetwork, which is always linked,
// so loading cannot fail: the object only keeps the loaded state that components ask about.

#include <QtGlobal>

class TnkWinsock {
public:
    void LoadWinsock() { m_loaded = true; }
    void FreeWinsock() { m_loaded = false; }
    bool GetLoaded() const { return m_loaded; }
    // True: the sockets are always there.
    bool GetAvailable() const { return true; }

private:
    bool m_loaded = false;
};

// The one instance of the process.
TnkWinsock& Winsock();

// Halves of a 32-bit notification parameter: buffer length or event in the low half, error code
// in the high half.
inline quint32 WSAMakeSyncReply(quint16 bufferLength, quint16 error) { return quint32(bufferLength) | (quint32(error) << 16); }
inline quint32 WSAMakeSelectReply(quint16 event, quint16 error) { return quint32(event) | (quint32(error) << 16); }
inline quint16 WSAGetAsyncBuflen(quint32 param) { return quint16(param & 0xFFFF); }
inline quint16 WSAGetAsyncError(quint32 param) { return quint16(param >> 16); }
inline quint16 WSAGetSelectEvent(quint32 param) { return quint16(param & 0xFFFF); }
inline quint16 WSAGetSelectError(quint32 param) { return quint16(param >> 16); }
