#include "doubles/settingsstore.h"
#include "shell/settings.h"
#include "shell/settingsstore.h"
#include "testenv.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString LogonName = QStringLiteral("mmuster");

TSettingsLoadContext context(bool silentS = false)
{
    TSettingsLoadContext c;
    c.SilentS = silentS;
    c.WinUserName = LogonName;
    c.minWidth = 1000;
    c.minHeight = 700;
    c.workAreaWidth = 1920;
    c.workAreaHeight = 1040;
    return c;
}

// Every value away from its default, within what a load gives back unchanged.
TSettingsState sampleState()
{
    TSettingsState s;
    TEinstellungen& e = s.Einstellungen;
    e.Name = QStringLiteral("  Jörg | Müller, Hans");
    e.SoundsWiedergebenS = false;
    e.SoundsArr[1] = false;
    e.SoundsArr[10] = false;
    e.FensterWiederherstellenS = false;
    e.FensterNachSendenMinimierenS = true;
    e.MinimiertStartenS = true;
    e.BeendenSichernS = false;
    e.StatusLesenS = true;
    e.NachrichtLesenS = true;
    e.Stimme = QStringLiteral("speechd: Anna (de) – Grüße");
    e.VoiceRate = -10;
    e.VoiceVolume = 37;
    e.AutoAbwesendS = true;
    e.AbwesendMin = 250;
    s.Fenster = {2, 1300, 800};
    s.GlobalFont = {QStringLiteral("DejaVu Sans Überbreit"), 18, 0xFF00000E, 0xA2, true, false, true, false};
    s.GlobalBackColor = 0xFF000005;
    return s;
}

void compareStates(const TSettingsState& actual, const TSettingsState& expected)
{
    QCOMPARE(actual.Einstellungen.Name, expected.Einstellungen.Name);
    QCOMPARE(actual.Einstellungen.Stimme, expected.Einstellungen.Stimme);
    QVERIFY(actual.Einstellungen == expected.Einstellungen);
    QVERIFY(actual.Fenster == expected.Fenster);
    QVERIFY(actual.GlobalFont == expected.GlobalFont);
    QCOMPARE(actual.GlobalBackColor, expected.GlobalBackColor);
    QCOMPARE(actual.RuhezustandS, expected.RuhezustandS);
}

QString soundsText(const TSoundsArr& sounds)
{
    return SoundsCodieren(sounds);
}

// One loaded value as text, so that a single table can cover fields of every type.
QString fieldText(const TSettingsState& s, const QString& field)
{
    const TEinstellungen& e = s.Einstellungen;
    if (field == QLatin1String("Name"))
        return e.Name;
    if (field == QLatin1String("Stimme"))
        return e.Stimme;
    if (field == QLatin1String("Sounds"))
        return soundsText(e.SoundsArr);
    if (field == QLatin1String("VoiceRate"))
        return QString::number(e.VoiceRate);
    if (field == QLatin1String("VoiceVolume"))
        return QString::number(e.VoiceVolume);
    if (field == QLatin1String("AbwesendMin"))
        return QString::number(e.AbwesendMin);
    if (field == QLatin1String("BeendenSichern"))
        return e.BeendenSichernS ? QStringLiteral("true") : QStringLiteral("false");
    if (field == QLatin1String("StatusLesen"))
        return e.StatusLesenS ? QStringLiteral("true") : QStringLiteral("false");
    if (field == QLatin1String("FontSize"))
        return QString::number(s.GlobalFont.sizePt);
    if (field == QLatin1String("FontColor"))
        return QString::number(s.GlobalFont.color);
    return QStringLiteral("unknown field");
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void emptyStoreLoadsDefaults();
    void vorbelegenKeepsOrReplacesName();
    void sounds_data();
    void sounds();
    void windowGeometry_data();
    void windowGeometry();
    void sizeLimits_data();
    void sizeLimits();
    void fontStyle_data();
    void fontStyle();
    void fontValues();
    void backColor_data();
    void backColor();
    void voiceClampAndHooks_data();
    void voiceClampAndHooks();
    void silentStart_data();
    void silentStart();
    void saveOrder();
    void saveAfterLoadWritesBackWhatItRead();
    void wrongTypeInTypedStore();
    void fileStoreKeepsTypesInOneProcess();
    void wrongTypeInFile_data();
    void wrongTypeInFile();
    void fileRoundTrip_data();
    void fileRoundTrip();
    void storeThatCannotBeOpened();
    void unparsableFileIsLeftAlone_data();
    void unparsableFileIsLeftAlone();
    void fileThatCannotBeCreated();
    void defaultLocation();
};

