// The options dialog: the record in and out, its enabling rules, "Standa&rd", the keyboard walk with its
// focus cues, the voice sample, and the layout computed from the font.
#include "desktopscreen.h"
#include "doubles/speechdoubles.h"
#include "shell/gui/layout.h"
#include "shell/gui/optionsdialog.h"
#include "shell/gui/optionslayout.h"
#include "speech/speech.h"
#include "testenv.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

Q_DECLARE_METATYPE(TEinstellungen)

namespace {

const QString LoginName = QStringLiteral("amaier");

TEinstellungen defaults()
{
    TEinstellungen e;
    EinstellungenVorbelegen(e, false, LoginName);
    return e;
}

// The dialog over an owner window, with a recording screen reader and one engine of two voices.
struct Dialog
{
    RecordingScreenReader tolk;
    RecordingVoiceEngine* engine = nullptr;
    QWidget owner;
    std::unique_ptr<TOptionenDlg> dlg;

    explicit Dialog(int points = 12)
    {
        owner.resize(1200, 900);
        auto voices =
            std::make_unique<RecordingVoiceEngine>(std::vector<std::string>{"Bernd - Deutsch", "Anna - Deutsch"});
        engine = voices.get();
        TFontSetting font;
        font.sizePt = points;
        dlg = std::make_unique<TOptionenDlg>(&owner, tolk, std::make_unique<TSpeech>(tolk, std::move(voices), nullptr),
                                             font, ColorWhite, LoginName);
    }

    template <typename T = QWidget>
    T* get(const char* name)
    {
        T* w = dlg->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }

    bool showActive()
    {
        dlg->show();
        dlg->activateWindow();
        return QTest::qWaitForWindowActive(dlg.get());
    }

    QString focused() const { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "-"; }

    void key(int k) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(k)); }

    QStringList cues() const
    {
        QStringList out;
        for (const std::string& call : tolk.calls)
            if (call.rfind("output:", 0) == 0)
                out << QString::fromStdString(call.substr(7));
        return out;
    }
};

// What the layout formulas give for a font, measured independently of the code under test.
struct Expected
{
    int h, cbH, btnH, b, w, udW, edW, autoW;

    Expected(const QFont& font, int upDown)
    {
        const QFontMetrics fm(font);
        auto caption = [&fm](const QString& text) { return fm.horizontalAdvance(QString(text).remove(u'&') + "MM "); };
        h = fm.height();
        cbH = h + 8;
        btnH = h + 12;
        b = 0;
        for (const QString& name : OptionenButtonNames())
            b = qMax(b, caption(OptionenCaption(name)));
        udW = upDown;
        edW = 2 * cbH;
        autoW = caption(OptionenCaption("Cb1AutoAbwesend"));
        w = autoW + edW + udW + 5;
        for (const QString& name : OptionenCheckBoxNames().mid(0, 6))
            w = qMax(w, caption(OptionenCaption(name)));
    }
};

int bottom(const QRect& r)
{
    return r.y() + r.height();
}

int right(const QRect& r)
{
    return r.x() + r.width();
}

} // namespace

class TestOptionsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void nameEnablesOK_data();
    void nameEnablesOK();
    void switchesGreyOutTheirControls();
    void minutesTakeTwoDigits();
    void standard_data();
    void standard();
    void keyboardWalk();
    void voiceSample();
    void layoutFormulas_data();
    void layoutFormulas();
    void placement_data();
    void placement();
    void largePrint_data();
    void largePrint();
};

void TestOptionsDialog::initTestCase()
{
    requirePrivateHome();
}

