#include "shell/statusmodel.h"

#include "common/clock.h"
#include "common/texts.h"
#include "common/types.h"
#include "shell/lastinput.h"
#include "shell/settings.h"

TStatusModel::TStatusModel(const TEinstellungen& einstellungen, const IClock& clock, ILastInput* lastInput)
    : FEinstellungen(einstellungen)
    , FClock(clock)
    , FLastInput(lastInput)
    , FAbwesendCount(clock.tickCount())
{
}

bool TStatusModel::Waehlen(int tag)
{
    if (tag < TagOnline || tag > TagBeschaeftigt)
        tag = TagBeschaeftigt;
    if (tag == FTag)
        return false;
    FTag = tag;
    FAutoAbwesendAktivS = false;
    OnlinezeitNeu();
    return true;
}

void TStatusModel::EingabeBemerkt()
{
    FAbwesendCount = FClock.tickCount();
}

uint32_t TStatusModel::GetLetzteEingabe()
{
    // Under XWayland the system sees only input that went to X programs, so the program's own counts too.
    if (FLastInput) {
        if (const std::optional<uint32_t> tick = FLastInput->lastInputTick()) {
            if (int32_t(*tick - FAbwesendCount) > 0)
                FAbwesendCount = *tick;
        }
    }
    return FAbwesendCount;
}

bool TStatusModel::IsAbwesend()
{
    if (FTag != TagOnline || !FEinstellungen.AutoAbwesendS)
        return false;
    const uint32_t idle = FClock.tickCount() - GetLetzteEingabe();
    return uint64_t(idle) > uint64_t(uint32_t(FEinstellungen.AbwesendMin)) * 60000u;
}

int TStatusModel::PresenceStatusNr() const
{
    if (FTag == TagAbwesend)
        return StatusAbwesend;
    return FTag == TagOnline ? StatusOnline : StatusBeschaeftigt;
}

TStatusModel::TZyklus TStatusModel::Zyklus()
{
    TZyklus z;
    z.abwesendS = IsAbwesend();
    if (z.abwesendS && !FAutoAbwesendAktivS) {
        FAutoAbwesendAktivS = true;
        OnlinezeitNeu();
    } else if (!z.abwesendS && FAutoAbwesendAktivS) {
        FAutoAbwesendAktivS = false;
        OnlinezeitNeu();
        z.zurueckS = true;
    }
    return z;
}

int TStatusModel::StatusNrFuer(const TZyklus& zyklus) const
{
    return zyklus.abwesendS ? StatusAbwesend : PresenceStatusNr();
}

void TStatusModel::OnlinezeitNeu()
{
    FOnlinezeit = FClock.now().time();
}

bool TStatusModel::abwesendAngezeigt(bool AbwesendS)
{
    return AbwesendS || FTag == TagAbwesend || IsAbwesend();
}

QString TStatusModel::FensterTitel(bool AbwesendS)
{
    int nr;
    if (abwesendAngezeigt(AbwesendS))
        nr = StatusAbwesend;
    else
        nr = FTag == TagOnline ? StatusOnline : StatusBeschaeftigt;
    return QStringLiteral("%1 (%2) - %3").arg(FEinstellungen.Name, Texts::statusText(nr), Texts::ProgrammName);
}

QString TStatusModel::IconHint(bool AbwesendS, int ungelesen)
{
    QString hint = Texts::ProgrammName;
    if (abwesendAngezeigt(AbwesendS))
        hint += QStringLiteral(" (Abwesend)");
    else if (FTag == TagBeschaeftigt)
        hint += QStringLiteral(" (Beschäftigt)");
    return hint + QStringLiteral("; Ungelesen: %1").arg(ungelesen);
}
