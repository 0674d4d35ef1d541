// A run of presence datagrams (separated by the byte 0xFF) merged into one online list, four
// seconds apart, so users also drop out. After every merge the list must stay consistent.
#include "fuzzing.h"

#include "doubles/clock.h"

#include "common/fields.h"
#include "data/userliste.h"
#include "net/presencechannel.h"

#include <QHostAddress>
#include <QSet>

namespace {

const QString OwnPC = QStringLiteral("R12-PC");

void checkList(const TUserListe& liste)
{
    const QList<TUserListeRec> online = liste.GetListe();
    FUZZ_CHECK(online.size() == liste.OnlineCount() && online.size() <= liste.Count());
    QSet<QString> keys;
    for (const TUserListeRec& u : online) {
        // Only named users are listed; the list draws these names and speaks them.
        FUZZ_CHECK(!u.UserName.isEmpty() && !u.Name.isEmpty() && u.Name == CleanFeld(u.Name));
        FUZZ_CHECK(u.StatusNr >= 0 && u.StatusNr <= 9 && u.Onlinezeit.isValid());
        // One slot per user at a PC.
        const QString key = u.UserName + u'|' + u.PC;
        FUZZ_CHECK(!keys.contains(key));
        keys.insert(key);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzing::initApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ManualClock clock;
    clock.setTickCount(0xFFFFFFFFu - 10000); // the tick count wraps during the run
    TUserListe liste(clock);
    TPresenceChannel channel(liste, clock, OwnPC);
    const QList<QByteArray> datagrams = fuzzing::splitInput(data, size, 64);
    quint32 host = 1;
    for (const QByteArray& payload : datagrams) {
        const QHostAddress peer(QStringLiteral("192.168.7.%1").arg(host++));
        liste.ChangeS = false;
        const auto merge = channel.Merge(payload, peer);
        if (merge) {
            FUZZ_CHECK(merge->changedS == liste.ChangeS);
            FUZZ_CHECK(!merge->sound || merge->changedS);
            FUZZ_CHECK(merge->statusText.isEmpty() || merge->changedS);
            FUZZ_CHECK(liste.SoundFlag == 0 || !merge->changedS);
        }
        checkList(liste);
        for (const TUserListeRec& u : liste.GetListe())
            FUZZ_CHECK(!channel.Address(u.PC).isNull());
        clock.advance(4000);
    }
    return 0;
}