void TestOptionsDialog::roundTrip_data()
{
    QTest::addColumn<TEinstellungen>("in");
    QTest::addColumn<TEinstellungen>("out");

    QTest::newRow("defaults come back unchanged") << defaults() << defaults();

    TEinstellungen all = defaults();
    all.Name = QStringLiteral("Anna Müller");
    all.AutostartS = true;
    all.SoundsWiedergebenS = true;
    all.SoundsArr[1] = all.SoundsArr[7] = all.SoundsArr[10] = false;
    all.FensterWiederherstellenS = false;
    all.FensterNachSendenMinimierenS = true;
    all.MinimiertStartenS = true;
    all.BeendenSichernS = false;
    all.StatusLesenS = true;
    all.NachrichtLesenS = true;
    all.Stimme = QStringLiteral("Bernd - Deutsch");
    all.VoiceRate = -3;
    all.VoiceVolume = 55;
    all.AutoAbwesendS = true;
    all.AbwesendMin = 42;
    QTest::newRow("every switch away from its default, a voice, rate and volume carried") << all << all;

    TEinstellungen padded = all;
    padded.Name = QStringLiteral("  Anna Müller\t ");
    QTest::newRow("a blank-padded name comes back trimmed") << padded << all;

    // A "|" would split the name into two fields of every datagram and log header.
    TEinstellungen bar = all;
    bar.Name = QStringLiteral("Anna|Müller\r\n");
    TEinstellungen slash = all;
    slash.Name = QStringLiteral("Anna/Müller");
    QTest::newRow("a bar in the name becomes a slash, control characters go") << bar << slash;

    TEinstellungen lower = all;
    lower.Stimme = QStringLiteral("bernd - DEUTSCH");
    QTest::newRow("a voice in other letter case selects the listed one") << lower << all;

    TEinstellungen reader = all;
    reader.Stimme = TSpeech::ScreenReaderEntry;
    QTest::newRow("the screen-reader entry is a voice too") << reader << reader;

    TEinstellungen unknown = all;
    unknown.Stimme = QStringLiteral("Hedda - Deutsch");
    TEinstellungen noVoice = all;
    noVoice.Stimme.clear();
    QTest::newRow("a voice no longer installed comes back empty") << unknown << noVoice;

    TEinstellungen soundsOff = all;
    soundsOff.SoundsWiedergebenS = false;
    QTest::newRow("sounds off keep their marks") << soundsOff << soundsOff;

    TEinstellungen awayOff = all;
    awayOff.AutoAbwesendS = false;
    awayOff.AbwesendMin = 25;
    QTest::newRow("automatic away off keeps its minutes") << awayOff << awayOff;

    TEinstellungen tooFew = all;
    tooFew.AbwesendMin = 0;
    TEinstellungen one = all;
    one.AbwesendMin = 1;
    QTest::newRow("minutes below the range come back as 1") << tooFew << one;
    TEinstellungen tooMany = all;
    tooMany.AbwesendMin = 500;
    TEinstellungen most = all;
    most.AbwesendMin = 99;
    QTest::newRow("minutes above the range come back as 99") << tooMany << most;

    TEinstellungen longName = all;
    longName.Name = QString(40, u'x');
    QTest::newRow("a stored name longer than the field is kept whole") << longName << longName;
}

void TestOptionsDialog::roundTrip()
{
    QFETCH(TEinstellungen, in);
    QFETCH(TEinstellungen, out);
    Dialog d;
    d.dlg->SetEinstellungen(in);
    const TEinstellungen got = d.dlg->GetEinstellungen();
    QCOMPARE(got.Name, out.Name);
    QCOMPARE(got.Stimme, out.Stimme);
    QCOMPARE(got.AbwesendMin, out.AbwesendMin);
    QVERIFY(got == out);
    // Setting a record again (as "Standa&rd" does) must not keep the voice selected before.
    TEinstellungen other = in;
    other.Stimme = QStringLiteral("Hedda - Deutsch");
    d.dlg->SetEinstellungen(other);
    QCOMPARE(d.dlg->GetEinstellungen().Stimme, QString());
}

void TestOptionsDialog::nameEnablesOK_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("nothing") << "" << false;
    QTest::newRow("blanks only") << "   " << false;
    QTest::newRow("a letter between blanks") << " x " << true;
}

void TestOptionsDialog::nameEnablesOK()
{
    QFETCH(QString, typed);
    QFETCH(bool, enabled);
    Dialog d;
    d.dlg->SetEinstellungen(defaults());
    QVERIFY(d.showActive());
    auto* ok = d.get<QPushButton>("Btn1OK");
    QVERIFY(ok->isEnabled());
    auto* name = d.get<QLineEdit>("Le1Name");
    QCOMPARE(name->selectedText(), LoginName);
    QTest::keyClick(name, Qt::Key_Backspace);
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(name, typed);
    QCOMPARE(ok->isEnabled(), enabled);
    // Enter presses OK only while OK can be pressed.
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(d.dlg->result() == QDialog::Accepted, enabled);
    QCOMPARE(d.dlg->isVisible(), !enabled);
}

