#include "shell/globalkeys.h"

void IGlobalKeys::notice(const std::string& text)
{
    if (text.empty() || !m_noticed.insert(text).second)
        return;
    if (m_onNotice)
        m_onNotice(text);
}

namespace GlobalKeyTexts {

std::string combination(int id)
{
    switch (id) {
    case IGlobalKeys::MinimierenPageDown:
        return "Strg+Alt+BildAb";
    case IGlobalKeys::MinimierenF1:
        return "Strg+Alt+F1";
    case IGlobalKeys::UngelesenPageUp:
        return "Strg+Alt+BildAuf";
    case IGlobalKeys::UngelesenF2:
        return "Strg+Alt+F2";
    default:
        return {};
    }
}

std::string notAvailable()
{
    return "Die systemweiten Tastenkombinationen sind in dieser Sitzung nicht verfügbar.";
}

std::string taken(int id)
{
    return "Die Tastenkombination " + combination(id) + " ist bereits von einem anderen Programm belegt.";
}

std::string noSuchKey(int id)
{
    return "Die Tastenkombination " + combination(id) + " gibt es auf dieser Tastatur nicht.";
}

} // namespace GlobalKeyTexts

bool NoGlobalKeys::Register(KeyHandler)
{
    notice(GlobalKeyTexts::notAvailable());
    return false;
}

std::string NoGlobalKeys::failureText() const
{
    return GlobalKeyTexts::notAvailable();
}
