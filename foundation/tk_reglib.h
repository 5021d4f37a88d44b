#pragma once
// The suite's registry: one INI file (QSettings) whose top level is the suite's root key.
// Its path is $LUMARO_REGISTRY, else ~/.config/Velquist/Lumaro Mail 3.0.ini. Keys are groups
// ("Users/alice/General"); booleans and integers are stored as numbers, binary values as bytes.
// A missing or unreadable file, key or value yields the caller's default, never an error.

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>

QString RegistryFilePath();

// One key of the registry, opened for reading and writing (created on the first write).
class TRegistryKey {
public:
    // `key` below the suite root key, "/"-separated; empty for the root key itself.
    explicit TRegistryKey(const QString& key = {});
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    bool ValueExists(const QString& name) const;
    bool ReadBool(const QString& name, bool defaultValue) const;
    int ReadInteger(const QString& name, int defaultValue) const;
    QString ReadString(const QString& name, const QString& defaultValue = {}) const;
    QByteArray ReadBinary(const QString& name) const;

    void WriteBool(const QString& name, bool value);
    void WriteInteger(const QString& name, int value);
    void WriteString(const QString& name, const QString& value);
    void WriteBinary(const QString& name, const QByteArray& value);
    void DeleteValue(const QString& name);

    // Names of the sub keys directly below this key.
    QStringList SubKeys() const;
    bool KeyExists(const QString& subKey) const;
    // Deletes a sub key with everything below it; true when it is gone afterwards.
    bool DeleteKey(const QString& subKey);
    // Writes every value of `source`, its sub keys' values included, into this key as they are.
    void CopyValuesFrom(const TRegistryKey& source);

    // Writes pending changes to the file now, for values another process reads next.
    bool Flush();

private:
    bool Readable() const;
    QVariant Read(const QString& name) const;

    QSettings m_settings;
};

// The string `name` of `key`; empty when the key or the value does not exist.
QString ReadStringAt(const QString& key, const QString& name);

// A form's window placement: Left, Top, Width, Height; Top -999 means maximized, with the other
// three values being the last normal ones.
struct TWindowPlacement {
    qint32 Left = 0;
    qint32 Top = 0;
    qint32 Width = 0;
    qint32 Height = 0;

    static constexpr qint32 MaximizedTop = -999;
    bool Maximized() const { return Top == MaximizedTop; }
};

// The 16-byte value: four little-endian signed 32-bit integers.
QByteArray EncodeWindowPlacement(const TWindowPlacement& placement);
// Empty when the value is not exactly 16 bytes.
std::optional<TWindowPlacement> DecodeWindowPlacement(const QByteArray& value);
