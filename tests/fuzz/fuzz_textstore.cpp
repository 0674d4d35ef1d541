// Text datagrams (separated by the byte 0xFF) received into an empty log folder, as the text channel
// does it; then the folder is loaded by a second store, as at the next start. What was received must
// come back: the same partners, names and conversations.
#include "fuzzing.h"

#include "doubles/clock.h"

#include "data/logformat.h"
#include "data/logliste.h"
#include "net/endpoints.h"
#include "net/protocol.h"
#include "net/textreceiver.h"

#include <QCoreApplication>
#include <QHash>
#include <QHostAddress>

namespace {

// Every line break as CR LF, then trimmed: the form a conversation has after loading.
QString asLoaded(const QString& text)
{
    QString out;
    for (const QString& line : SplitLines(text))
        out += line + QStringLiteral("\r\n");
    return TrimBlanks(out);
}

// A message may itself hold a line that looks like an old block header; loading then prunes from
// there, as it must for any such line.
bool holdsOldHeader(const QString& text, const QDate& today)
{
    const QDate grenze = today.addDays(-LogAufbewahrungTage);
    for (const QString& line : SplitLines(text)) {
        const QDate datum = BlockHeaderDate(line);
        if (datum.isValid() && datum <= grenze)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzing::initApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Never opened: nothing is bound, nothing is sent.
    static UdpPorts ports;
    static UdpEndpoints* endpoints = [] {
        ports.BindAdresse = QHostAddress(QHostAddress::LocalHost);
        return new UdpEndpoints(ports);
    }();
    const QString folder = fuzzing::freshFolder(QStringLiteral("logs"));
    ManualClock clock;
    TLogListe logs(folder, clock);
    TTextReceiver receiver(*endpoints, logs, QStringLiteral("B07-PC"), clock);
    int received = 0;
    QObject::connect(&receiver, &TTextReceiver::messageReceived, [&] { ++received; });

    int valid = 0;
    for (const QByteArray& payload : fuzzing::splitInput(data, size, 4)) {
        const auto text = Protocol::decodeDatagram(payload);
        valid += text && Protocol::parseText(*text) ? 1 : 0;
        receiver.UdpS1TextUDPRead(payload, QHostAddress(QHostAddress::LocalHost));
        clock.advance(1000);
    }
    // Stored on the store's writer thread; the answers come back through the event loop.
    logs.Sync();
    QCoreApplication::processEvents();
    FUZZ_CHECK(received == valid);
    FUZZ_CHECK(logs.Count(TLogListe::Eingang) + logs.Count(TLogListe::Verlauf) <= valid);

    // Partners whose keys name the same file share it by design ("a_b" at "c", "a" at "b_c").
    QHash<QString, int> perFile;
    for (const TUserListeRec& u : logs.Liste(TLogListe::Eingang))
        ++perFile[LogFileName(PartnerKey(u))];

    TLogListe loaded(folder, clock);
    loaded.LoadLogs();
    for (const TUserListeRec& u : logs.Liste(TLogListe::Eingang)) {
        if (perFile.value(LogFileName(PartnerKey(u))) > 1)
            continue;
        const int i = loaded.FindIndex(TLogListe::Eingang, u);
        if (holdsOldHeader(u.Text, clock.now().date())) {
            FUZZ_CHECK(i >= 0 || loaded.FindIndex(TLogListe::Verlauf, u) < 0);
            continue;
        }
        FUZZ_CHECK(i >= 0);
        const TUserListeRec back = loaded.Get(TLogListe::Eingang, i);
        FUZZ_CHECK(back.UserName == u.UserName && back.Name == u.Name && back.PC == u.PC);
        FUZZ_CHECK(back.Text == asLoaded(u.Text));
    }
    return 0;
}