void TestOptionsDialog::switchesGreyOutTheirControls()
{
    Dialog d;
    TEinstellungen e = defaults();
    e.SoundsArr[3] = false;
    e.AutoAbwesendS = false;
    e.AbwesendMin = 25;
    d.dlg->SetEinstellungen(e);
    QVERIFY(d.showActive());
    auto* sounds = d.get<QCheckBox>("Cb1SoundsWiedergeben");
    auto* away = d.get<QCheckBox>("Cb1AutoAbwesend");
    auto* list = d.get<QTreeWidget>("Lv1Sounds");
    auto* minutes = d.get<QSpinBox>("Ud1AbwesendMin");
    auto* edit = d.get<QLineEdit>("Ed1AbwesendMin");
    QVERIFY(list->isEnabled());
    QVERIFY(!minutes->isEnabled() && !edit->isEnabled());

    // Clicked on the caption: a check box as wide as the column takes clicks only on its indicator and text.
    const auto click = [](QWidget* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(10, box->height() / 2)); };
    click(sounds);
    QVERIFY(!list->isEnabled());
    click(away);
    QVERIFY(minutes->isEnabled() && edit->isEnabled());
    TEinstellungen expected = e;
    expected.SoundsWiedergebenS = false;
    expected.AutoAbwesendS = true;
    QVERIFY(d.dlg->GetEinstellungen() == expected);

    click(sounds);
    click(away);
    QVERIFY(list->isEnabled());
    QVERIFY(!minutes->isEnabled() && !edit->isEnabled());

    // A record set while the dialog is open greys out at once.
    TEinstellungen off = e;
    off.SoundsWiedergebenS = false;
    d.dlg->SetEinstellungen(off);
    QVERIFY(!list->isEnabled());
}

void TestOptionsDialog::minutesTakeTwoDigits()
{
    Dialog d;
    TEinstellungen e = defaults();
    e.AutoAbwesendS = true;
    d.dlg->SetEinstellungen(e);
    QVERIFY(d.showActive());
    auto* minutes = d.get<QSpinBox>("Ud1AbwesendMin");
    auto* edit = d.get<QLineEdit>("Ed1AbwesendMin");
    QCOMPARE(edit->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    minutes->setFocus(Qt::TabFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, "4a27");
    QCOMPARE(edit->text(), QStringLiteral("42"));
    QCOMPARE(d.dlg->GetEinstellungen().AbwesendMin, 42);
    QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(d.dlg->GetEinstellungen().AbwesendMin, 43);
    // "0" is no value of the field: what is stored stays within 1..99.
    edit->selectAll();
    QTest::keyClicks(edit, "0");
    QCOMPARE(d.dlg->GetEinstellungen().AbwesendMin, 43);
}

void TestOptionsDialog::standard_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("name");
    QTest::newRow("editable name returns to the login name") << false << LoginName;
    QTest::newRow("read-only name keeps the name it was opened with") << true << "Anna Alt";
}

void TestOptionsDialog::standard()
{
    QFETCH(bool, readOnly);
    QFETCH(QString, name);
    Dialog d;
    TEinstellungen e = defaults();
    e.Name = QStringLiteral("Anna Neu");
    e.AutostartS = true;
    e.SoundsArr.fill(false);
    e.Stimme = QStringLiteral("Anna - Deutsch");
    e.VoiceRate = 7;
    e.VoiceVolume = 20;
    e.AutoAbwesendS = true;
    e.AbwesendMin = 3;
    d.dlg->SetEinstellungen(e);
    d.dlg->SetNameReadOnly(readOnly);
    d.dlg->SetOldName(QStringLiteral("Anna Alt"));
    QVERIFY(d.showActive());
    auto* sounds = d.get<QTreeWidget>("Lv1Sounds");
    sounds->setCurrentItem(sounds->topLevelItem(5));
    const QFont font = d.get("Le1Name")->font();

    d.get<QPushButton>("Btn1Reset")->setFocus(Qt::TabFocusReason);
    d.key(Qt::Key_Space);
    TEinstellungen expected = defaults();
    expected.Name = name;
    QVERIFY(d.dlg->GetEinstellungen() == expected);
    QCOMPARE(sounds->currentItem(), sounds->topLevelItem(0));
    QVERIFY(sounds->topLevelItem(0)->isSelected());
    QCOMPARE(d.focused(), QStringLiteral("Le1Name"));
    QCOMPARE(d.get<QLineEdit>("Le1Name")->selectedText(), name);
    QCOMPARE(d.get("Le1Name")->font(), font);

    // Cancelling after it gives nothing back: the caller applies the record only on OK.
    d.key(Qt::Key_Escape);
    QVERIFY(!d.dlg->isVisible());
    QCOMPARE(d.dlg->result(), int(QDialog::Rejected));
}

