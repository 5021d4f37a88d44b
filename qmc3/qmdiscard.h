#pragma once
// A write-only device that swallows what it is given: the body of a reply that must be read to
// keep a connection in step, or of a message that cannot be saved, so that a transfer goes on.

#include <QIODevice>

class TqmDiscardDevice final : public QIODevice {
public:
    TqmDiscardDevice() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override { return size; }
};
