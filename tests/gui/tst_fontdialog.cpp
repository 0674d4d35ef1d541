// The font and colour dialog: the palette and its names, the font list, the size field's rules, the choice in
// and out, the live preview, OK and Cancel with the equal-colours question, the keyboard walk with its cues,
// and the layout computed from the font.
#include "desktopscreen.h"
#include "doubles/speechdoubles.h"
#include "shell/fontchoice.h"
#include "shell/gui/fontdialog.h"
#include "shell/gui/fontlayout.h"
#include "testenv.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

Q_DECLARE_METATYPE(TFontSetting)

namespace {

const QString Installed = QStringLiteral("DejaVu Sans");

TFontSetting fontOf(const QString& name, int points, uint32_t color = SystemWindowTextColor)
{
    TFontSetting f;
    f.name = name;
    f.sizePt = points;
    f.color = color;
    return f;
}

// The dialog over an owner window, with a recording screen reader and a scripted answer to its question.
struct Dialog
{
    RecordingScreenReader tolk;
    QWidget owner;
    std::unique_ptr<TBackFontDlg> dlg;
    QStringList fragen;
    bool antwort = true;

    explicit Dialog(const TFontSetting& font = fontOf(Installed, 12), uint32_t back = ColorWhite, bool withTolkS = true)
    {
        owner.setGeometry(100, 50, 1200, 900);
        dlg = std::make_unique<TBackFontDlg>(&owner, back, font, withTolkS ? &tolk : nullptr,
                                             [this](QWidget*, const QString& text) {
                                                 fragen << text;
                                                 return antwort;
                                             });
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

    void key(int k, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), mods); }

    QStringList cues() const
    {
        QStringList out;
        for (const std::string& call : tolk.calls)
            out << QString::fromStdString(call);
        return out;
    }

    TFontSetting newFont() const
    {
        TFontSetting f;
        f.name = QStringLiteral("unset");
        dlg->GetNewFont(f);
        return f;
    }

    QString selectedFontRow()
    {
        const QList<QTreeWidgetItem*> rows = get<QTreeWidget>("LvFonts")->selectedItems();
        return rows.isEmpty() ? QString() : rows.first()->text(0);
    }
};

QStringList sortedFamilies()
{
    QStringList f = QFontDatabase::families();
    std::stable_sort(f.begin(), f.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return f;
}

int bottom(const QRect& r)
{
    return r.y() + r.height();
}

int right(const QRect& r)
{
    return r.x() + r.width();
}

} // namespace

class TestFontDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void palette();
    void texts();
    void formatText_data();
    void formatText();
    void sizeRules_data();
    void sizeRules();
    void fontRows_data();
    void fontRows();
    void startingChoice_data();
    void startingChoice();
    void choicesAndPreview();
    void sizeField_data();
    void sizeField();
    void pasteRefused();
    void previewMenu();
    void closing_data();
    void closing();
    void keyboardWalk();
    void layoutFormulas_data();
    void layoutFormulas();
    void largePrint_data();
    void largePrint();
};

void TestFontDialog::initTestCase()
{
    requirePrivateHome();
    if (!QFontDatabase::families().contains(Installed))
        QSKIP("the test font is not installed");
}

void TestFontDialog::palette()
{
    const TColors colors;
    QCOMPARE(colors.Count(), 17);
    QStringList names;
    colors.FillStringList(names, false);
    const QStringList expected = {"Schwarz",  "Weiß",    "Gelb",     "Blau",     "Marineblau", "Himmelblau",
                                  "Blaugrün", "Grün",    "Minzgrün", "Gelbgrün", "Olivgrün",   "Grau",
                                  "Rot",      "Violett", "Lila",     "Silber",   "Braun"};
    QCOMPARE(names, expected);
    // The list is cleared first, and background entries carry the suffix.
    colors.FillStringList(names, true);
    QCOMPARE(names.size(), 17);
    QCOMPARE(names[1], QStringLiteral("Weiß (Hintergrund)"));

    // Red sits in the lowest byte, as in every stored colour.
    const QList<QPair<int, uint32_t>> values = {{0, 0x000000}, {1, 0xFFFFFF}, {2, 0x00FFFF},  {3, 0xFF0000},
                                                {5, 0xF0CAA6}, {9, 0x00FF00}, {12, 0x0000FF}, {16, 0x000080}};
    for (const auto& [index, value] : values) {
        const TColorName c = colors.Get(index);
        QCOMPARE(c.Index, index);
        QCOMPARE(c.Color, value);
        QCOMPARE(c.Name, expected[index]);
    }
    QCOMPARE(colors.Get(-1).Name, QStringLiteral("Schwarz"));
    QCOMPARE(colors.Get(17).Name, QStringLiteral("Schwarz"));

    TColorName found;
    QVERIFY(colors.FindColor(0x808080, found));
    QCOMPARE(found.Name, QStringLiteral("Grau"));
    QVERIFY(!colors.FindColor(SystemWindowTextColor, found));
    QVERIFY(!colors.FindColor(0x010101, found));
    QCOMPARE(found.Name, QStringLiteral("Grau")); // untouched when nothing is found

    QVERIFY(colors.FindName(QStringLiteral("bLAUGRÜN"), found));
    QCOMPARE(found.Index, 6);
    QVERIFY(!colors.FindName(QStringLiteral(" \t "), found));
    QVERIFY(!colors.FindName(QStringLiteral("Gelb "), found));
    QVERIFY(!colors.FindName(QStringLiteral("Weiß (Hintergrund)"), found));
}