void TestOptionsDialog::keyboardWalk()
{
    Dialog d;
    TEinstellungen e = defaults();
    e.AutoAbwesendS = true;
    d.dlg->SetEinstellungen(e);
    QCOMPARE(d.dlg->windowTitle(), QStringLiteral("Optionen einstellen"));
    QVERIFY(d.showActive());
    QCOMPARE(d.focused(), QStringLiteral("Le1Name"));
    // The name has the focus when the dialog opens, and says so once.
    QCOMPARE(d.cues(), QStringList{"Name"});
    d.tolk.calls.clear();

    const QStringList order = {"Cb1Autostart",
                               "Cb1FensterWiederherstellen",
                               "Cb1FensterNachSendenMinimieren",
                               "Cb1MinimiertStarten",
                               "Cb1BeendenSichern",
                               "Cb1SoundsWiedergeben",
                               "Lv1Sounds",
                               "Cb1AutoAbwesend",
                               "Ud1AbwesendMin",
                               "Cb1StatusLesen",
                               "Cb1NachrichtLesen",
                               "Lv1Stimmen",
                               "Btn1Reset",
                               "Btn1OK",
                               "Btn1Abbrechen",
                               "Le1Name"};
    QStringList walked;
    for (int i = 0; i < order.size(); ++i) {
        d.key(Qt::Key_Tab);
        walked << d.focused();
        QWidget* w = QApplication::focusWidget();
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        QVERIFY(a);
        const QString spoken = a->text(QAccessible::Name);
        QVERIFY2(!spoken.isEmpty() && !spoken.contains(u'&'), qPrintable(w->objectName() + ": " + spoken));
    }
    QCOMPARE(walked, order);
    QCOMPARE(d.cues(), (QStringList{"Sounds", "Minuten", "Stimmen", "Name"}));

    // Back against the tab order the cues come again; a click on the caption goes to the name.
    d.tolk.calls.clear();
    for (int i = 0; i < 4; ++i)
        d.key(Qt::Key_Backtab);
    QCOMPARE(d.focused(), QStringLiteral("Lv1Stimmen"));
    QCOMPARE(d.cues(), QStringList{"Stimmen"});
    QTest::mouseClick(d.get("Lbl1Name"), Qt::LeftButton);
    QCOMPARE(d.focused(), QStringLiteral("Le1Name"));
    QCOMPARE(d.cues(), (QStringList{"Stimmen", "Name"}));
    QCOMPARE(d.get<QLabel>("Lbl1Name")->text(), QStringLiteral("&Name:"));
    QCOMPARE(d.get<QLabel>("Lbl1Name")->buddy(), d.get("Le1Name"));
}

