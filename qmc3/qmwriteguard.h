#pragma once
// A write-only device that passes what it is given on to another device unless a check refuses the
// write first. The guards of a transfer (a size limit, the disk's reserve, naming the file of a
// failed write) derive from it and say only what they check.

#include <QIODevice>
#include <QString>

class TqmWriteGuard : public QIODevice {
public:
    explicit TqmWriteGuard(QIODevice& target) : m_target(target) { open(QIODevice::WriteOnly); }

protected:
    // The error text that refuses a write of `size` bytes; empty lets it pass.
    virtual QString Refusal(qint64 size) = 0;
    // The error text of a write the target did not take whole.
    virtual QString FailureText() const { return m_target.errorString(); }

    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (const QString refusal = Refusal(size); !refusal.isEmpty()) {
            setErrorString(refusal);
            return -1;
        }
        const qint64 passed = m_target.write(data, size);
        if (passed != size)
            setErrorString(FailureText());
        return passed;
    }

private:
    QIODevice& m_target;
};

// Passes a body on until it grows past `limit`; then every write fails with `overflowText`, which
// ends the transfer before anything of it is deleted on the server.
class TqmSizeGuard final : public TqmWriteGuard {
public:
    TqmSizeGuard(QIODevice& target, qint64 limit, QString overflowText)
        : TqmWriteGuard(target), m_limit(limit), m_overflowText(std::move(overflowText))
    {
    }

protected:
    QString Refusal(qint64 size) override
    {
        m_written += size;
        return m_written > m_limit ? m_overflowText : QString();
    }

private:
    qint64 m_limit;
    QString m_overflowText;
    qint64 m_written = 0;
};
