// The per-user key-value store that holds the settings: DWORD and string values by name.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class QSettings;
class QString;

// Names and strings are UTF-8. A DWORD is 32 bits; signed values travel as their bit pattern.
// A value stored with the other type reads as missing.
class ISettingsStore
{
public:
    virtual ~ISettingsStore() = default;
    // False when the store cannot be opened: loading must then change nothing.
    virtual bool readable() const = 0;
    // False when the store cannot be written: saving must then write nothing.
    virtual bool writable() const = 0;
    virtual std::optional<uint32_t> readDword(const std::string& name) const = 0;
    virtual std::optional<std::string> readString(const std::string& name) const = 0;
    virtual void writeDword(const std::string& name, uint32_t value) = 0;
    // The same DWORD; a text store shows it as a signed number.
    virtual void writeInt(const std::string& name, int32_t value) = 0;
    virtual void writeString(const std::string& name, const std::string& value) = 0;
    // Puts the writes on disk; false when that failed.
    virtual bool flush() = 0;
};

// A text file cannot tell a number from a string, so its rule is: a DWORD read accepts only a plain
// decimal integer ("-" and digits) between -2^31 and 2^32-1; a string read accepts any single text value,
// the digits of a number included. Lists, byte arrays and other encoded values count as missing.
// A file that does not parse is treated as a store that cannot be opened, so it is never overwritten.
class QSettingsStore : public ISettingsStore
{
public:
    // The user's settings: ~/.config/Tobrik.conf here, HKEY_CURRENT_USER\Software\Tobrik on Windows.
    QSettingsStore();
    // An ini file at an explicit path.
    explicit QSettingsStore(const QString& filePath);
    ~QSettingsStore() override;

    bool readable() const override;
    bool writable() const override;
    std::optional<uint32_t> readDword(const std::string& name) const override;
    std::optional<std::string> readString(const std::string& name) const override;
    void writeDword(const std::string& name, uint32_t value) override;
    void writeInt(const std::string& name, int32_t value) override;
    void writeString(const std::string& name, const std::string& value) override;
    bool flush() override;

private:
    std::unique_ptr<QSettings> m_settings;
};