void TestSettings::emptyStoreLoadsDefaults()
{
    MemorySettingsStore store;
    TSettingsState s;
    s.Fenster = {1, 1234, 876};
    QVERIFY(RegistryLaden(store, s, context()));
    const TEinstellungen& e = s.Einstellungen;
    QCOMPARE(e.Name, LogonName);
    QVERIFY(e.SoundsWiedergebenS);
    QCOMPARE(soundsText(e.SoundsArr), QStringLiteral("11111111111"));
    QVERIFY(e.FensterWiederherstellenS);
    QVERIFY(!e.FensterNachSendenMinimierenS);
    QVERIFY(!e.MinimiertStartenS);
    QVERIFY(e.BeendenSichernS);
    QVERIFY(!e.StatusLesenS);
    QVERIFY(!e.NachrichtLesenS);
    QVERIFY(e.Stimme.isEmpty());
    QCOMPARE(e.VoiceRate, 1);
    QCOMPARE(e.VoiceVolume, 80);
    QVERIFY(!e.AutoAbwesendS);
    QCOMPARE(e.AbwesendMin, 10);
    QVERIFY(s.Fenster == (TWindowGeometry{1, 1234, 876}));
    QCOMPARE(s.GlobalFont.name, QStringLiteral("Arial"));
    QCOMPARE(s.GlobalFont.sizePt, 12);
    QCOMPARE(s.GlobalFont.color, 0xFF000008u);
    QCOMPARE(s.GlobalFont.charSet, uint8_t(0));
    QCOMPARE(FontStyleCodieren(s.GlobalFont), 0u);
    QCOMPARE(s.GlobalBackColor, 0xFFFFFFu);
    QVERIFY(!s.RuhezustandS);
}

void TestSettings::vorbelegenKeepsOrReplacesName()
{
    TEinstellungen e = sampleState().Einstellungen;
    e.AutostartS = true;
    EinstellungenVorbelegen(e, true, LogonName);
    TEinstellungen expected;
    expected.Name = QStringLiteral("  Jörg | Müller, Hans");
    QVERIFY(e == expected);

    EinstellungenVorbelegen(e, false, LogonName);
    expected.Name = LogonName;
    QVERIFY(e == expected);
}

void TestSettings::sounds_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("A single 1 turns all sounds on") << "1"
                                                    << "11111111111";
    QTest::newRow("Eleven zeros turn all sounds off") << "00000000000"
                                                      << "00000000000";
    QTest::newRow("Four zeros and another character turn sounds 0 to 4 off") << "0000x"
                                                                             << "00000111111";
    QTest::newRow("A twelfth character is ignored") << "000000000001"
                                                    << "00000000000";
    QTest::newRow("Only the digit 1 means on") << "12 1Q1"
                                               << "10010111111";
    QTest::newRow("An empty text turns all sounds on") << ""
                                                       << "11111111111";
}

void TestSettings::sounds()
{
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    MemorySettingsStore store;
    store.writeString("Sounds", stored.toStdString());
    TSettingsState s;
    QVERIFY(RegistryLaden(store, s, context()));
    QCOMPARE(soundsText(s.Einstellungen.SoundsArr), expected);

    QVERIFY(RegistrySpeichern(store, s));
    QCOMPARE(QString::fromStdString(store.readString("Sounds").value_or("missing")), expected);
}

