// The measuring routines and the main window's layout computed from the display font.
#include "shell/gui/layout.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

namespace {

const QStringList MainButtonCaptions = {QStringLiteral("&Gelesen"),    QStringLiteral("&Senden"),
                                        QStringLiteral("Abwesend..."), QStringLiteral("O&ptionen..."),
                                        QStringLiteral("&Minimieren"), QStringLiteral("&Beenden")};

QFont displayFont(int points)
{
    return QFont(QStringLiteral("Arial"), points);
}

int advance(const QFont& font, const QString& text)
{
    return QFontMetrics(font).horizontalAdvance(text);
}

// The expected common button width, measured independently of the code under test.
int widestCaptionWidth(const QFont& font, const QStringList& captions)
{
    int widest = 0;
    QString widestText;
    for (const QString& c : captions + QStringList{"Online...", "Abwesend...", QStringLiteral("Beschäftigt...")}) {
        const QString text = QString(c).remove(u'&');
        if (advance(font, text) > widest) {
            widest = advance(font, text);
            widestText = text;
        }
    }
    return advance(font, widestText + QStringLiteral("MM "));
}

// Inputs as the window's own controls would report them at this font.
LayoutInput inputFor(const QFont& font, int cw, int ch, const QStringList& captions = MainButtonCaptions)
{
    const QFontMetrics fm(font);
    LayoutInput in;
    in.clientWidth = cw;
    in.clientHeight = ch;
    in.font = font;
    in.buttonCaptions = captions;
    in.listeLabelHeight = fm.height();
    in.eingangLabelHeight = fm.height() + 1;
    in.verlaufLabelHeight = fm.height() + 2;
    in.nameHeight = fm.height() + 8;
    in.nameLabel = QSize(fm.horizontalAdvance(QStringLiteral("Empfänger:")), fm.height());
    in.textLabel = QSize(fm.horizontalAdvance(QStringLiteral("Text:")), fm.height());
    in.logLabel = QSize(fm.horizontalAdvance(QStringLiteral("Nachrichtenlog:")), fm.height());
    return in;
}

QList<QRect> buttonsOf(const LayoutResult& r)
{
    return {r.Btn1Gelesen, r.Btn1Senden, r.Btn1Status, r.Btn1Optionen, r.Btn1Minimieren, r.Btn1Beenden};
}

// The main window's controls with their objectNames, a central client area and a status bar with four panels.
struct Form
{
    QMainWindow window;
    QWidget* central = new QWidget;
    QStatusBar* status = new QStatusBar;
    QLabel* panels[4] = {};

    Form()
    {
        window.setCentralWidget(central);
        window.menuBar()->addMenu(QStringLiteral("&Datei"));
        auto add = [this](QWidget* w, const char* name, const QString& text = QString()) {
            w->setParent(central);
            w->setObjectName(QString::fromLatin1(name));
            if (auto* l = qobject_cast<QLabel*>(w))
                l->setText(text);
            if (auto* b = qobject_cast<QPushButton*>(w))
                b->setText(text);
        };
        add(new QLabel, "Lbl1Liste", QStringLiteral("&Online"));
        add(new QListWidget, "Lb1Liste");
        add(new QLabel, "Lbl1Eingang", QStringLiteral("Nachrichten&eingang"));
        add(new QListWidget, "Lb1Eingang");
        add(new QLabel, "Lbl1Verlauf", QStringLiteral("Nachrichten&verlauf"));
        add(new QListWidget, "Lb1Verlauf");
        add(new QLabel, "Lbl1Name", QStringLiteral("Emp&fänger:"));
        add(new QLineEdit, "Le1Name");
        add(new QLabel, "Lbl1Text", QStringLiteral("&Text:"));
        add(new QPlainTextEdit, "Memo1Text");
        add(new QLabel, "Lbl1Log", QStringLiteral("&Nachrichtenlog:"));
        add(new QPlainTextEdit, "Re1Log");
        const char* names[] = {"Btn1Gelesen",  "Btn1Senden",     "Btn1Status",
                               "Btn1Optionen", "Btn1Minimieren", "Btn1Beenden"};
        for (int i = 0; i < 6; ++i)
            add(new QPushButton, names[i], MainButtonCaptions[i]);
        status->setObjectName(QStringLiteral("StatusBar1"));
        status->setSizeGripEnabled(false);
        for (int i = 0; i < 4; ++i) {
            panels[i] = new QLabel(status);
            status->addWidget(panels[i], i == 3 ? 1 : 0);
        }
        window.setStatusBar(status);
    }