void TestFontDialog::texts()
{
    TBackFontDlgTexts own;
    own.WindowCaption = QStringLiteral("Fonts");
    own.BackgroundSuffix = QStringLiteral(" [back]");
    own.ColorNames[2] = QStringLiteral("Yellow");
    const TBackFontDlgTexts t = CompleteBackFontDlgTexts(own);
    QCOMPARE(t.WindowCaption, QStringLiteral("Fonts"));
    QCOMPARE(t.FontColumnCaption, QStringLiteral("Schriftart"));
    QCOMPARE(t.ColorNames[2], QStringLiteral("Yellow"));
    QCOMPARE(t.ColorNames[3], QStringLiteral("Blau"));
    QCOMPARE(t.EqualColorsQuestion,
             QStringLiteral("Schriftfarbe und Hintergrundfarbe sind identisch!\r\nSoll trotzdem fortgesetzt werden?"));

    // The dialog takes the caller's texts and keeps the defaults of the others.
    QWidget owner;
    TBackFontDlg dlg(&owner, 0x00FFFF, fontOf(Installed, 12), own, nullptr);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Fonts"));
    QCOMPARE(dlg.findChild<QComboBox*>("CoBoBackColors")->currentText(), QStringLiteral("*Yellow [back]"));
    QCOMPARE(dlg.findChild<QComboBox*>("CoBoColors")->itemText(2), QStringLiteral("Yellow"));
    QCOMPARE(dlg.findChild<QLabel*>("LblSize")->text(), QStringLiteral("Schrift&größe (5-35):"));

    QCOMPARE(TBackFontDlg(&owner, ColorWhite, fontOf(Installed, 12), nullptr).windowTitle(),
             QStringLiteral("Schrifteinstellungen"));
}

void TestFontDialog::formatText_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("expected");
    QTest::newRow("numbers and a text in order")
        << "Schriftgröße (%d bis %d): %s" << QStringList{"5", "35", "12"} << "Schriftgröße (5 bis 35): 12";
    QTest::newRow("an empty value leaves nothing") << "Schriftart: %s" << QStringList{""} << "Schriftart: ";
    QTest::newRow("missing values leave nothing") << "%d-%d" << QStringList{"5"} << "5-";
    QTest::newRow("a doubled percent sign is one, a lone one stays") << "100%% %x %" << QStringList{"1"} << "100% %x %";
    QTest::newRow("a value is not read as a pattern") << "%s %s" << QStringList{"%s", "b"} << "%s b";
}

void TestFontDialog::formatText()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, values);
    QFETCH(QString, expected);
    QCOMPARE(FormatText(pattern, values), expected);
}

void TestFontDialog::sizeRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("onLeaving");
    QTest::newRow("empty") << "" << false << 5;
    QTest::newRow("below the range") << "4" << false << 5;
    QTest::newRow("zero") << "0" << false << 5;
    QTest::newRow("the smallest") << "5" << true << 5;
    QTest::newRow("with a leading zero") << "07" << true << 7;
    QTest::newRow("the largest") << "35" << true << 35;
    QTest::newRow("above the range") << "36" << false << 35;
    QTest::newRow("more digits than the field takes") << "120" << false << 35;
    QTest::newRow("not a number") << "1a" << false << 5;
    QTest::newRow("a sign") << "-7" << false << 5;
    QTest::newRow("digits beyond any integer") << "99999999999999999999" << false << 5;
}

void TestFontDialog::sizeRules()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, onLeaving);
    QCOMPARE(SizeTextValid(text), valid);
    QCOMPARE(SizeFromText(text), onLeaving);
}

void TestFontDialog::fontRows_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("currentRow");
    const QStringList some = {"Verdana", "arial Black", "Arial", "Courier New"};
    QTest::newRow("the current font is marked and selected")
        << some << "Arial" << QStringList{"*Arial", "arial Black", "Courier New", "Verdana"} << 0 << 0;
    QTest::newRow("found ignoring letter case")
        << some << "ARIAL BLACK" << QStringList{"Arial", "*arial Black", "Courier New", "Verdana"} << 1 << 1;
    QTest::newRow("not installed: the first row, no mark")
        << some << "Tahoma" << QStringList{"Arial", "arial Black", "Courier New", "Verdana"} << 0 << -1;
    QTest::newRow("no font installed") << QStringList{} << "Arial" << QStringList{} << -1 << -1;
}