void TestSettings::windowGeometry_data()
{
    QTest::addColumn<QVariant>("state");
    QTest::addColumn<QVariant>("height");
    QTest::addColumn<QVariant>("width");
    QTest::addColumn<int>("expectedState");
    QTest::addColumn<int>("expectedHeight");
    QTest::addColumn<int>("expectedWidth");
    const QVariant missing;
    QTest::newRow("Missing values leave the window as it is") << missing << missing << missing << 1 << 900 << 1200;
    QTest::newRow("A window saved normal opens normal") << QVariant(0) << missing << missing << 0 << 900 << 1200;
    QTest::newRow("A window saved minimised opens maximised") << QVariant(1) << missing << missing << 2 << 900 << 1200;
    QTest::newRow("A window saved maximised opens maximised") << QVariant(2) << missing << missing << 2 << 900 << 1200;
    QTest::newRow("An unknown state opens maximised") << QVariant(-3) << missing << missing << 2 << 900 << 1200;
    QTest::newRow("Height 100 is ignored") << missing << QVariant(100) << missing << 1 << 900 << 1200;
    QTest::newRow("Height 101 is raised to the minimum") << missing << QVariant(101) << missing << 1 << 700 << 1200;
    QTest::newRow("Height 5000 is cut to the work area") << missing << QVariant(5000) << missing << 1 << 1040 << 1200;
    QTest::newRow("Width 101 is raised to the minimum") << missing << missing << QVariant(101) << 1 << 900 << 1000;
    QTest::newRow("Width 5000 is cut to the work area") << missing << missing << QVariant(5000) << 1 << 900 << 1920;
    QTest::newRow("A size within the limits is taken")
        << QVariant(0) << QVariant(800) << QVariant(1300) << 0 << 800 << 1300;
}

void TestSettings::windowGeometry()
{
    QFETCH(QVariant, state);
    QFETCH(QVariant, height);
    QFETCH(QVariant, width);
    QFETCH(int, expectedState);
    QFETCH(int, expectedHeight);
    QFETCH(int, expectedWidth);
    MemorySettingsStore store;
    if (state.isValid())
        store.writeInt("WindowState", state.toInt());
    if (height.isValid())
        store.writeInt("Height", height.toInt());
    if (width.isValid())
        store.writeInt("Width", width.toInt());
    TSettingsState s;
    s.Fenster = {1, 1200, 900};
    QVERIFY(RegistryLaden(store, s, context()));
    QCOMPARE(s.Fenster.state, expectedState);
    QCOMPARE(s.Fenster.height, expectedHeight);
    QCOMPARE(s.Fenster.width, expectedWidth);
}

void TestSettings::sizeLimits_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("workArea");
    QTest::addColumn<int>("expected"); // -1: ignored
    QTest::newRow("100 and less are ignored") << 100 << 700 << 1040 << -1;
    QTest::newRow("A negative size is ignored") << -5000 << 700 << 1040 << -1;
    QTest::newRow("101 is raised to the minimum") << 101 << 700 << 1040 << 700;
    QTest::newRow("A size above the work area is cut to it") << 5000 << 700 << 1040 << 1040;
    QTest::newRow("A minimum above the work area still ends at the work area") << 300 << 1000 << 900 << 900;
    QTest::newRow("An unknown work area sets no upper limit") << 5000 << 700 << 0 << 5000;
}

void TestSettings::sizeLimits()
{
    QFETCH(int, stored);
    QFETCH(int, minimum);
    QFETCH(int, workArea);
    QFETCH(int, expected);
    QCOMPARE(FensterMassBegrenzen(stored, minimum, workArea).value_or(-1), expected);
}

void TestSettings::fontStyle_data()
{
    QTest::addColumn<uint>("stored");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("underline");
    QTest::addColumn<bool>("strikeOut");
    QTest::addColumn<uint>("saved");
    QTest::newRow("3 is bold italic") << 3u << true << true << false << false << 3u;
    QTest::newRow("Bold alone is 2") << 2u << true << false << false << false << 2u;
    QTest::newRow("Italic alone is 1") << 1u << false << true << false << false << 1u;
    QTest::newRow("4 is underline") << 4u << false << false << true << false << 4u;
    QTest::newRow("8 is strike-out") << 8u << false << false << false << true << 8u;
    QTest::newRow("15 is every style") << 15u << true << true << true << true << 15u;
    QTest::newRow("Bits above 8 are dropped") << 0xFFFFFFF0u << false << false << false << false << 0u;
}

void TestSettings::fontStyle()
{
    QFETCH(uint, stored);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, underline);
    QFETCH(bool, strikeOut);
    QFETCH(uint, saved);
    MemorySettingsStore store;
    store.writeDword("FontStyle", stored);
    TSettingsState s;
    s.GlobalFont.bold = s.GlobalFont.italic = s.GlobalFont.underline = s.GlobalFont.strikeOut = true;
    QVERIFY(RegistryLaden(store, s, context()));
    QCOMPARE(s.GlobalFont.bold, bold);
    QCOMPARE(s.GlobalFont.italic, italic);
    QCOMPARE(s.GlobalFont.underline, underline);
    QCOMPARE(s.GlobalFont.strikeOut, strikeOut);
    QVERIFY(RegistrySpeichern(store, s));
    QCOMPARE(store.readDword("FontStyle").value_or(999), saved);
}