    void setDisplayFont(const QFont& font)
    {
        for (QWidget* w : window.findChildren<QWidget*>())
            w->setFont(font);
    }
};

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void stripAccelerators_data();
    void stripAccelerators();
    void textMeasures();
    void controlHeight_data();
    void controlHeight();
    void buttonsShareTheWidestCaptionWidth();
    void widestCaptionIsMeasuredInPixels();
    void stateCaptionNeverMovesAnything();
    void formulas_data();
    void formulas();
    void largePrintKeepsControlsApart_data();
    void largePrintKeepsControlsApart();
    void measuresAndAppliesToAMainWindow();
    void missingControlsAreSkipped();
    void placement_data();
    void placement();
};

void TestLayout::stripAccelerators_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text without accelerator stays") << "Online..."
                                                    << "Online...";
    QTest::newRow("one accelerator goes") << "Nachrichten&eingang"
                                          << "Nachrichteneingang";
    QTest::newRow("a doubled ampersand loses both") << "Tom && Jerry"
                                                    << "Tom  Jerry";
    QTest::newRow("umlauts survive") << QStringLiteral("Emp&fänger:") << QStringLiteral("Empfänger:");
    QTest::newRow("ampersand at the end goes") << "Ende&"
                                               << "Ende";
    QTest::newRow("only ampersands leave nothing") << "&&&"
                                                   << "";
    QTest::newRow("empty stays empty") << ""
                                       << "";
}

void TestLayout::stripAccelerators()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(StripAccelerators(text), expected);
}

void TestLayout::textMeasures()
{
    const QFont small = displayFont(12);
    const QFont large = displayFont(30);
    QCOMPARE(GetTextHeight(&small), QFontMetrics(small).height());
    QVERIFY(GetTextHeight(&large) > GetTextHeight(&small));

    const QFont title = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    QVERIFY(GetTextHeight(nullptr) > 0);
    QCOMPARE(GetTextHeight(nullptr), QFontMetrics(title).height());

    QCOMPARE(GetTextWidth(small, QString()), 0);
    QCOMPARE(GetCaptionWidth(small, QString()), advance(small, QStringLiteral(" ")));
    const QString text = QStringLiteral("Beschäftigt...");
    QCOMPARE(GetTextWidth(small, text), advance(small, text));
    QVERIFY(GetTextWidth(large, text) > GetTextWidth(small, text));
    QCOMPARE(GetCaptionWidth(small, text), advance(small, text + QLatin1Char(' ')));
    QVERIFY(GetCaptionWidth(small, text) > GetTextWidth(small, text));
}

void TestLayout::controlHeight_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<ControlKind>("kind");
    QTest::addColumn<int>("margin");
    for (int points : {12, 30}) {
        const QByteArray pt = QByteArray::number(points) + " pt: ";
        QTest::newRow(pt + "a plain edit gets 8") << points << ControlKind::Edit << 8;
        QTest::newRow(pt + "a check box gets 8") << points << ControlKind::CheckBox << 8;
        QTest::newRow(pt + "a button gets 12") << points << ControlKind::Button << 12;
        QTest::newRow(pt + "a status bar gets 6") << points << ControlKind::StatusBar << 6;
        QTest::newRow(pt + "a labelled edit or label gets nothing") << points << ControlKind::Other << 0;
    }
}

void TestLayout::controlHeight()
{
    QFETCH(int, points);
    QFETCH(ControlKind, kind);
    QFETCH(int, margin);
    const QFont font = displayFont(points);
    QCOMPARE(GetControlHeight(font, kind), QFontMetrics(font).height() + margin);
}

void TestLayout::buttonsShareTheWidestCaptionWidth()
{
    const QFont font = displayFont(12);
    const LayoutResult r = SchalterEinrichten(inputFor(font, 1200, 900));
    const int expected = widestCaptionWidth(font, MainButtonCaptions);
    QCOMPARE(ButtonWidth(font, MainButtonCaptions), expected);
    for (const QRect& b : buttonsOf(r)) {
        QCOMPARE(b.width(), expected);
        QCOMPARE(b.height(), QFontMetrics(font).height() + 12);
    }
}

void TestLayout::widestCaptionIsMeasuredInPixels()
{
    // Fewer characters than "Beschäftigt..." but wider letters, and a doubled ampersand that is not drawn.
    const QFont font = displayFont(12);
    QStringList captions = MainButtonCaptions;
    captions[3] = QStringLiteral("WWWWW&&WWWWW");
    QVERIFY(advance(font, "WWWWWWWWWW") > advance(font, QStringLiteral("Beschäftigt...")));
    const int expected = advance(font, QStringLiteral("WWWWWWWWWWMM "));
    QCOMPARE(ButtonWidth(font, captions), expected);
    for (const QRect& b : buttonsOf(SchalterEinrichten(inputFor(font, 1200, 900, captions))))
        QCOMPARE(b.width(), expected);
}

