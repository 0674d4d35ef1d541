// An engine's voices as the engine lists them, and the same sorted by description: list index and engine
// position differ in general.
#pragma once

#include <string>
#include <vector>

class VoiceList
{
public:
    VoiceList() = default;
    explicit VoiceList(std::vector<std::string> descriptionsInEngineOrder);

    // Sorted ignoring letter case; descriptions that compare equal keep the engine's order.
    const std::vector<std::string>& descriptions() const { return m_sorted; }
    int size() const { return static_cast<int>(m_sorted.size()); }
    // The first index whose description equals this one ignoring letter case; -1 for none and for "".
    int find(const std::string& description) const;
    // The engine's position of the voice at this index; -1 when the index is out of range.
    int position(int index) const;

private:
    std::vector<std::string> m_sorted;
    std::vector<int> m_positions;
};