void TestSettings::fontValues()
{
    MemorySettingsStore store;
    store.writeString("FontName", "");
    store.writeInt("FontSize", 500);
    store.writeDword("FontCharSet", 0x1A2);
    store.writeDword("FontColor", 0x00336699);
    TSettingsState s;
    s.GlobalFont.name = QStringLiteral("Courier");
    QVERIFY(RegistryLaden(store, s, context()));
    QCOMPARE(s.GlobalFont.name, QStringLiteral("Arial"));
    QCOMPARE(s.GlobalFont.sizePt, 500);
    QCOMPARE(s.GlobalFont.charSet, uint8_t(0xA2));
    QCOMPARE(s.GlobalFont.color, 0x00336699u);
}

void TestSettings::backColor_data()
{
    QTest::addColumn<QVariant>("back");
    QTest::addColumn<QVariant>("hint");
    QTest::addColumn<uint>("expected");
    const QVariant missing;
    QTest::newRow("Neither value gives white") << missing << missing << 0xFFFFFFu;
    QTest::newRow("BackColor wins over HintColor") << QVariant(0x00123456u) << QVariant(5) << 0x00123456u;
    QTest::newRow("A system colour in BackColor is kept") << QVariant(0xFF000005u) << missing << 0xFF000005u;
    QTest::newRow("HintColor 0 is black") << missing << QVariant(0) << 0x000000u;
    QTest::newRow("HintColor 5 is sky blue") << missing << QVariant(5) << 0xF0CAA6u;
    QTest::newRow("HintColor 12 is grey") << missing << QVariant(12) << 0x808080u;
    QTest::newRow("HintColor 18 is maroon") << missing << QVariant(18) << 0x000080u;
    QTest::newRow("HintColor 19 is white") << missing << QVariant(19) << 0xFFFFFFu;
    QTest::newRow("A negative HintColor is white") << missing << QVariant(-1) << 0xFFFFFFu;
}

void TestSettings::backColor()
{
    QFETCH(QVariant, back);
    QFETCH(QVariant, hint);
    QFETCH(uint, expected);
    MemorySettingsStore store;
    if (back.isValid())
        store.writeDword("BackColor", back.toUInt());
    if (hint.isValid())
        store.writeInt("HintColor", hint.toInt());
    TSettingsState s;
    s.GlobalBackColor = 0x00ABCDEF;
    QVERIFY(RegistryLaden(store, s, context()));
    QCOMPARE(s.GlobalBackColor, expected);
}

void TestSettings::voiceClampAndHooks_data()
{
    QTest::addColumn<QVariant>("rate");
    QTest::addColumn<QVariant>("volume");
    QTest::addColumn<int>("expectedRate");
    QTest::addColumn<int>("expectedVolume");
    const QVariant missing;
    QTest::newRow("Missing values give rate 1 and volume 80") << missing << missing << 1 << 80;
    QTest::newRow("Rate 25 and volume -5 are clamped to 10 and 0") << QVariant(25) << QVariant(-5) << 10 << 0;
    QTest::newRow("Rate -25 and volume 150 are clamped to -10 and 100") << QVariant(-25) << QVariant(150) << -10 << 100;
    QTest::newRow("Values in range are taken") << QVariant(-3) << QVariant(55) << -3 << 55;
}

void TestSettings::voiceClampAndHooks()
{
    QFETCH(QVariant, rate);
    QFETCH(QVariant, volume);
    QFETCH(int, expectedRate);
    QFETCH(int, expectedVolume);
    MemorySettingsStore store;
    store.writeString("Stimme", "flite: kal");
    if (rate.isValid())
        store.writeInt("VoiceRate", rate.toInt());
    if (volume.isValid())
        store.writeInt("VoiceVolume", volume.toInt());
    TSettingsState s;
    QStringList calls;
    TSettingsLoadContext c = context();
    c.onVoiceRate = [&](int32_t v) { calls << QStringLiteral("rate %1 %2").arg(v).arg(s.Einstellungen.Stimme); };
    c.onVoiceVolume = [&](int32_t v) { calls << QStringLiteral("volume %1 %2").arg(v).arg(s.Einstellungen.Stimme); };
    QVERIFY(RegistryLaden(store, s, c));
    QCOMPARE(s.Einstellungen.VoiceRate, expectedRate);
    QCOMPARE(s.Einstellungen.VoiceVolume, expectedVolume);
    QCOMPARE(calls, QStringList({QStringLiteral("rate %1 flite: kal").arg(expectedRate),
                                 QStringLiteral("volume %1 flite: kal").arg(expectedVolume)}));
}