void TestLayout::stateCaptionNeverMovesAnything()
{
    const QFont font = displayFont(12);
    const LayoutResult reference = SchalterEinrichten(inputFor(font, 1200, 900));
    for (const QString& state : {QStringLiteral("Online..."), QStringLiteral("Beschäftigt..."), QString()}) {
        QStringList captions = MainButtonCaptions;
        captions[2] = state;
        const LayoutResult r = SchalterEinrichten(inputFor(font, 1200, 900, captions));
        const auto got = r.named();
        const auto want = reference.named();
        for (int i = 0; i < got.size(); ++i)
            QVERIFY2(got[i].second == want[i].second, qPrintable(got[i].first + " moved for " + state));
    }
}

void TestLayout::formulas_data()
{
    QTest::addColumn<int>("cw");
    QTest::addColumn<int>("ch");
    QTest::newRow("smallest window") << 1000 << 700;
    QTest::newRow("initial window") << 1200 << 900;
    QTest::newRow("odd sizes that leave remainders") << 1917 << 1033;
}

void TestLayout::formulas()
{
    QFETCH(int, cw);
    QFETCH(int, ch);
    const QFont font = displayFont(12);
    const LayoutInput in = inputFor(font, cw, ch);
    const LayoutResult r = SchalterEinrichten(in);
    const int btnH = QFontMetrics(font).height() + 12;
    const int statusH = QFontMetrics(font).height() + 6;
    const int b = widestCaptionWidth(font, MainButtonCaptions);

    QCOMPARE(r.StatusBar1, QRect(0, ch - statusH, cw, statusH));
    const int statusTop = ch - statusH;

    // Left column: three labelled lists stacked top to bottom in one column.
    const int colW = int((cw - 30) / 100.0 * 40);
    QCOMPARE(r.Lbl1Liste, QRect(10, 10, colW, in.listeLabelHeight));
    const int listeTop = 10 + in.listeLabelHeight + 5;
    QCOMPARE(r.Lb1Liste.top(), listeTop);
    QCOMPARE(r.Lb1Liste.height(),
             int((statusTop - listeTop - btnH - 40 - 2 * (in.eingangLabelHeight + 5)) / 100.0 * 34));
    const QList<QRect> column = {r.Lbl1Liste, r.Lb1Liste, r.Lbl1Eingang, r.Lb1Eingang, r.Lbl1Verlauf, r.Lb1Verlauf};
    const int gaps[] = {5, 10, 5, 10, 5};
    for (int i = 0; i < column.size(); ++i) {
        QCOMPARE(column[i].left(), 10);
        QCOMPARE(column[i].width(), colW);
        QVERIFY(column[i].height() > 0);
        if (i > 0)
            QCOMPARE(column[i].top(), column[i - 1].top() + column[i - 1].height() + gaps[i - 1]);
    }
    QCOMPARE(r.Lbl1Eingang.height(), in.eingangLabelHeight);
    QCOMPARE(r.Lbl1Verlauf.height(), in.verlaufLabelHeight);
    QVERIFY(qAbs(r.Lb1Eingang.height() - r.Lb1Verlauf.height()) <= 2);

    // Bottom row: four buttons with equal gaps, 10 above the status bar.
    const int g = (cw - 4 * b) / 5;
    const QList<QRect> row = {r.Btn1Status, r.Btn1Optionen, r.Btn1Minimieren, r.Btn1Beenden};
    for (int i = 0; i < row.size(); ++i) {
        QCOMPARE(row[i].top() + row[i].height(), statusTop - 10);
        QCOMPARE(row[i].left(), g + i * (b + g));
    }
    QCOMPARE(r.Lb1Verlauf.top() + r.Lb1Verlauf.height(), r.Btn1Status.top() - 10);

    // Gelesen and Senden end with the history list and share the space right of it evenly.
    const int verlaufRight = r.Lb1Verlauf.left() + r.Lb1Verlauf.width();
    for (const QRect& pair : {r.Btn1Gelesen, r.Btn1Senden})
        QCOMPARE(pair.top() + pair.height(), r.Lb1Verlauf.top() + r.Lb1Verlauf.height());
    const int h = (cw - verlaufRight - 2 * b - 20) / 3;
    QCOMPARE(r.Btn1Gelesen.left(), verlaufRight + h + 10);
    QCOMPARE(r.Btn1Senden.left(), r.Btn1Gelesen.left() + b + h);

    // Right column: after the list column and the widest caption, to 10 before the right edge.
    const int l = in.logLabel.width();
    QVERIFY(l >= in.nameLabel.width() && l >= in.textLabel.width());
    const int rightLeft = r.Lb1Liste.left() + r.Lb1Liste.width() + l + 15;
    for (const QRect& c : {r.Le1Name, r.Memo1Text, r.Re1Log}) {
        QCOMPARE(c.left(), rightLeft);
        QCOMPARE(c.left() + c.width(), cw - 10);
    }
    QCOMPARE(r.Le1Name.top(), 10);
    QCOMPARE(r.Le1Name.height(), in.nameHeight);
    QCOMPARE(r.Memo1Text.top(), r.Le1Name.top() + in.nameHeight + 10);
    QCOMPARE(r.Memo1Text.height(), 3 * in.nameHeight);
    QCOMPARE(r.Re1Log.top(), r.Memo1Text.top() + r.Memo1Text.height() + 10);
    QCOMPARE(r.Re1Log.top() + r.Re1Log.height(), r.Btn1Senden.top() - 10);

    // The captions end 5 before their control; the recipient's caption is centred beside it.
    QCOMPARE(r.Lbl1Name.left() + r.Lbl1Name.width(), rightLeft - 5);
    QCOMPARE(r.Lbl1Text.left() + r.Lbl1Text.width(), rightLeft - 5);
    QCOMPARE(r.Lbl1Log.left() + r.Lbl1Log.width(), rightLeft - 5);
    QCOMPARE(r.Lbl1Text.top(), r.Memo1Text.top());
    QCOMPARE(r.Lbl1Log.top(), r.Re1Log.top());
    QCOMPARE(r.Lbl1Name.top(), 10 + (in.nameHeight - in.nameLabel.height()) / 2);

    // The counters take their share of the bar, but never less than their text with four digits.
    const int percents[3] = {11, 15, 13};
    const char* samples[3] = {"Online: 0000", "Ungelesen: 0000", "Gelesen: 0000"};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(r.panelWidths[i],
                 qMax(int(cw / 100.0 * percents[i]), GetCaptionWidth(in.font, QString::fromLatin1(samples[i])) + 20));
    QCOMPARE(r.panelWidths[3], qMax(0, cw - r.panelWidths[0] - r.panelWidths[1] - r.panelWidths[2]));
}

