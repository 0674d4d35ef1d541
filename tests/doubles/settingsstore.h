// A settings store in memory that records the order of its writes.
#pragma once

#include "shell/settingsstore.h"

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// A typed store like the registry.
class MemorySettingsStore : public ISettingsStore
{
public:
    bool readable() const override { return m_available; }
    bool writable() const override { return m_available; }
    std::optional<uint32_t> readDword(const std::string& name) const override;
    std::optional<std::string> readString(const std::string& name) const override;
    void writeDword(const std::string& name, uint32_t value) override;
    void writeInt(const std::string& name, int32_t value) override;
    void writeString(const std::string& name, const std::string& value) override;
    bool flush() override { return m_available; }

    // An unavailable store behaves like a key that cannot be opened.
    void setAvailable(bool available) { m_available = available; }
    bool contains(const std::string& name) const { return m_values.count(name) != 0; }
    const std::vector<std::string>& writes() const { return m_writes; }
    void clearWrites() { m_writes.clear(); }

private:
    std::map<std::string, std::variant<uint32_t, std::string>> m_values;
    std::vector<std::string> m_writes;
    bool m_available = true;
};

inline std::optional<uint32_t> MemorySettingsStore::readDword(const std::string& name) const
{
    const auto it = m_values.find(name);
    if (it == m_values.end())
        return std::nullopt;
    if (const auto* v = std::get_if<uint32_t>(&it->second))
        return *v;
    return std::nullopt;
}

inline std::optional<std::string> MemorySettingsStore::readString(const std::string& name) const
{
    const auto it = m_values.find(name);
    if (it == m_values.end())
        return std::nullopt;
    if (const auto* v = std::get_if<std::string>(&it->second))
        return *v;
    return std::nullopt;
}

inline void MemorySettingsStore::writeDword(const std::string& name, uint32_t value)
{
    m_values[name] = value;
    m_writes.push_back(name);
}

inline void MemorySettingsStore::writeInt(const std::string& name, int32_t value)
{
    writeDword(name, static_cast<uint32_t>(value));
}

inline void MemorySettingsStore::writeString(const std::string& name, const std::string& value)
{
    m_values[name] = value;
    m_writes.push_back(name);
}