void TestSettings::silentStart_data()
{
    QTest::addColumn<bool>("silentS");
    QTest::addColumn<uint>("stored");
    QTest::addColumn<bool>("expected");
    QTest::newRow("A silent start turns both off whatever was stored") << true << 1u << false;
    QTest::newRow("A normal start reads both as stored (on)") << false << 1u << true;
    QTest::newRow("A normal start reads both as stored (off)") << false << 0u << false;
    QTest::newRow("Any non-zero number is on") << false << 0x100u << true;
}

void TestSettings::silentStart()
{
    QFETCH(bool, silentS);
    QFETCH(uint, stored);
    QFETCH(bool, expected);
    MemorySettingsStore store;
    store.writeDword("SoundsWiedergeben", stored);
    store.writeDword("FensterWiederherstellen", stored);
    TSettingsState s;
    QVERIFY(RegistryLaden(store, s, context(silentS)));
    QCOMPARE(s.Einstellungen.SoundsWiedergebenS, expected);
    QCOMPARE(s.Einstellungen.FensterWiederherstellenS, expected);

    QVERIFY(RegistrySpeichern(store, s));
    QCOMPARE(store.readDword("SoundsWiedergeben").value_or(999), expected ? 1u : 0u);
    QCOMPARE(store.readDword("FensterWiederherstellen").value_or(999), expected ? 1u : 0u);
}

void TestSettings::saveOrder()
{
    MemorySettingsStore store;
    TSettingsState s = sampleState();
    s.Einstellungen.AutostartS = true;
    s.RuhezustandS = true;
    QVERIFY(RegistrySpeichern(store, s));
    const QStringList expected =
        QStringLiteral("WindowState Height Width Name SoundsWiedergeben Sounds FensterWiederherstellen "
                       "FensterNachSendenMinimieren MinimiertStarten BeendenSichern StatusLesen NachrichtLesen Stimme "
                       "VoiceRate VoiceVolume AutoAbwesend "
                       "AbwesendMin BackColor FontName FontSize FontColor FontCharSet FontStyle")
            .split(QLatin1Char(' '));
    QStringList written;
    for (const std::string& name : store.writes())
        written << QString::fromStdString(name);
    QCOMPARE(written, expected);
}

void TestSettings::saveAfterLoadWritesBackWhatItRead()
{
    const std::vector<std::pair<std::string, uint32_t>> dwords = {
        {"WindowState", 2},
        {"Height", 800},
        {"Width", 1300},
        {"SoundsWiedergeben", 0},
        {"FensterWiederherstellen", 0},
        {"FensterNachSendenMinimieren", 1},
        {"MinimiertStarten", 1},
        {"BeendenSichern", 0},
        {"StatusLesen", 1},
        {"NachrichtLesen", 1},
        {"VoiceRate", uint32_t(-7)},
        {"VoiceVolume", 33},
        {"AutoAbwesend", 1},
        {"AbwesendMin", 5000},
        {"BackColor", 0xFF000005},
        {"FontSize", 9},
        {"FontColor", 0xFF000012},
        {"FontCharSet", 204},
        {"FontStyle", 13},
        {"Ruhezustand", 1},
        {"HintColor", 5},
    };
    const std::vector<std::pair<std::string, std::string>> strings = {
        {"Name", " Jürgen|Ähm "}, {"Sounds", "01010101010"}, {"Stimme", "Stimme=x;y"}, {"FontName", "Noto Sans"}};
    MemorySettingsStore store;
    for (const auto& [name, value] : dwords)
        store.writeDword(name, value);
    for (const auto& [name, value] : strings)
        store.writeString(name, value);
    store.clearWrites();

    TSettingsState s;
    QVERIFY(RegistryLaden(store, s, context()));
    QVERIFY(s.RuhezustandS);
    QVERIFY(RegistrySpeichern(store, s));

    QCOMPARE(store.writes().size(), dwords.size() - 2 + strings.size());
    for (const auto& [name, value] : dwords)
        QVERIFY2(store.readDword(name) == value, name.c_str());
    for (const auto& [name, value] : strings)
        QVERIFY2(store.readString(name) == value, name.c_str());
}

