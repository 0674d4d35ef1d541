#include "shell/settingsstore.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace {

QString key(const std::string& name)
{
    return QString::fromStdString(name);
}

std::optional<uint32_t> dwordFromText(const QString& text)
{
    const bool negative = text.startsWith(QLatin1Char('-'));
    const int first = negative ? 1 : 0;
    if (text.size() <= first)
        return std::nullopt;
    int64_t value = 0;
    for (int i = first; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > int64_t(UINT32_MAX))
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < int64_t(INT32_MIN))
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

} // namespace

QSettingsStore::QSettingsStore()
#ifdef Q_OS_WIN
    // With the organisation alone Qt would use the subkey "OrganizationDefaults".
    : m_settings(
          std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\Tobrik"), QSettings::NativeFormat))
#else
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tobrik")))
#endif
{
    // Only the user's own key counts, never a system-wide file.
    m_settings->setFallbacksEnabled(false);
}

QSettingsStore::QSettingsStore(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    m_settings->setFallbacksEnabled(false);
}

QSettingsStore::~QSettingsStore() = default;

bool QSettingsStore::readable() const
{
    // Qt parses an ini file's sections only when a value is first asked for, and only then reports a
    // broken line; asking for every key makes it tell before anything is loaded.
    m_settings->allKeys();
    return m_settings->status() == QSettings::NoError;
}

bool QSettingsStore::writable() const
{
    return readable() && m_settings->isWritable();
}

std::optional<uint32_t> QSettingsStore::readDword(const std::string& name) const
{
    const QVariant v = m_settings->value(key(name));
    // Values this process wrote come back from Qt's cache with their type; values read from disk as text.
    switch (v.typeId()) {
    case QMetaType::QString:
        return dwordFromText(v.toString());
    case QMetaType::Int:
        return static_cast<uint32_t>(v.toInt());
    case QMetaType::UInt:
        return v.toUInt();
    default:
        return std::nullopt;
    }
}

std::optional<std::string> QSettingsStore::readString(const std::string& name) const
{
    const QVariant v = m_settings->value(key(name));
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
        return v.toString().toStdString();
    default:
        return std::nullopt;
    }
}

void QSettingsStore::writeDword(const std::string& name, uint32_t value)
{
    m_settings->setValue(key(name), value);
}

void QSettingsStore::writeInt(const std::string& name, int32_t value)
{
    m_settings->setValue(key(name), value);
}

void QSettingsStore::writeString(const std::string& name, const std::string& value)
{
    m_settings->setValue(key(name), QString::fromStdString(value));
}

bool QSettingsStore::flush()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}
