#include "tk_reglib.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {

// The file may hold passwords: create it readable by its owner only. QSettings replaces the file
// through a save file that keeps these permissions.
void EnsurePrivateFile(const QString& path)
{
    if (QFileInfo::exists(path))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace

QString RegistryFilePath()
{
    const QString configured = qEnvironmentVariable("LUMARO_REGISTRY");
    if (!configured.isEmpty())
        return configured;
    return QDir::homePath() + QLatin1String("/.config/Velquist/Lumaro Mail 3.0.ini");
}

TRegistryKey::TRegistryKey(const QString& key)
    : m_settings((EnsurePrivateFile(RegistryFilePath()), RegistryFilePath()), QSettings::IniFormat)
{
    if (!key.isEmpty())
        m_settings.beginGroup(key);
}

bool TRegistryKey::Readable() const
{
    // A garbled file reads as if it were empty.
    return m_settings.status() != QSettings::FormatError;
}

QVariant TRegistryKey::Read(const QString& name) const
{
    return Readable() ? m_settings.value(name) : QVariant();
}

bool TRegistryKey::ValueExists(const QString& name) const
{
    return Readable() && m_settings.contains(name);
}

bool TRegistryKey::ReadBool(const QString& name, bool defaultValue) const
{
    const QVariant value = Read(name);
    if (!value.isValid())
        return defaultValue;
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok ? number != 0 : defaultValue;
}

int TRegistryKey::ReadInteger(const QString& name, int defaultValue) const
{
    bool ok = false;
    const int number = Read(name).toInt(&ok);
    return ok ? number : defaultValue;
}

QString TRegistryKey::ReadString(const QString& name, const QString& defaultValue) const
{
    const QVariant value = Read(name);
    return value.isValid() ? value.toString() : defaultValue;
}

QByteArray TRegistryKey::ReadBinary(const QString& name) const
{
    return Read(name).toByteArray();
}

void TRegistryKey::WriteBool(const QString& name, bool value)
{
    m_settings.setValue(name, value ? 1 : 0);
}

void TRegistryKey::WriteInteger(const QString& name, int value)
{
    m_settings.setValue(name, value);
}

void TRegistryKey::WriteString(const QString& name, const QString& value)
{
    m_settings.setValue(name, value);
}

void TRegistryKey::WriteBinary(const QString& name, const QByteArray& value)
{
    m_settings.setValue(name, value);
}

void TRegistryKey::DeleteValue(const QString& name)
{
    m_settings.remove(name);
}

QStringList TRegistryKey::SubKeys() const
{
    return Readable() ? m_settings.childGroups() : QStringList();
}

bool TRegistryKey::KeyExists(const QString& subKey) const
{
    return SubKeys().contains(subKey);
}

bool TRegistryKey::DeleteKey(const QString& subKey)
{
    m_settings.remove(subKey);
    return Flush() && !KeyExists(subKey);
}

void TRegistryKey::CopyValuesFrom(const TRegistryKey& source)
{
    if (!source.Readable())
        return;
    const QStringList names = source.m_settings.allKeys();
    for (const QString& name : names)
        m_settings.setValue(name, source.m_settings.value(name));
}

bool TRegistryKey::Flush()
{
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}

QString ReadStringAt(const QString& key, const QString& name)
{
    return TRegistryKey(key).ReadString(name);
}

QByteArray EncodeWindowPlacement(const TWindowPlacement& placement)
{
    QByteArray value(16, '\0');
    char* out = value.data();
    qToLittleEndian<qint32>(placement.Left, out);
    qToLittleEndian<qint32>(placement.Top, out + 4);
    qToLittleEndian<qint32>(placement.Width, out + 8);
    qToLittleEndian<qint32>(placement.Height, out + 12);
    return value;
}

std::optional<TWindowPlacement> DecodeWindowPlacement(const QByteArray& value)
{
    if (value.size() != 16)
        return std::nullopt;
    const char* in = value.constData();
    return TWindowPlacement{qFromLittleEndian<qint32>(in), qFromLittleEndian<qint32>(in + 4),
                            qFromLittleEndian<qint32>(in + 8), qFromLittleEndian<qint32>(in + 12)};
}