void TestSettings::wrongTypeInTypedStore()
{
    MemorySettingsStore store;
    store.writeDword("Name", 42);
    store.writeString("VoiceRate", "5");
    store.writeString("BeendenSichern", "0");
    TSettingsState s;
    QVERIFY(RegistryLaden(store, s, context()));
    QCOMPARE(s.Einstellungen.Name, LogonName);
    QCOMPARE(s.Einstellungen.VoiceRate, 1);
    QVERIFY(s.Einstellungen.BeendenSichernS);
}

// Values written by this process come back from Qt's cache typed; they must read as they would from disk.
void TestSettings::fileStoreKeepsTypesInOneProcess()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QSettingsStore store(dir.filePath(QStringLiteral("Tobrik.conf")));
    store.writeInt("Rate", -7);
    store.writeDword("Color", 0xFF000008);
    store.writeString("Digits", "12");
    store.writeString("Word", "zwölf");
    QCOMPARE(store.readDword("Rate").value_or(0), uint32_t(-7));
    QCOMPARE(store.readString("Rate").value_or("missing"), std::string("-7"));
    QCOMPARE(store.readDword("Color").value_or(0), 0xFF000008u);
    QCOMPARE(store.readString("Color").value_or("missing"), std::string("4278190088"));
    QCOMPARE(store.readDword("Digits").value_or(0), 12u);
    QVERIFY(!store.readDword("Word"));
    QVERIFY(!store.readString("Absent"));
}

void TestSettings::wrongTypeInFile_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Letters in a DWORD count as missing") << QByteArray("VoiceRate=abc") << "VoiceRate"
                                                         << "1";
    QTest::newRow("A fraction counts as missing") << QByteArray("VoiceVolume=12.5") << "VoiceVolume"
                                                  << "80";
    QTest::newRow("A plus sign counts as missing") << QByteArray("AbwesendMin=+5") << "AbwesendMin"
                                                   << "10";
    QTest::newRow("Hexadecimal counts as missing") << QByteArray("FontSize=0x10") << "FontSize"
                                                   << "12";
    QTest::newRow("A word for a Boolean counts as missing") << QByteArray("BeendenSichern=nein") << "BeendenSichern"
                                                            << "true";
    QTest::newRow("A number beyond 32 bits counts as missing") << QByteArray("FontColor=4294967296") << "FontColor"
                                                               << "4278190088";
    QTest::newRow("The largest 32-bit number is read") << QByteArray("FontColor=4294967295") << "FontColor"
                                                       << "4294967295";
    QTest::newRow("A negative number is read") << QByteArray("VoiceRate=-7") << "VoiceRate"
                                               << "-7";
    QTest::newRow("Any non-zero number is true") << QByteArray("StatusLesen=7") << "StatusLesen"
                                                 << "true";
    QTest::newRow("A list counts as missing for a string") << QByteArray("Name=a,b") << "Name" << LogonName;
    QTest::newRow("A byte array counts as missing for a string") << QByteArray("Stimme=@ByteArray(x)") << "Stimme"
                                                                 << "";
    QTest::newRow("A list counts as missing for Sounds") << QByteArray("Sounds=0,0") << "Sounds"
                                                         << "11111111111";
    QTest::newRow("A number read as a string keeps its digits") << QByteArray("Name=0042") << "Name"
                                                                << "0042";
}

void TestSettings::wrongTypeInFile()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Tobrik.conf"));
    QVERIFY(writeFile(path, "[General]\n" + line + "\n"));
    QSettingsStore store(path);
    TSettingsState s;
    QVERIFY(RegistryLaden(store, s, context()));
    QCOMPARE(fieldText(s, field), expected);
}

void TestSettings::fileRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("Umlauts, a bar and a comma") << QStringLiteral("  Jörg | Müller, Hans");
    QTest::newRow("Blanks at both ends") << QStringLiteral("  x  ");
    QTest::newRow("An empty text") << QString();
    QTest::newRow("Digits only") << QStringLiteral("0042");
    QTest::newRow("A leading at sign") << QStringLiteral("@Variant(1)");
    QTest::newRow("Quotes, backslashes, semicolons and equal signs") << QStringLiteral("a\"b\\c;d=e#f");
    QTest::newRow("A line break and a tab") << QStringLiteral("eins\nzwei\tdrei");
    QTest::newRow("Letters outside Latin-1") << QStringLiteral("Ελένη 李 ß€");
}