void TestFontDialog::fontRows()
{
    QFETCH(QStringList, installed);
    QFETCH(QString, current);
    QFETCH(QStringList, captions);
    QFETCH(int, selected);
    QFETCH(int, currentRow);
    const TFontRows rows = FontListRows(installed, current);
    QCOMPARE(rows.captions, captions);
    QCOMPARE(rows.selected, selected);
    QCOMPARE(rows.current, currentRow);
    // The family behind each row is its caption without the mark.
    QCOMPARE(rows.families.size(), captions.size());
    for (int i = 0; i < captions.size(); ++i)
        QCOMPARE(QString(captions[i]).remove(QRegularExpression("^\\*")), rows.families[i]);
}

void TestFontDialog::startingChoice_data()
{
    QTest::addColumn<TFontSetting>("current");
    QTest::addColumn<uint32_t>("back");
    QTest::addColumn<QString>("fontRow");
    QTest::addColumn<QString>("colorText");
    QTest::addColumn<QString>("backText");
    QTest::addColumn<TFontSetting>("result");
    QTest::addColumn<uint32_t>("newBack");

    TFontSetting plain = fontOf(Installed, 12);
    TFontSetting plainOut = plain;
    plainOut.color = 0x000000;
    QTest::newRow("system text colour on white: Schwarz without a mark, Weiß with one")
        << plain << uint32_t(ColorWhite) << "*" + Installed << "Schwarz"
        << "*Weiß (Hintergrund)" << plainOut << uint32_t(ColorWhite);

    TFontSetting styled = fontOf(Installed.toUpper(), 20, 0x00FFFF);
    styled.bold = styled.italic = styled.underline = styled.strikeOut = true;
    styled.charSet = 2;
    TFontSetting boldOnly = styled;
    boldOnly.name = Installed;
    boldOnly.italic = boldOnly.underline = boldOnly.strikeOut = false;
    QTest::newRow("bold italic underlined in other letter case comes back bold only, character set kept")
        << styled << uint32_t(0xFF0000) << "*" + Installed << "*Gelb"
        << "*Blau (Hintergrund)" << boldOnly << uint32_t(0xFF0000);

    // Not the first row: changing only the size must keep the look the user has.
    TFontSetting missing = fontOf(QStringLiteral("Keine solche Schrift"), 40, 0x0000FF);
    TFontSetting shown = missing;
    shown.name = QFontInfo(QFont(missing.name)).family();
    shown.sizePt = 35;
    QTest::newRow("a font not installed takes the one the system shows, a size above the range the largest")
        << missing << uint32_t(0x123456) << "*" + shown.name << "*Rot"
        << "Schwarz (Hintergrund)" << shown << uint32_t(0x000000);

    TFontSetting tiny = fontOf(Installed, 2, 0x808080);
    TFontSetting smallest = tiny;
    smallest.sizePt = 5;
    QTest::newRow("a size below the range the smallest") << tiny << uint32_t(0x808080) << "*" + Installed << "*Grau"
                                                         << "*Grau (Hintergrund)" << smallest << uint32_t(0x808080);
}

void TestFontDialog::startingChoice()
{
    QFETCH(TFontSetting, current);
    QFETCH(uint32_t, back);
    QFETCH(QString, fontRow);
    QFETCH(QString, colorText);
    QFETCH(QString, backText);
    QFETCH(TFontSetting, result);
    QFETCH(uint32_t, newBack);
    Dialog d(current, back);
    QVERIFY(d.showActive());
    QCOMPARE(d.selectedFontRow(), fontRow);
    auto* list = d.get<QTreeWidget>("LvFonts");
    QCOMPARE(list->topLevelItemCount(), QFontDatabase::families().size());
    int marks = 0;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        marks += list->topLevelItem(i)->text(0).startsWith(u'*');
    QCOMPARE(marks, fontRow.startsWith(u'*') ? 1 : 0);
    QCOMPARE(d.get<QComboBox>("CoBoColors")->currentText(), colorText);
    QCOMPARE(d.get<QComboBox>("CoBoBackColors")->currentText(), backText);
    QCOMPARE(d.get<QLineEdit>("LeSize")->text(), QString::number(result.sizePt));
    QCOMPARE(d.get<QCheckBox>("CbBold")->isChecked(), current.bold);

    const TFontSetting got = d.newFont();
    QCOMPARE(got.name, result.name);
    QCOMPARE(got.sizePt, result.sizePt);
    QCOMPARE(got.color, result.color);
    QVERIFY(got == result);
    QCOMPARE(d.dlg->NewBackColor(), newBack);

    // The dialog shows itself in the current font and background, whatever is chosen.
    const QFont own = d.get("LvFonts")->font();
    QCOMPARE(own.pointSize(), current.sizePt);
    QCOMPARE(own.italic(), current.italic);
    QCOMPARE(d.get("Btn1OK")->font().pointSize(), current.sizePt);
}

