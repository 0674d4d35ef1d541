// The program's own fixed texts; each stands here once.
#pragma once

#include "common/types.h"

#include <QString>

namespace Texts {

// Product and version: mutex name, caption suffix, tray hint, balloon title.
inline const QString ProgrammName = QStringLiteral("Tobrik V1.13");

// "dd.mm.yyyy hh:mm:ss" and "hh:mm:ss" written as Qt format strings.
inline const QString DatumZeitFormat = QStringLiteral("dd.MM.yyyy hh:mm:ss");
inline const QString DatumFormat = QStringLiteral("dd.MM.yyyy");
inline const QString ZeitFormat = QStringLiteral("hh:mm:ss");

// Text of a state number: 0 "Online", 1 "Abwesend", anything else "Beschäftigt".
QString statusText(int statusNr);

// "Online", "Offline", "Abwesend", "Beschäftigt".
QString statusModeText(TStatusMode mode);

// File name in the sounds folder, for example "signin.wav".
QString soundFileName(TSound sound);

// Label of the sound's switch in the options dialog, for example "Programmstart".
QString soundLabel(TSound sound);

// The reminder of unread messages while the window waits in the tray, singular for one.
QString ungelesenErinnerung(int count);

} // namespace Texts