void TestOptionsDialog::voiceSample()
{
    Dialog d;
    d.dlg->SetEinstellungen(defaults()); // no voice chosen: no row selected
    QVERIFY(d.showActive());
    auto* list = d.get<QTreeWidget>("Lv1Stimmen");
    auto* timer = d.get<QTimer>("Timer1Speak");
    QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("Anna - Deutsch"));
    auto spokenEngine = [&d] {
        return std::count_if(d.engine->calls.begin(), d.engine->calls.end(),
                             [](const std::string& c) { return c.rfind("speak:", 0) == 0; });
    };

    d.get("Cb1NachrichtLesen")->setFocus(Qt::TabFocusReason);
    d.tolk.calls.clear();
    d.key(Qt::Key_Tab);
    QCOMPARE(d.focused(), QStringLiteral("Lv1Stimmen"));
    // Entering says so and silences the screen reader; without a selected row there is nothing to sample.
    QCOMPARE(d.tolk.calls, (std::vector<std::string>{"output:Stimmen", "silence"}));
    QVERIFY(!timer->isActive());

    // Each row reached: the voice becomes current at volume 80 and rate 1, and 100 ms later says its own name.
    for (const char* voice : {"Anna - Deutsch", "Bernd - Deutsch"}) {
        d.engine->calls.clear();
        d.key(Qt::Key_Down);
        QCOMPARE(list->selectedItems().value(0)->text(0), QString::fromLatin1(voice));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 100);
        QVERIFY(timer->isSingleShot());
        QCOMPARE(spokenEngine(), 0);
        QCOMPARE(d.engine->calls.back(), std::string("rate:1"));
        QCOMPARE(d.engine->volume(), 80);
        QCOMPARE(d.engine->rate(), 1);
        QTRY_COMPARE(spokenEngine(), 1);
        QCOMPARE(d.engine->calls.back(), "speak:" + std::string(voice) + ":purge");
        QCOMPARE(d.engine->voiceDescription(), std::string(voice));
    }
    // The last row before this one stopped its sample first.
    QCOMPARE(d.engine->calls.front(), std::string("stop"));

    // The screen-reader entry speaks through the screen reader, cut off before.
    d.key(Qt::Key_Home);
    d.tolk.calls.clear();
    QTRY_VERIFY(!d.tolk.calls.empty() && d.tolk.calls.back().rfind("speak:", 0) == 0);
    QCOMPARE(d.tolk.calls, (std::vector<std::string>{"silence", "speak:ScreenReader (JAWS/NVDA):interrupt"}));

    // Leaving the list at once: the sample waiting for its 100 ms never starts, and the voice is stopped.
    d.key(Qt::Key_End);
    d.engine->calls.clear();
    d.key(Qt::Key_Tab);
    QCOMPARE(d.focused(), QStringLiteral("Btn1Reset"));
    QVERIFY(!timer->isActive());
    QTest::qWait(250);
    QCOMPARE(spokenEngine(), 0);
    QCOMPARE(d.engine->calls.back(), std::string("stop"));
    QCOMPARE(d.dlg->GetEinstellungen().Stimme, QStringLiteral("Bernd - Deutsch"));

    // Closing stops the voice too.
    d.engine->calls.clear();
    d.dlg->reject();
    QCOMPARE(d.engine->calls, std::vector<std::string>{"stop"});
}

void TestOptionsDialog::layoutFormulas_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<int>("ownerHeight");
    QTest::addColumn<QSize>("workArea");
    QTest::addColumn<int>("listMinWidth");
    QTest::addColumn<bool>("buttonsSetWidth");
    QTest::addColumn<bool>("ownerSetsHeight");
    const QFont plain(QStringLiteral("DejaVu Sans"), 12);
    QFont bold(QStringLiteral("DejaVu Sans"), 20);
    bold.setBold(true);
    QTest::newRow("12 pt: the buttons set the width, the owner the height")
        << plain << 900 << QSize(1920, 1080) << 100 << true << true;
    QTest::newRow("20 pt bold, odd owner height") << bold << 1033 << QSize(1920, 1080) << 100 << true << true;
    QTest::newRow("short owner: the dialog grows until the minutes rows fit")
        << plain << 300 << QSize(1920, 1080) << 100 << true << false;
    QTest::newRow("wide rows: the dialog grows and the buttons spread")
        << plain << 900 << QSize(1920, 1080) << 700 << false << true;
    QTest::newRow("narrow screen: the dialog keeps to it and the buttons close up")
        << bold << 900 << QSize(1300, 1080) << 100 << false << true;
}