void TestFontDialog::choicesAndPreview()
{
    Dialog d(fontOf(Installed, 12), ColorWhite);
    QVERIFY(d.showActive());
    auto* preview = d.get<QLineEdit>("EditTest");
    QCOMPARE(preview->text(), QStringLiteral("Das ist eine Vorschau, wie der Text aussehen wird."));
    QVERIFY(preview->isReadOnly());
    QCOMPARE(preview->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    const auto previewShows = [&](const TFontSetting& f, uint32_t back) {
        const QFont font = preview->font();
        const QPalette p = preview->palette();
        return font.family() == f.name && font.pointSize() == f.sizePt && font.bold() == f.bold &&
               p.color(QPalette::Base) == QColor(int(back & 0xFF), int(back >> 8 & 0xFF), int(back >> 16 & 0xFF)) &&
               p.color(QPalette::Text) ==
                   QColor(int(f.color & 0xFF), int(f.color >> 8 & 0xFF), int(f.color >> 16 & 0xFF));
    };
    TFontSetting expected = fontOf(Installed, 12, 0x000000);
    QVERIFY(previewShows(expected, ColorWhite));

    // Every choice, made from the keyboard, reaches the result and the preview at once.
    QTRY_COMPARE(d.focused(), QStringLiteral("LvFonts"));
    const QStringList families = sortedFamilies();
    const int row = families.indexOf(Installed);
    QVERIFY(families.size() > 1);
    d.key(row + 1 < families.size() ? Qt::Key_Down : Qt::Key_Up);
    expected.name = families[row + 1 < families.size() ? row + 1 : row - 1];
    QCOMPARE(d.newFont(), expected);
    QVERIFY(previewShows(expected, ColorWhite));

    d.key(Qt::Key_Tab);
    QCOMPARE(d.focused(), QStringLiteral("UpDown1"));
    d.key(Qt::Key_Up);
    d.key(Qt::Key_Up);
    expected.sizePt = 14;
    QCOMPARE(d.newFont(), expected);
    QVERIFY(previewShows(expected, ColorWhite));
    d.get<QLineEdit>("LeSize")->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), "30");
    expected.sizePt = 30;
    QCOMPARE(d.newFont(), expected);
    QVERIFY(previewShows(expected, ColorWhite));
    // The preview grows with its font but stays clear of the buttons.
    QVERIFY(preview->height() >= QFontMetrics(preview->font()).height());
    QVERIFY(bottom(preview->geometry()) < d.get("Btn1OK")->y());

    d.key(Qt::Key_Tab);
    QCOMPARE(d.focused(), QStringLiteral("CbBold"));
    d.key(Qt::Key_Space);
    expected.bold = true;
    QCOMPARE(d.newFont(), expected);
    QVERIFY(previewShows(expected, ColorWhite));

    d.key(Qt::Key_Tab);
    QCOMPARE(d.focused(), QStringLiteral("CoBoColors"));
    d.key(Qt::Key_Down); // Weiß
    d.key(Qt::Key_Down); // Gelb
    expected.color = 0x00FFFF;
    d.key(Qt::Key_Tab);
    QCOMPARE(d.focused(), QStringLiteral("CoBoBackColors"));
    d.key(Qt::Key_Down); // from the marked Weiß to Gelb
    QCOMPARE(d.get<QComboBox>("CoBoBackColors")->currentText(), QStringLiteral("Gelb (Hintergrund)"));
    d.key(Qt::Key_Down); // Blau
    QCOMPARE(d.newFont(), expected);
    QCOMPARE(d.dlg->NewBackColor(), uint32_t(0xFF0000));
    QVERIFY(previewShows(expected, 0xFF0000));

    // OK hands over exactly what was shown; the marks never reach the result.
    d.get<QPushButton>("Btn1OK")->click();
    QCOMPARE(d.dlg->result(), int(QDialog::Accepted));
    QVERIFY(d.fragen.isEmpty());
    QCOMPARE(d.newFont(), expected);
}

void TestFontDialog::sizeField_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("okEnabled");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("afterLeaving");
    QTest::newRow("4 is too small") << 17 << "4" << false << "4" << 5;
    QTest::newRow("36 is too large") << 17 << "36" << false << "36" << 35;
    QTest::newRow("35 is the largest") << 17 << "35" << true << "35" << 35;
    QTest::newRow("5 is the smallest") << 17 << "5" << true << "5" << 5;
    QTest::newRow("nothing") << 17 << "" << false << "" << 5;
    QTest::newRow("letters and signs are not taken") << 17 << "2a-+0" << true << "20" << 20;
    QTest::newRow("a third digit is not taken") << 17 << "123" << true << "12" << 12;
    QTest::newRow("nothing where the smallest was: the size stays and OK comes back") << 5 << "" << false << "" << 5;
}

