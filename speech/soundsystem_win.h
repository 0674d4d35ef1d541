// Windows' event sounds: the wave file of the user's sound scheme for an event name.
#pragma once

#include <QString>
#include <windows.h>

// The scheme's wave file for this event below a key laid out like the user's scheme key
// (HKEY_CURRENT_USER\AppEvents\Schemes\Apps\.Default: each event a subkey whose ".Current" default value
// names the file). Empty when the event
// has no sound there, or its file is missing: nothing is played then, not even a default sound.
QString SchemeWaveFile(HKEY schemes, const QString& alias);
