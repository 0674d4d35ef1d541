// A run of presence datagrams (separated by the byte 0xFF) merged into one online list, four
// seconds apart, so users also drop out. After every merge the list must stay consistent, and the
// address kept for a PC must be one that claimed it: the only one when a single address ever did,
// none when the PC is not listed. A datagram's last byte picks its sender among four addresses, so
// repeated datagrams come from one sender and changed ones may come from another.
#include "fuzzing.h"

#include "doubles/clock.h"

#include "common/fields.h"
#include "data/userliste.h"
#include "net/presencechannel.h"
#include "net/protocol.h"

#include <QHash>
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
    QHash<QString, QSet<quint32>> claims; // the senders that named each PC in a presence datagram
    for (const QByteArray& payload : datagrams) {
        const int host = payload.isEmpty() ? 1 : 1 + uint8_t(payload.back()) % 4;
        const QHostAddress peer(QStringLiteral("192.168.7.%1").arg(host));
        const std::optional<QString> text = Protocol::decodeDatagram(payload);
        if (const auto presence = text ? Protocol::parsePresence(*text, clock.now().time()) : std::nullopt)
            claims[presence->User.PC].insert(peer.toIPv4Address());
        liste.ChangeS = false;
        const auto merge = channel.Merge(payload, peer);
        if (merge) {
            FUZZ_CHECK(merge->changedS == liste.ChangeS);
            FUZZ_CHECK(!merge->sound || merge->changedS);
            FUZZ_CHECK(merge->statusText.isEmpty() || merge->changedS);
            FUZZ_CHECK(liste.SoundFlag == 0 || !merge->changedS);
        }
        checkList(liste);
        for (const TUserListeRec& u : liste.GetListe()) {
            FUZZ_CHECK(claims.contains(u.PC));
            const QSet<quint32>& senders = claims[u.PC];
            const QHostAddress address = channel.Address(u.PC);
            // Contested (null) or the first claimant; never an address that did not claim the PC.
            FUZZ_CHECK(address.isNull() || senders.contains(address.toIPv4Address()));
            FUZZ_CHECK(senders.size() != 1 || address.toIPv4Address() == *senders.begin());
        }
        for (auto it = claims.cbegin(); it != claims.cend(); ++it) {
            if (liste.FindIndex(it.key()) < 0)
                FUZZ_CHECK(channel.Address(it.key()).isNull());
        }
        clock.advance(4000);
    }
    return 0;
}