void TestFontDialog::sizeField()
{
    QFETCH(int, start);
    QFETCH(QString, typed);
    QFETCH(bool, okEnabled);
    QFETCH(QString, shown);
    QFETCH(int, afterLeaving);
    Dialog d(fontOf(Installed, start));
    QVERIFY(d.showActive());
    QTRY_COMPARE(d.focused(), QStringLiteral("LvFonts"));
    d.key(Qt::Key_Tab);
    QCOMPARE(d.focused(), QStringLiteral("UpDown1"));
    auto* field = d.get<QLineEdit>("LeSize");
    auto* ok = d.get<QPushButton>("Btn1OK");
    QCOMPARE(field->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QVERIFY(ok->isEnabled());
    d.key(Qt::Key_A, Qt::ControlModifier);
    d.key(Qt::Key_Backspace);
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(QApplication::focusWidget(), typed);
    QCOMPARE(field->text(), shown);
    QCOMPARE(ok->isEnabled(), okEnabled);

    // Enter presses OK only while OK can be pressed, and leaves the text as it is otherwise.
    d.key(Qt::Key_Return);
    QCOMPARE(d.dlg->isVisible(), !okEnabled);
    if (okEnabled) {
        QCOMPARE(d.dlg->result(), int(QDialog::Accepted));
        QCOMPARE(d.newFont().sizePt, afterLeaving);
        return;
    }
    QCOMPARE(field->text(), shown);

    // Leaving the field makes it a size again.
    d.key(Qt::Key_Tab);
    QCOMPARE(d.focused(), QStringLiteral("CbBold"));
    QCOMPARE(field->text(), QString::number(afterLeaving));
    QCOMPARE(d.newFont().sizePt, afterLeaving);
    QCOMPARE(d.get("EditTest")->font().pointSize(), afterLeaving);
    QVERIFY(ok->isEnabled());
}

void TestFontDialog::pasteRefused()
{
    Dialog d;
    QVERIFY(d.showActive());
    QTRY_COMPARE(d.focused(), QStringLiteral("LvFonts"));
    d.key(Qt::Key_Tab);
    auto* field = d.get<QLineEdit>("LeSize");
    auto* item = d.dlg->findChild<QAction*>("PuEinfuegen");
    QVERIFY(item && !item->isVisible());
    QCOMPARE(item->text(), QStringLiteral("Einfügen"));
    QCOMPARE(item->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
    QSignalSpy beeps(item, &QAction::triggered);
    QApplication::clipboard()->setText(QStringLiteral("20"));
    field->selectAll();
    d.key(Qt::Key_V, Qt::ControlModifier);
    d.key(Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(field->text(), QStringLiteral("12"));
    QCOMPARE(beeps.count(), 2);

    // No menu with "Einfügen" opens on the field, neither on the edit nor on its arrows.
    for (QWidget* w : {static_cast<QWidget*>(field), d.get("UpDown1")}) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(5, 5), w->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w, &menu);
        QVERIFY(!QApplication::activePopupWidget());
    }
    QCOMPARE(field->text(), QStringLiteral("12"));
}

void TestFontDialog::previewMenu()
{
    Dialog d;
    QVERIFY(d.showActive());
    auto* preview = d.get<QLineEdit>("EditTest");
    auto* menu = d.get<QMenu>("PuMenuVorschau");
    auto* all = d.dlg->findChild<QAction*>("PuVorschauAllesMarkieren");
    auto* copy = d.dlg->findChild<QAction*>("PuVorschauKopieren");
    QCOMPARE(menu->actions(), (QList<QAction*>{all, copy}));
    QCOMPARE(all->text(), QStringLiteral("Alles &markieren"));
    QCOMPARE(copy->text(), QStringLiteral("&Kopieren"));
    QCOMPARE(all->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    QCOMPARE(copy->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));

    preview->deselect();
    emit menu->aboutToShow();
    QVERIFY(all->isEnabled());
    QVERIFY(!copy->isEnabled());
    all->trigger();
    QCOMPARE(d.focused(), QStringLiteral("EditTest"));
    QCOMPARE(preview->selectedText(), preview->text());
    emit menu->aboutToShow();
    QVERIFY(copy->isEnabled());
    QApplication::clipboard()->clear();
    copy->trigger();
    QCOMPARE(QApplication::clipboard()->text(), preview->text());
}

void TestFontDialog::closing_data()
{
    QTest::addColumn<int>("textColor");
    QTest::addColumn<int>("backColor");
    QTest::addColumn<bool>("okS");
    QTest::addColumn<bool>("antwort");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::newRow("different colours, OK: closes without asking") << 2 << 3 << true << false << false << true;
    QTest::newRow("Gelb on Gelb, OK, Yes: closes") << 2 << 2 << true << true << true << true;
    QTest::newRow("Gelb on Gelb, OK, No: back to the text colour") << 2 << 2 << true << false << true << false;
    QTest::newRow("Gelb on Gelb, Cancel: closes without asking") << 2 << 2 << false << false << false << true;
}

void TestFontDialog::closing()
{
    QFETCH(int, textColor);
    QFETCH(int, backColor);
    QFETCH(bool, okS);
    QFETCH(bool, antwort);
    QFETCH(bool, asked);
    QFETCH(bool, closed);
    Dialog d;
    d.antwort = antwort;
    QVERIFY(d.showActive());
    QTRY_COMPARE(d.focused(), QStringLiteral("LvFonts"));
    d.get<QComboBox>("CoBoColors")->setCurrentIndex(textColor);
    d.get<QComboBox>("CoBoBackColors")->setCurrentIndex(backColor);
    d.tolk.calls.clear();
    d.key(okS ? Qt::Key_Return : Qt::Key_Escape);
    QCOMPARE(d.fragen.isEmpty(), !asked);
    if (asked) {
        QCOMPARE(d.fragen,
                 QStringList{"Schriftfarbe und Hintergrundfarbe sind identisch!\nSoll trotzdem fortgesetzt werden?"});
    }
    QCOMPARE(d.dlg->isVisible(), !closed);
    if (closed) {
        QCOMPARE(d.dlg->result(), int(okS ? QDialog::Accepted : QDialog::Rejected));
        return;
    }
    QCOMPARE(d.focused(), QStringLiteral("CoBoColors"));
    QCOMPARE(d.cues(), QStringList{"output:Schriftfarbe: Gelb"});
}

void TestFontDialog::keyboardWalk()
{
    Dialog d(fontOf(Installed, 12), 0x00FFFF);
    QVERIFY(d.showActive());
    // The list is entered shortly after the dialog opens, so its cue follows the screen reader's own words.
    QTRY_COMPARE(d.focused(), QStringLiteral("LvFonts"));
    QCOMPARE(d.cues(), QStringList{"output:Schriftart: *" + Installed});
    d.tolk.calls.clear();

    const QStringList order = {"UpDown1",  "CbBold", "CoBoColors", "CoBoBackColors",
                               "EditTest", "Btn1OK", "Btn2Cancel", "LvFonts"};
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
    QCOMPARE(d.cues(),
             (QStringList{"output:Schriftgröße (5 bis 35): 12", "output:Schriftfarbe: Schwarz",
                          "output:Hintergrundfarbe: *Gelb (Hintergrund)", "output:Schriftart: *" + Installed}));

    // Back against the tab order the cues come again; a click on the size caption goes to the size field.
    d.tolk.calls.clear();
    d.key(Qt::Key_Backtab);
    d.key(Qt::Key_Backtab);
    d.key(Qt::Key_Backtab);
    d.key(Qt::Key_Backtab);
    QCOMPARE(d.focused(), QStringLiteral("CoBoBackColors"));
    QTest::mouseClick(d.get("LblSize"), Qt::LeftButton);
    QCOMPARE(d.focused(), QStringLiteral("UpDown1"));
    QCOMPARE(d.cues(),
             (QStringList{"output:Hintergrundfarbe: *Gelb (Hintergrund)", "output:Schriftgröße (5 bis 35): 12"}));
    QCOMPARE(d.get<QLabel>("LblSize")->text(), QStringLiteral("Schrift&größe (5-35):"));
    QCOMPARE(d.get<QCheckBox>("CbBold")->text(), QStringLiteral("&Fett"));
    QCOMPARE(d.get<QPushButton>("Btn1OK")->text(), QStringLiteral("O&K"));
    QCOMPARE(d.get<QPushButton>("Btn2Cancel")->text(), QStringLiteral("&Abbrechen"));
    QCOMPARE(d.get<QTreeWidget>("LvFonts")->headerItem()->text(0), QStringLiteral("Schriftart"));
    for (const char* name : {"CoBoColors", "CoBoBackColors"})
        QCOMPARE(d.get<QComboBox>(name)->maxVisibleItems(), 5);
    // The access key of the size caption reaches the field as well.
    d.get("Btn1OK")->setFocus(Qt::TabFocusReason);
    d.key(Qt::Key_G, Qt::AltModifier);
    QCOMPARE(d.focused(), QStringLiteral("UpDown1"));

    // Without a screen reader the dialog works the same, silently.
    Dialog silent(fontOf(Installed, 12), ColorWhite, false);
    QVERIFY(silent.showActive());
    QTRY_COMPARE(silent.focused(), QStringLiteral("LvFonts"));
    silent.key(Qt::Key_Tab);
    QCOMPARE(silent.focused(), QStringLiteral("UpDown1"));
    QVERIFY(silent.tolk.calls.empty());
}

void TestFontDialog::layoutFormulas_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<bool>("styleMinimums");
    QTest::addColumn<QSize>("shrink"); // the work area is this much smaller than the dialog would be
    const QFont plain(Installed, 12);
    QFont bold(Installed, 20);
    bold.setBold(true);
    QTest::newRow("12 pt, the formulas alone") << plain << false << QSize();
    QTest::newRow("20 pt bold") << bold << false << QSize();
    QTest::newRow("controls whose style needs more are not made smaller") << plain << true << QSize();
    QTest::newRow("a narrow screen narrows the list") << QFont(Installed, 30) << false << QSize(40, 0);
    QTest::newRow("a low screen takes the preview's room") << QFont(Installed, 35) << false << QSize(0, 150);
    QTest::newRow("a lower screen takes the list's height too") << QFont(Installed, 35) << false << QSize(0, 400);
}

