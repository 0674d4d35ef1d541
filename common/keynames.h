// Shortcuts written with German key names, as the status bar shows them: "Strg+Alt+BildAb".
#pragma once

#include <QString>
#include <Qt>

// Modifiers in the order "Umsch+", "Strg+", "Alt+", then the key's name; empty for no key.
QString GermanShortcutText(int keyCombination);

// What panel 3 of the status bar shows when no state change waits to be announced: one hint per group,
// the first enabled command of each. Every shortcut is a key combination as QKeySequence stores it.
struct TKeyHintInput
{
    bool naechsteS = false, vorherigeS = false, gelesenS = false, sendenS = false, optionenS = true;
    int naechste = 0, vorherige = 0, gelesen = 0, senden = 0, optionen = 0, minimieren = 0;
};
QString KeyHintText(const TKeyHintInput& in);
