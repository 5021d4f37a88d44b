#pragma once
// A sequential device that hands out one byte per read, like a slow socket: readers must survive
// any chunk boundary.

#include <QByteArray>
#include <QIODevice>

class OneByteDevice : public QIODevice {
public:
    explicit OneByteDevice(QByteArray data) : m_data(std::move(data)) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_at >= m_data.size() || maxSize <= 0)
            return m_at >= m_data.size() ? -1 : 0;
        *data = m_data.at(m_at++);
        return 1;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qsizetype m_at = 0;
};