void TestFontDialog::layoutFormulas()
{
    QFETCH(QFont, font);
    QFETCH(bool, styleMinimums);
    QFETCH(QSize, shrink);
    const QFontMetrics fm(font);
    const auto caption = [&fm](const QString& text) {
        return fm.horizontalAdvance(QString(text).remove(u'&') + "MM ");
    };
    const int h = fm.height();

    BackFontLayoutInput in;
    in.font = font;
    in.buttonCaptions = QStringList{"O&K", "&Abbrechen"};
    in.boldCaption = QStringLiteral("&Fett");
    in.maxLvFontsWidth = caption(QStringLiteral("*DejaVu Sans Mono"));
    in.minLvFontsWidth = caption(QStringLiteral("Schriftart"));
    in.listExtra = 20;
    in.sizeLabel = QSize(fm.horizontalAdvance(QStringLiteral("Schriftgröße (5-35):")), h);
    in.upDownWidth = 16;
    in.frame = QSize(8, 30);
    if (styleMinimums) {
        in.sizeFieldHint = QSize(120, h + 14);
        in.comboHint = QSize(900, h + 10);
        in.boldHint = QSize(200, h + 20);
        in.buttonHint = QSize(300, h + 30);
        in.editHint = QSize(50, h + 16);
    }
    const BackFontLayoutResult free = BackFontSchalterEinrichten(in);
    const bool constrained = shrink.isValid();
    if (constrained)
        in.workArea = free.client + in.frame - shrink;
    const BackFontLayoutResult r = BackFontSchalterEinrichten(in);
    const int cw = r.client.width();
    const int ch = r.client.height();

    // The formulas, with the style's smallest sizes where they ask for more.
    const int b = qMax(qMax(caption("OK"), caption("Abbrechen")), in.buttonHint.width());
    const int btnH = qMax(h + 12, in.buttonHint.height());
    const int sizeH = qMax(h, in.sizeFieldHint.height());
    const int leW = qMax(fm.horizontalAdvance("MM "), in.sizeFieldHint.width() - in.upDownWidth);
    const int editH = qMax(h + 8, in.editHint.height());
    const int comboH = qMax(h, in.comboHint.height());
    QCOMPARE(r.LvFonts.topLeft(), QPoint(10, 10));
    QCOMPARE(r.LvFonts.width(), in.maxLvFontsWidth + in.listExtra - (constrained ? shrink.width() : 0));
    if (shrink.height() <= 0) {
        QCOMPARE(r.LvFonts.height(), 6 * btnH);
        QCOMPARE(r.EditTest.top(), bottom(r.LvFonts) + 20);
        QCOMPARE(r.Btn1OK.top(), r.EditTest.top() + 5 * editH + 20);
    } else if (shrink.height() < 4 * editH) {
        QCOMPARE(r.LvFonts.height(), 6 * btnH);
        QCOMPARE(r.Btn1OK.top(), r.EditTest.top() + 5 * editH + 20 - shrink.height());
    } else {
        QVERIFY(r.LvFonts.height() < 6 * btnH);
        QVERIFY(r.LvFonts.height() >= 3 * btnH);
        QCOMPARE(r.Btn1OK.top(), r.EditTest.top() + editH + 20);
    }
    QCOMPARE(r.LeSize, QRect(right(r.LvFonts) + 10 + in.sizeLabel.width() + 5, (r.LvFonts.height() - sizeH) / 3 + 10,
                             leW, sizeH));
    QCOMPARE(r.UpDown1, QRect(right(r.LeSize), r.LeSize.top(), in.upDownWidth, sizeH));
    QCOMPARE(right(r.LblSize), r.LeSize.left() - 5);
    QCOMPARE(r.LblSize.top(), r.LeSize.top() + (sizeH - h) / 2);
    QCOMPARE(r.CbBold, QRect(right(r.UpDown1) + 10, r.LeSize.top(), qMax(caption("Fett"), in.boldHint.width()),
                             qMax(h + 8, in.boldHint.height())));
    if (styleMinimums)
        QCOMPARE(r.CoBoColors.width(), in.comboHint.width());
    else
        QCOMPARE(cw, right(r.CbBold) + 10);
    QCOMPARE(r.CoBoColors, QRect(right(r.LvFonts) + 10, bottom(r.LeSize) + 20, cw - right(r.LvFonts) - 20, comboH));
    QCOMPARE(r.CoBoBackColors, r.CoBoColors.translated(0, comboH + 20));
    QCOMPARE(r.EditTest, QRect(10, qMax(bottom(r.LvFonts), bottom(r.CoBoBackColors)) + 20, cw - 20, editH));
    const int g = (cw - 2 * b) / 3;
    QCOMPARE(r.Btn1OK, QRect(g, r.Btn1OK.top(), b, btnH));
    QCOMPARE(r.Btn2Cancel, QRect(2 * g + b, r.Btn1OK.top(), b, btnH));
    QCOMPARE(ch, bottom(r.Btn1OK) + 10);

    // Whatever the limits: inside the client area and the work area, nothing overlapping.
    const QRect client(QPoint(0, 0), r.client);
    const QList<QPair<QString, QRect>> all = r.named();
    for (int i = 0; i < all.size(); ++i) {
        QVERIFY2(client.contains(all[i].second), qPrintable(all[i].first + " leaves the dialog"));
        for (int j = i + 1; j < all.size(); ++j)
            QVERIFY2(!all[i].second.intersects(all[j].second), qPrintable(all[i].first + " overlaps " + all[j].first));
    }
    if (constrained) {
        QVERIFY(r.client.width() + in.frame.width() <= in.workArea.width());
        QVERIFY(r.client.height() + in.frame.height() <= in.workArea.height());
    }
}

