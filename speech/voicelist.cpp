#include "speech/voicelist.h"

#include "speech/textcompare.h"

#include <algorithm>
#include <numeric>

VoiceList::VoiceList(std::vector<std::string> descriptionsInEngineOrder)
{
    m_positions.resize(descriptionsInEngineOrder.size());
    std::iota(m_positions.begin(), m_positions.end(), 0);
    std::stable_sort(m_positions.begin(), m_positions.end(), [&](int a, int b) {
        return CompareTextIgnoringCase(descriptionsInEngineOrder[a], descriptionsInEngineOrder[b]) < 0;
    });
    m_sorted.reserve(m_positions.size());
    for (int p : m_positions)
        m_sorted.push_back(std::move(descriptionsInEngineOrder[p]));
}

int VoiceList::find(const std::string& description) const
{
    if (description.empty())
        return -1;
    for (int i = 0; i < size(); ++i) {
        if (SameTextIgnoringCase(m_sorted[i], description))
            return i;
    }
    return -1;
}

int VoiceList::position(int index) const
{
    if (index < 0 || index >= size())
        return -1;
    return m_positions[index];
}