void TestLayout::largePrintKeepsControlsApart_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("cw");
    QTest::addColumn<int>("ch");
    QTest::newRow("default print in the initial window") << 12 << 1200 << 900;
    QTest::newRow("20 pt in the initial window") << 20 << 1200 << 900;
    QTest::newRow("30 pt in the initial window") << 30 << 1200 << 900;
    QTest::newRow("largest print in the initial window") << 35 << 1200 << 900;
    QTest::newRow("largest print in the smallest window") << 35 << 1000 << 700;
}

void TestLayout::largePrintKeepsControlsApart()
{
    QFETCH(int, points);
    QFETCH(int, cw);
    QFETCH(int, ch);
    Form form;
    form.setDisplayFont(displayFont(points));
    LayoutInput in = LayoutInputFrom(&form.window);
    in.clientWidth = cw;
    in.clientHeight = ch;
    const LayoutResult r = SchalterEinrichten(in);

    const auto controls = r.named();
    const QRect client(0, 0, cw, ch);
    for (int i = 0; i < controls.size(); ++i) {
        const auto& [name, rect] = controls[i];
        QVERIFY2(rect.width() > 0 && rect.height() > 0, qPrintable(name + " has no size"));
        QVERIFY2(client.contains(rect), qPrintable(name + " leaves the client area"));
        for (int j = i + 1; j < controls.size(); ++j)
            QVERIFY2(!rect.intersects(controls[j].second), qPrintable(name + " overlaps " + controls[j].first));
    }

    const QList<QRect> buttons = buttonsOf(r);
    for (const QRect& b : buttons)
        QCOMPARE(b.width(), buttons.first().width());
    // Buttons are narrowed only where the captions would not fit.
    const int full = ButtonWidth(in.font, in.buttonCaptions);
    if (4 * full <= cw)
        QCOMPARE(buttons.first().width(), full);
    else
        QVERIFY(buttons.first().width() < full);

    // At the narrowest width the window allows for this font, nothing is narrowed or cut.
    in.clientWidth = MinimumClientWidth(in);
    const LayoutResult m = SchalterEinrichten(in);
    for (const QRect& b : buttonsOf(m))
        QCOMPARE(b.width(), full);
    QVERIFY(m.Lbl1Eingang.width() >= GetCaptionWidth(in.font, QStringLiteral("Nachrichteneingang")));
    QVERIFY(m.Lbl1Verlauf.width() >= GetCaptionWidth(in.font, QStringLiteral("Nachrichtenverlauf")));
    QVERIFY(m.panelWidths[1] >= GetCaptionWidth(in.font, QStringLiteral("Ungelesen: 0000")));
    QVERIFY(m.Btn1Senden.left() >= m.Btn1Gelesen.left() + m.Btn1Gelesen.width());
}