void TestFontDialog::largePrint_data()
{
    QTest::addColumn<int>("points");
    QTest::newRow("default print") << 12;
    QTest::newRow("30 pt") << 30;
    QTest::newRow("35 pt, the largest") << 35;
}

void TestFontDialog::largePrint()
{
    QFETCH(int, points);
    Dialog d(fontOf(Installed, points), 0xF0CAA6);
    QVERIFY(d.showActive());
    QCOMPARE(d.get("LvFonts")->font().pointSize(), points);
    QCOMPARE(d.get("Btn1OK")->font().pointSize(), points);

    const QRect client(QPoint(0, 0), d.dlg->size());
    const QStringList names = {"LvFonts",        "LblSize",  "UpDown1", "CbBold",    "CoBoColors",
                               "CoBoBackColors", "EditTest", "Btn1OK",  "Btn2Cancel"};
    const auto check = [&] {
        for (int i = 0; i < names.size(); ++i) {
            QWidget* w = d.get(qPrintable(names[i]));
            const QRect g = w->geometry();
            QVERIFY2(client.contains(g), qPrintable(names[i] + " leaves the dialog"));
            for (int j = i + 1; j < names.size(); ++j)
                QVERIFY2(!g.intersects(d.get(qPrintable(names[j]))->geometry()),
                         qPrintable(names[i] + " overlaps " + names[j]));
            // Nothing is smaller than the style needs to show its whole caption or entry.
            if (w != d.get("LvFonts") && w != d.get("EditTest")) {
                QVERIFY2(g.width() >= w->sizeHint().width() && g.height() >= w->sizeHint().height(),
                         qPrintable(names[i] + " is cut off"));
            }
        }
    };
    check();
    // The font list never shortens a row; at worst it scrolls sideways.
    auto* list = d.get<QTreeWidget>("LvFonts");
    const QFontMetrics fm(list->font());
    QVERIFY(list->columnWidth(0) >= list->viewport()->width());
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QString row = list->topLevelItem(i)->text(0);
        QVERIFY2(list->columnWidth(0) >= fm.horizontalAdvance(row), qPrintable(row + " is cut off"));
    }
    QVERIFY(d.dlg->screen()->availableGeometry().contains(d.dlg->frameGeometry()));
    // Centred over its owner where that keeps it on the screen.
    QRect centred(QPoint(0, 0), d.dlg->frameGeometry().size());
    centred.moveCenter(d.owner.frameGeometry().center());
    if (d.dlg->screen()->availableGeometry().contains(centred)) {
        const QPoint offset = d.dlg->frameGeometry().topLeft() - centred.topLeft();
        QVERIFY2(offset.manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
    }

    const QString shots = qEnvironmentVariable("TOBRIK_SCREENSHOTS");
    if (!shots.isEmpty())
        d.dlg->grab().save(QDir(shots).filePath(QStringLiteral("fontdialog-%1pt.png").arg(points)));

    // The largest size chosen: the preview grows and still ends above the buttons.
    d.get<QSpinBox>("UpDown1")->setValue(35);
    check();
    QVERIFY(d.get("EditTest")->height() >= QFontMetrics(d.get("EditTest")->font()).height());
    if (!shots.isEmpty())
        d.dlg->grab().save(QDir(shots).filePath(QStringLiteral("fontdialog-%1pt-preview35.png").arg(points)));
}

// A screen as large as a desktop's, so the dialog can grow with large print.
int main(int argc, char** argv)
{
    QTemporaryDir dir;
    if (!UseDesktopSizedScreen(dir))
        return 1;
    QApplication app(argc, argv);
    TestFontDialog test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_fontdialog.moc"
