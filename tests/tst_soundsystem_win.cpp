// Windows' event sounds from a sound scheme: a scheme key of our own (volatile, so it goes with the session
// whatever happens to the test) laid out like the user's, with one event per way an entry can look.
#include "speech/soundsystem_win.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const wchar_t* const SchemesKey = L"Software\\TobrikTests\\Schemes";

bool writeEntry(HKEY schemes, const QString& alias, const QString& value, DWORD type)
{
    HKEY key;
    const std::wstring path = alias.toStdWString();
    if (RegCreateKeyExW(schemes, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const std::wstring text = value.toStdWString();
    const LONG result = RegSetValueExW(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                       DWORD((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

} // namespace

class TestSoundSystemWin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void schemeEntries_data();
    void schemeEntries();

private:
    QTemporaryDir m_dir;
    HKEY m_schemes = nullptr;
    QString m_wave;
};

void TestSoundSystemWin::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_wave = m_dir.filePath(QStringLiteral("ding.wav"));
    QFile file(m_wave);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("RIFF");
    file.close();
    SetEnvironmentVariableW(L"TOBRIK_TEST_SOUNDS", QDir::toNativeSeparators(m_dir.path()).toStdWString().c_str());

    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TobrikTests");
    QCOMPARE(RegCreateKeyExW(HKEY_CURRENT_USER, SchemesKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                             &m_schemes, nullptr),
             LONG(ERROR_SUCCESS));
    const QString native = QDir::toNativeSeparators(m_wave);
    QVERIFY(writeEntry(m_schemes, QStringLiteral("Plain\\.Current"), native, REG_SZ));
    QVERIFY(writeEntry(m_schemes, QStringLiteral("Expanded\\.Current"),
                       QStringLiteral("%TOBRIK_TEST_SOUNDS%\\ding.wav"), REG_EXPAND_SZ));
    QVERIFY(writeEntry(m_schemes, QStringLiteral("Switched off\\.Current"), QString(), REG_SZ));
    QVERIFY(writeEntry(m_schemes, QStringLiteral("Gone\\.Current"), native + QStringLiteral(".old"), REG_SZ));
    QVERIFY(writeEntry(m_schemes, QStringLiteral("Only a default\\.Default"), native, REG_SZ));
}

void TestSoundSystemWin::cleanupTestCase()
{
    if (m_schemes)
        RegCloseKey(m_schemes);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TobrikTests");
}

void TestSoundSystemWin::schemeEntries_data()
{
    QTest::addColumn<QString>("alias");
    QTest::addColumn<bool>("found");
    QTest::newRow("a file named by its path") << "Plain" << true;
    QTest::newRow("event names ignore letter case, as the registry does") << "PLAIN" << true;
    QTest::newRow("a path with an environment variable") << "Expanded" << true;
    QTest::newRow("sound switched off for the event") << "Switched off" << false;
    QTest::newRow("the file is gone") << "Gone" << false;
    QTest::newRow("no current sound, only the scheme's default: nothing") << "Only a default" << false;
    QTest::newRow("unknown event") << "SystemNotification" << false;
    QTest::newRow("a name reaching into another event's key") << "Plain\\.Current\\.." << false;
    QTest::newRow("no name") << "" << false;
}

void TestSoundSystemWin::schemeEntries()
{
    QFETCH(QString, alias);
    QFETCH(bool, found);
    const QString file = SchemeWaveFile(m_schemes, alias);
    QCOMPARE(QFileInfo(file).canonicalFilePath(), found ? QFileInfo(m_wave).canonicalFilePath() : QString());
}

QTEST_GUILESS_MAIN(TestSoundSystemWin)
#include "tst_soundsystem_win.moc"