void TestOptionsDialog::layoutFormulas()
{
    QFETCH(QFont, font);
    QFETCH(int, ownerHeight);
    QFETCH(QSize, workArea);
    QFETCH(int, listMinWidth);
    QFETCH(bool, buttonsSetWidth);
    QFETCH(bool, ownerSetsHeight);
    const QFontMetrics fm(font);
    OptionenLayoutInput in;
    in.font = font;
    in.ownerHeight = ownerHeight;
    in.frame = QSize(8, 30);
    in.workArea = workArea;
    in.nameLabel = QSize(fm.horizontalAdvance(QStringLiteral("Name:")), fm.height());
    in.nameHeight = fm.height() + 10;
    in.upDownWidth = 16;
    in.listMinWidth = listMinWidth;
    const OptionenLayoutResult r = OptionenSchalterEinrichten(in);
    const Expected x(font, in.upDownWidth);

    // Buttons: equal, the gap 82 % of their width, or spread evenly where the width is set otherwise.
    const int cw = r.client.width();
    int g = x.b * 82 / 100;
    if (buttonsSetWidth)
        QCOMPARE(cw, 4 * g + 3 * x.b);
    else
        g = (cw - 3 * x.b) / 4;
    if (workArea.width() < 4 * (x.b * 82 / 100) + 3 * x.b)
        QCOMPARE(cw, workArea.width() - in.frame.width());
    const QList<QRect> buttons = {r.Btn1Reset, r.Btn1OK, r.Btn1Abbrechen};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(buttons[i], QRect(g + i * (x.b + g), r.client.height() - x.btnH - 10, x.b, x.btnH));
    }
    const int ch = r.client.height();
    if (ownerSetsHeight)
        QCOMPARE(ch, ownerHeight * 97 / 100 - in.frame.height());
    else
        QVERIFY(ch > ownerHeight * 97 / 100 - in.frame.height());

    // Name and the column of check boxes, 20 apart.
    const int nameLeft = in.nameLabel.width() + 15;
    QCOMPARE(r.Le1Name, QRect(nameLeft, 10, 10 + x.w - nameLeft, in.nameHeight));
    QCOMPARE(right(r.Lbl1Name), nameLeft - 5);
    QCOMPARE(r.Lbl1Name.top(), 10 + (in.nameHeight - fm.height()) / 2);
    const QList<QRect> column = {r.Cb1Autostart,        r.Cb1FensterWiederherstellen, r.Cb1FensterNachSendenMinimieren,
                                 r.Cb1MinimiertStarten, r.Cb1BeendenSichern,          r.Cb1SoundsWiedergeben};
    int top = bottom(r.Le1Name) + 20;
    for (const QRect& c : column) {
        QCOMPARE(c, QRect(10, top, x.w, x.cbH));
        top += x.cbH + 20;
    }

    // The two lists right of the column, down to 20 above the buttons.
    const int listLeft = 10 + x.w + 20;
    QCOMPARE(r.Lv1Sounds, QRect(listLeft, 10, cw - listLeft - 10, bottom(r.Cb1SoundsWiedergeben) - 10));
    QVERIFY(r.Lv1Sounds.width() >= listMinWidth);
    QCOMPARE(r.Lv1Stimmen.left(), listLeft);
    QCOMPARE(r.Lv1Stimmen.width(), r.Lv1Sounds.width());
    QCOMPARE(r.Lv1Stimmen.top(), bottom(r.Lv1Sounds) + 20);
    QCOMPARE(bottom(r.Lv1Stimmen), r.Btn1OK.top() - 20);

    // Three rows evenly beside the voice list, the minutes field right after its check box.
    const int d = (r.Lv1Stimmen.height() - 3 * x.cbH) / 4;
    QVERIFY(d >= 5);
    QCOMPARE(r.Cb1AutoAbwesend, QRect(10, r.Lv1Stimmen.top() + d, x.autoW, x.cbH));
    QCOMPARE(r.Ed1AbwesendMin, QRect(right(r.Cb1AutoAbwesend) + 5, r.Cb1AutoAbwesend.top(), x.edW, x.cbH));
    QCOMPARE(r.Ud1AbwesendMin, QRect(right(r.Ed1AbwesendMin), r.Cb1AutoAbwesend.top(), x.udW, x.cbH));
    QVERIFY(right(r.Ud1AbwesendMin) <= 10 + x.w);
    QCOMPARE(r.Cb1StatusLesen.top(), bottom(r.Cb1AutoAbwesend) + d);
    QCOMPARE(r.Cb1StatusLesen.width(),
             fm.horizontalAdvance(QString(OptionenCaption("Cb1StatusLesen")).remove(u'&') + "MM "));
    QCOMPARE(bottom(r.Cb1NachrichtLesen), bottom(r.Lv1Stimmen) - d);
}