void TestLayout::measuresAndAppliesToAMainWindow()
{
    Form form;
    form.setDisplayFont(displayFont(20));
    form.window.resize(1200, 900);
    form.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form.window));

    const LayoutInput in = LayoutInputFrom(&form.window);
    QCOMPARE(in.clientWidth, form.central->width());
    QCOMPARE(in.clientHeight, form.central->height() + form.status->height());
    QCOMPARE(in.buttonCaptions, MainButtonCaptions);
    QCOMPARE(in.font.pointSize(), 20);
    const auto* liste = form.window.findChild<QLabel*>(QStringLiteral("Lbl1Liste"));
    QCOMPARE(in.listeLabelHeight, liste->sizeHint().height());
    QVERIFY(in.listeLabelHeight >= QFontMetrics(displayFont(20)).height());
    QVERIFY(in.logLabel.width() > in.textLabel.width());
    QVERIFY(in.nameHeight >= QFontMetrics(displayFont(20)).height());

    const LayoutResult r = SchalterEinrichten(in);
    ApplyLayout(&form.window, r);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();

    for (const auto& [name, rect] : r.named()) {
        if (name == QLatin1String("StatusBar1"))
            continue;
        QCOMPARE(form.window.findChild<QWidget*>(name)->geometry(), rect);
    }
    // The main window puts its status bar right below the client area the layout was computed for.
    QCOMPARE(form.status->height(), r.StatusBar1.height());
    QCOMPARE(form.central->height(), r.StatusBar1.top());
    for (int i = 0; i < 3; ++i)
        QCOMPARE(form.panels[i]->width(), r.panelWidths[i]);
    QVERIFY(form.panels[3]->width() > 0);
    for (QLabel* panel : form.panels)
        QCOMPARE(panel->alignment(), Qt::AlignCenter);

    // A key hint longer than the bar is cut, never making the bar or the window wider.
    const int width = form.window.width();
    form.panels[3]->setText(QString(400, u'x'));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(form.window.width(), width);
    QVERIFY(form.window.minimumSizeHint().width() <= width);
    QVERIFY(form.panels[3]->geometry().right() < form.status->width());
}

void TestLayout::missingControlsAreSkipped()
{
    QWidget window;
    auto* liste = new QListWidget(&window);
    liste->setObjectName(QStringLiteral("Lb1Liste"));
    window.resize(1000, 700);

    const LayoutInput in = LayoutInputFrom(&window);
    QCOMPARE(in.clientWidth, 1000);
    QCOMPARE(in.clientHeight, 700);
    QVERIFY(in.buttonCaptions.isEmpty());
    QCOMPARE(in.nameHeight, 0);

    const LayoutResult r = SchalterEinrichten(in);
    QVERIFY(r.Btn1Beenden.width() > 0); // the state captions alone give the buttons a width
    ApplyLayout(&window, r);
    QCOMPARE(liste->geometry(), r.Lb1Liste);
}

void TestLayout::placement_data()
{
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<QPoint>("expected");
    const QRect wa(0, 0, 1920, 1040);
    QTest::newRow("centred") << wa << QSize(1200, 900) << false << QPoint(360, 70);
    QTest::newRow("odd remainders drop") << QRect(0, 0, 1921, 1041) << QSize(1200, 900) << false << QPoint(360, 70);
    QTest::newRow("centred on a second monitor below a top panel")
        << QRect(1920, 30, 1280, 994) << QSize(1000, 700) << false << QPoint(2060, 177);
    QTest::newRow("maximised goes to the corner")
        << QRect(1920, 30, 1280, 994) << QSize(1200, 900) << true << QPoint(1920, 30);
    QTest::newRow("filling the work area") << wa << QSize(1920, 1040) << false << QPoint(0, 0);
    QTest::newRow("too tall keeps its title bar on screen")
        << QRect(0, 30, 1920, 1010) << QSize(1200, 1200) << false << QPoint(360, 30);
}

void TestLayout::placement()
{
    QFETCH(QRect, workArea);
    QFETCH(QSize, size);
    QFETCH(bool, maximised);
    QFETCH(QPoint, expected);
    QCOMPARE(FensterEinrichten(workArea, size, maximised), expected);
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
