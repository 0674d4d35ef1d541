// Placeholder until the Windows speech back ends land.
#include "speech/soundsystem.h"

TSystemSound FindSystemSound(const QString&)
{
    return {};
}