void TestOptionsDialog::placement_data()
{
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QSize>("dialog");
    QTest::addColumn<QPoint>("expected");
    const QSize dialog(700, 600);
    QTest::newRow("centred over the owner") << QRect(100, 50, 1200, 900) << dialog << QPoint(350, 200);
    QTest::newRow("an owner at the screen's edge keeps the dialog on the screen")
        << QRect(1500, 700, 400, 300) << dialog << QPoint(1220, 480);
    QTest::newRow("a dialog larger than the work area keeps its corner in it")
        << QRect(0, 0, 1920, 1080) << QSize(2000, 1200) << QPoint(0, 0);
}

void TestOptionsDialog::placement()
{
    QFETCH(QRect, owner);
    QFETCH(QSize, dialog);
    QFETCH(QPoint, expected);
    QCOMPARE(OptionenFensterEinrichten(owner, dialog, QRect(0, 0, 1920, 1080)), expected);
}

void TestOptionsDialog::largePrint_data()
{
    QTest::addColumn<int>("points");
    QTest::newRow("default print") << 12;
    QTest::newRow("30 pt") << 30;
}

void TestOptionsDialog::largePrint()
{
    QFETCH(int, points);
    Dialog d(points);
    TEinstellungen e = defaults();
    e.AutoAbwesendS = true;
    d.dlg->SetEinstellungen(e);
    QVERIFY(d.showActive());
    QCOMPARE(d.get("Le1Name")->font().pointSize(), points);
    QCOMPARE(d.get("Btn1OK")->font().pointSize(), points);

    const QRect client(QPoint(0, 0), d.dlg->size());
    const QStringList names = {"Lbl1Name",
                               "Le1Name",
                               "Cb1Autostart",
                               "Cb1FensterWiederherstellen",
                               "Cb1FensterNachSendenMinimieren",
                               "Cb1MinimiertStarten",
                               "Cb1BeendenSichern",
                               "Cb1SoundsWiedergeben",
                               "Lv1Sounds",
                               "Cb1AutoAbwesend",
                               "Ud1AbwesendMin",
                               "Cb1StatusLesen",
                               "Cb1NachrichtLesen",
                               "Lv1Stimmen",
                               "Btn1Reset",
                               "Btn1OK",
                               "Btn1Abbrechen"};
    for (int i = 0; i < names.size(); ++i) {
        QWidget* w = d.get(qPrintable(names[i]));
        const QRect g = w->geometry();
        QVERIFY2(client.contains(g), qPrintable(names[i] + " leaves the dialog"));
        for (int j = i + 1; j < names.size(); ++j)
            QVERIFY2(!g.intersects(d.get(qPrintable(names[j]))->geometry()),
                     qPrintable(names[i] + " overlaps " + names[j]));
        // Nothing is smaller than the style needs to show its whole caption.
        if (!qobject_cast<QTreeWidget*>(w)) {
            QVERIFY2(g.width() >= w->sizeHint().width() && g.height() >= w->sizeHint().height(),
                     qPrintable(names[i] + " is cut off"));
        }
    }
    // Lists never shorten a row; at worst they scroll sideways.
    for (const char* name : {"Lv1Sounds", "Lv1Stimmen"}) {
        auto* list = d.get<QTreeWidget>(name);
        const QFontMetrics fm(list->font());
        const int indicator = list->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, list);
        QVERIFY(list->columnWidth(0) >= list->viewport()->width());
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QString row = list->topLevelItem(i)->text(0);
            QVERIFY2(list->columnWidth(0) >= fm.horizontalAdvance(row) + indicator, qPrintable(row + " is cut off"));
        }
    }
    QVERIFY(d.dlg->screen()->availableGeometry().contains(d.dlg->frameGeometry()));
}

// A screen as large as a desktop's, so the dialog can grow with large print.
int main(int argc, char** argv)
{
    QTemporaryDir dir;
    if (!UseDesktopSizedScreen(dir))
        return 1;
    QApplication app(argc, argv);
    TestOptionsDialog test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_optionsdialog.moc"