void TestSettings::fileRoundTrip()
{
    QFETCH(QString, text);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Tobrik.conf"));
    TSettingsState saved = sampleState();
    saved.Einstellungen.Name = text;
    saved.Einstellungen.Stimme = text;
    {
        QSettingsStore store(path);
        QVERIFY(RegistrySpeichern(store, saved));
    }
    // A copy at a new path is parsed from its text, as at the next program start.
    const QString copy = dir.filePath(QStringLiteral("Copy.conf"));
    QVERIFY(QFile::copy(path, copy));
    for (const QString& p : {path, copy}) {
        QSettingsStore store(p);
        TSettingsState loaded;
        QVERIFY(RegistryLaden(store, loaded, context()));
        compareStates(loaded, saved);
    }
}

void TestSettings::storeThatCannotBeOpened()
{
    const TSettingsState before = sampleState();
    int hookCalls = 0;
    TSettingsLoadContext c = context();
    c.onVoiceRate = [&](int32_t) { ++hookCalls; };

    MemorySettingsStore memory;
    memory.writeString("Name", "stored");
    memory.clearWrites();
    memory.setAvailable(false);
    TSettingsState s = before;
    QVERIFY(!RegistryLaden(memory, s, c));
    compareStates(s, before);
    QVERIFY(!RegistrySpeichern(memory, s));
    QVERIFY(memory.writes().empty());
    QCOMPARE(hookCalls, 0);
}

void TestSettings::unparsableFileIsLeftAlone_data()
{
    QTest::addColumn<QByteArray>("broken");
    QTest::newRow("A section header without its bracket")
        << QByteArray("[General]\nName=stored\n[Kaputt\nVoiceRate=3\n");
    // Qt finds this one only once a value of the section is asked for.
    QTest::newRow("A line without an equal sign") << QByteArray("[General]\nName=stored\nVoiceRate=3\nKaputt\n");
}

// A file that does not parse is neither loaded in part nor rewritten without its broken part.
void TestSettings::unparsableFileIsLeftAlone()
{
    QFETCH(QByteArray, broken);
    const TSettingsState before = sampleState();
    int hookCalls = 0;
    TSettingsLoadContext c = context();
    c.onVoiceRate = [&](int32_t) { ++hookCalls; };
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Tobrik.conf"));
    QVERIFY(writeFile(path, broken));
    {
        QSettingsStore store(path);
        TSettingsState s = before;
        QVERIFY(!RegistryLaden(store, s, c));
        compareStates(s, before);
        QVERIFY(!RegistrySpeichern(store, s));
    }
    QCOMPARE(readFile(path), broken);
    QCOMPARE(hookCalls, 0);
}

void TestSettings::fileThatCannotBeCreated()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A regular file where the folder should be: the store can be neither created nor written.
    const QString blocker = dir.filePath(QStringLiteral("config"));
    QVERIFY(writeFile(blocker, "not a folder"));
    const QString path = blocker + QStringLiteral("/Tobrik.conf");
    QSettingsStore store(path);
    QVERIFY(!RegistrySpeichern(store, sampleState()));
    QCOMPARE(readFile(blocker), QByteArray("not a folder"));
}

void TestSettings::defaultLocation()
{
    requirePrivateHome();
#ifdef Q_OS_WIN
    // HKCU\Software\Tobrik of the tests' own Wine prefix.
    const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\Tobrik");
    QSettings(key, QSettings::NativeFormat).clear();
    {
        QSettingsStore store;
        QVERIFY(RegistrySpeichern(store, sampleState()));
    }
    QSettings registry(key, QSettings::NativeFormat);
    QCOMPARE(registry.value("Name").toString(), QStringLiteral("  Jörg | Müller, Hans"));
    registry.clear();
    return;
#endif
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString path = config + QStringLiteral("/Tobrik.conf");
    QFile::remove(path);
    {
        QSettingsStore store;
        QVERIFY(RegistrySpeichern(store, sampleState()));
    }
    QVERIFY(readFile(path).contains("Name="));
    QSettingsStore fromFile(path);
    QCOMPARE(fromFile.readString("Name").value_or("missing"), std::string("  Jörg | Müller, Hans"));
    QVERIFY(QFile::remove(path));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
