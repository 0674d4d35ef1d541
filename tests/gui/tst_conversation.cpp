// The main window's lists and conversation from the user's side: opening partners, the message field,
// unread navigation, marking as read, deleting, sending and the status bar's key hints. Presence comes as
// datagrams on loopback, stored conversations through the window's log store.
#include "windowfixture.h"

#include "common/types.h"
#include "data/journal.h"
#include "data/logformat.h"
#include "data/logliste.h"
#include "data/pcliste.h"
#include "data/userliste.h"
#include "shell/settings.h"
#include "testenv.h"
#include "wine.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QUdpSocket>
#include <QWindow>
#include <algorithm>

namespace {

const QString OwnPC = QStringLiteral("R12-PC");

// The controls a user works with, found by their names.
struct Ui
{
    explicit Ui(QWidget* w)
    {
        liste = w->findChild<QListWidget*>("Lb1Liste");
        eingang = w->findChild<QListWidget*>("Lb1Eingang");
        verlauf = w->findChild<QListWidget*>("Lb1Verlauf");
        name = w->findChild<QLineEdit*>("Le1Name");
        text = w->findChild<QPlainTextEdit*>("Memo1Text");
        log = w->findChild<QPlainTextEdit*>("Re1Log");
        gelesen = w->findChild<QPushButton*>("Btn1Gelesen");
        senden = w->findChild<QPushButton*>("Btn1Senden");
        naechste = w->findChild<QAction*>("MenuAktNachrichtNaechste");
        vorherige = w->findChild<QAction*>("MenuAktNachrichtVorherige");
        aktSenden = w->findChild<QAction*>("MenuAktSenden");
        puLb2Gelesen = w->findChild<QAction*>("PuLb2Gelesen");
        if (auto* bar = w->findChild<QStatusBar*>("StatusBar1")) {
            const QList<QLabel*> panels = bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
            panel3 = panels.size() == 4 ? panels.at(3) : nullptr;
        }
    }
    bool complete() const
    {
        return liste && eingang && verlauf && name && text && log && gelesen && senden && naechste && vorherige &&
               aktSenden && puLb2Gelesen && panel3;
    }

    QListWidget* liste = nullptr;
    QListWidget* eingang = nullptr;
    QListWidget* verlauf = nullptr;
    QLineEdit* name = nullptr;
    QPlainTextEdit* text = nullptr;
    QPlainTextEdit* log = nullptr;
    QPushButton* gelesen = nullptr;
    QPushButton* senden = nullptr;
    QAction* naechste = nullptr;
    QAction* vorherige = nullptr;
    QAction* aktSenden = nullptr;
    QAction* puLb2Gelesen = nullptr;
    QLabel* panel3 = nullptr;
};

// Starts the window, makes it the active one and waits until it has heard its own presence.
bool startActive(Fixture& f)
{
    f.start();
    f.window->activateWindow();
    return QTest::qWaitForWindowActive(f.window.get()) &&
           QTest::qWaitFor([&f] { return f.probe().userListe().FindIndex(OwnPC) >= 0; }, 5000);
}

struct Presence
{
    QString userName;
    QString name;
    QString pc;
    int statusNr = 0;
    bool online = true;
    int usersOnline = 1;
};

// One presence datagram as another PC sends it; true once the window has handled it and redrawn its list.
bool hear(Fixture& f, const Presence& p, const QHostAddress& from = QHostAddress(QHostAddress::LocalHost))
{
    const QByteArray datagram =
        QStringLiteral("TB1|%1|%2|%3|%4|%5|08:15:00|1|%6")
            .arg(p.userName, p.name, p.pc, QString::number(p.statusNr),
                 p.online ? QStringLiteral("1") : QStringLiteral("0"), QString::number(p.usersOnline))
            .toUtf8();
    const auto copies = [&f, &datagram] {
        return std::count_if(f.presence->begin(), f.presence->end(),
                             [&datagram](const QList<QVariant>& args) { return args.at(0).toByteArray() == datagram; });
    };
    const auto before = copies();
    QUdpSocket socket;
    if (!socket.bind(from, 0) || socket.writeDatagram(datagram, QHostAddress::LocalHost, f.ports.Liste) < 0)
        return false;
    return QTest::qWaitFor([&] { return copies() > before; }, 5000) &&
           QTest::qWaitFor([&] { return !f.probe().onlineListRedrawPending(); }, 5000);
}

const Presence Bernd{"bkurz", "Bernd Kurz", "B07-PC"};

TUserListeRec partner(const QString& userName, const QString& name, const QString& pc, int minute)
{
    TUserListeRec rec;
    rec.UserName = userName;
    rec.Name = name;
    rec.PC = pc;
    rec.Zeit = QDateTime(QDate(2026, 12, 9), QTime(10, minute));
    rec.Text = QStringLiteral("Nachricht von %1 (09.12.2026 10:%2:00):\rHallo von %1\r")
                   .arg(name)
                   .arg(minute, 2, 10, QLatin1Char('0'));
    return rec;
}

// A stored conversation as the log view shows it.
QString shownAs(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text + u'\n';
}

// Files a conversation into the inbox or the history and redraws both lists, as a received or read
// message would.
void store(Fixture& f, bool inbox, const TUserListeRec& rec)
{
    f.probe().logListe().Add(inbox, rec);
    f.window->ResetEingangVerlauf(TLogListe::Eingang);
    f.window->ResetEingangVerlauf(TLogListe::Verlauf);
}

// Three unread partners; the inbox shows them newest first: Carla, Dora, Emil.
void storeThreeUnread(Fixture& f)
{
    store(f, true, partner("cx", "Carla", "C01-PC", 30));
    store(f, true, partner("dx", "Dora", "D01-PC", 20));
    store(f, true, partner("ex", "Emil", "E01-PC", 10));
}

int rowOf(QListWidget* list, const QString& pc)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().contains(QStringLiteral(" auf ") + pc + u' '))
            return i;
    }
    return -1;
}

int countSound(const Fixture& f, TSound sound)
{
    return int(std::count(f.sound.played.begin(), f.sound.played.end(), sound));
}

// Mouse input through the window, as the platform delivers it: the second press of a double click
// arrives as a double-click event.
void click(QWidget* w, const QPoint& at, bool twice)
{
    QWindow* window = w->window()->windowHandle();
    const QPoint p = w->mapTo(w->window(), at);
    if (twice)
        QTest::mouseDClick(window, Qt::LeftButton, {}, p);
    else
        QTest::mouseClick(window, Qt::LeftButton, {}, p);
}

QWidget* focused()
{
    return QApplication::focusWidget();
}

// The presence cycle's sound timer ends the quiet period after start about three seconds later.
void waitQuietPeriod()
{
    QTest::qWait(3200);
}

} // namespace

class TestConversation : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void startWithEmptyInboxOffersNoConversationCommands();
    void openFromOnlineList_data();
    void openFromOnlineList();
    void withoutSelectedRowNothingOpens_data();
    void withoutSelectedRowNothingOpens();
    void eachUserOfOnePcOpensOwnConversation();
    void openFromInboxShowsStoredConversation();
    void barBecomesSlashKeepingSelection_data();
    void barBecomesSlashKeepingSelection();
    void messageFieldKeepsWhatCanTravel_data();
    void messageFieldKeepsWhatCanTravel();
    void sendControlsFollowText_data();
    void sendControlsFollowText();
    void enterSendsShiftEnterBreaksLine_data();
    void enterSendsShiftEnterBreaksLine();
    void keysInMessageField_data();
    void keysInMessageField();
    void typingInLogOrNameMovesIntoMessageField_data();
    void typingInLogOrNameMovesIntoMessageField();
    void nextAndPreviousUnread_data();
    void nextAndPreviousUnread();
    void markAsRead_data();
    void markAsRead();
    void markAsReadFromInboxPopup();
    void deleteFromHistory_data();
    void deleteFromHistory();
    void clearLog_data();
    void clearLog();
    void closeConversation();
    void partnerGoingOfflineMakesFieldReadOnly();
    void unchangedPresenceLeavesOnlineListUntouched();
    void burstOfNewUsersIsDrawnTogether();
    void deleteAfterRowsMovedDeletesTheOneAskedAbout();
    void closeShortcutFollowsTheConversation();
    void readOnlyDraftCanStillBeReadByKeyboard();
    void numberPadDeleteDeletes();
    void suspendDuringSendClosesNetworkBeforeTheFailure();
    void quietPeriodSelectsOwnPc();
    void departmentsInOnlineRows();
    void statusBarKeyHints_data();
    void statusBarKeyHints();
    void sendToOwnComputer();
    void failedSendShowsNoticeAndLogsNothing();
    void failedSaveKeepsListsInStepWithTheStore();
    void clearLogAsksAgainAfterAMessageArrived_data();
    void clearLogAsksAgainAfterAMessageArrived();
    void newMessageGoesOnTopOfTheShownLog_data();
    void newMessageGoesOnTopOfTheShownLog();
    void quickMessagesAreShownTogether_data();
    void quickMessagesAreShownTogether();
    void messagesInTheTrayAreShownWhenTheWindowComesBack();
    void focusCues_data();
    void focusCues();
};

void TestConversation::startWithEmptyInboxOffersNoConversationCommands()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(f.probe().aktUserName().PC.isEmpty());
    QVERIFY(!ui.gelesen->isEnabled());
    QVERIFY(!ui.naechste->isEnabled());
    QVERIFY(!ui.vorherige->isEnabled());
    QVERIFY(ui.text->isReadOnly());
}

void TestConversation::openFromOnlineList_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Enter opens the selected row") << 0;
    QTest::newRow("Enter of the number pad opens the selected row") << 1;
    QTest::newRow("Space opens the selected row") << 2;
    QTest::newRow("Double click opens the row") << 3;
    QTest::newRow("Left mouse press opens the row under the mouse") << 4;
}

void TestConversation::openFromOnlineList()
{
    QFETCH(int, how);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    const int row = rowOf(ui.liste, Bernd.pc);
    QVERIFY(row >= 0);
    ui.liste->setFocus();
    const QPoint at = ui.liste->visualItemRect(ui.liste->item(row)).center();
    switch (how) {
    case 0:
        ui.liste->setCurrentRow(row);
        QTest::keyClick(ui.liste, Qt::Key_Return);
        break;
    case 1:
        ui.liste->setCurrentRow(row);
        QTest::keyClick(ui.liste, Qt::Key_Enter, Qt::KeypadModifier);
        break;
    case 2:
        ui.liste->setCurrentRow(row);
        QTest::keyClick(ui.liste, Qt::Key_Space);
        break;
    case 3:
        click(ui.liste->viewport(), at, true);
        break;
    default:
        click(ui.liste->viewport(), at, false);
        break;
    }
    QTRY_COMPARE(f.probe().aktUserName().PC, Bernd.pc);
    QCOMPARE(f.probe().aktUserName().UserName, Bernd.userName);
    QCOMPARE(ui.name->text(), Bernd.name);
    // A partner without a log opens with an empty conversation that cannot be marked as read.
    QVERIFY(ui.log->toPlainText().isEmpty());
    QVERIFY(!ui.gelesen->isEnabled());
    QVERIFY(!ui.text->isReadOnly());
    QCOMPARE(focused(), ui.log);
}

void TestConversation::withoutSelectedRowNothingOpens_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<bool>("toLog");
    QTest::newRow("Enter does nothing") << 0 << false;
    QTest::newRow("Space does nothing") << 2 << false;
    QTest::newRow("Double click only moves to the log") << 3 << true;
    QTest::newRow("Left press only moves to the log") << 4 << true;
}

void TestConversation::withoutSelectedRowNothingOpens()
{
    QFETCH(int, how);
    QFETCH(bool, toLog);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    ui.liste->setFocus();
    ui.liste->setCurrentRow(-1);
    ui.liste->clearSelection();
    const int beepsBefore = f.sound.beeps;
    // Below the last row there is no item.
    const QPoint empty(5, ui.liste->viewport()->height() - 5);
    QVERIFY(!ui.liste->itemAt(empty));
    switch (how) {
    case 0:
        QTest::keyClick(ui.liste, Qt::Key_Return);
        break;
    case 2:
        QTest::keyClick(ui.liste, Qt::Key_Space);
        break;
    case 3:
        click(ui.liste->viewport(), empty, true);
        break;
    default:
        click(ui.liste->viewport(), empty, false);
        break;
    }
    QTest::qWait(20);
    QVERIFY(f.probe().aktUserName().PC.isEmpty());
    QCOMPARE(focused(), toLog ? static_cast<QWidget*>(ui.log) : static_cast<QWidget*>(ui.liste));
    QCOMPARE(f.sound.beeps, beepsBefore);
}

void TestConversation::messageFieldKeepsWhatCanTravel_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<int>("kept");
    QTest::newRow("One character too many") << QString(2049, u'a') << 2048;
    QTest::newRow("Line breaks count twice") << QString("a\n").repeated(1000) << 1365;
    QTest::newRow("Below the limit stays whole") << QString("a\n").repeated(682) << 1364;
}

void TestConversation::messageFieldKeepsWhatCanTravel()
{
    QFETCH(QString, pasted);
    QFETCH(int, kept);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    f.window->SetAktUserName(f.probe().userListe().FindUser(OwnPC));
    ui.text->setPlainText(pasted);
    QCOMPARE(ui.text->toPlainText().size(), kept);
    QCOMPARE(f.sound.beeps, kept < pasted.size() ? 1 : 0);
}

void TestConversation::eachUserOfOnePcOpensOwnConversation()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    // Two users logged on at one terminal server.
    QVERIFY(hear(f, {"zorn", "Zora Zorn", "TS01"}));
    QVERIFY(hear(f, {"bkurz", "Bernd Kurz", "TS01"}));
    for (const QString& userName : {QStringLiteral("bkurz"), QStringLiteral("zorn")}) {
        int row = -1;
        for (int i = 0; i < ui.liste->count(); ++i) {
            const bool isBernd = ui.liste->item(i)->text().startsWith(QStringLiteral("Bernd Kurz "));
            if (ui.liste->item(i)->text().contains(QStringLiteral(" auf TS01 ")) && isBernd == (userName == "bkurz"))
                row = i;
        }
        QVERIFY(row >= 0);
        ui.liste->setFocus();
        ui.liste->setCurrentRow(row);
        QTest::keyClick(ui.liste, Qt::Key_Return);
        QCOMPARE(f.probe().aktUserName().PC, QStringLiteral("TS01"));
        QCOMPARE(f.probe().aktUserName().UserName, userName);
    }
}

void TestConversation::openFromInboxShowsStoredConversation()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    storeThreeUnread(f);
    store(f, false, partner("fx", "Frank", "F01-PC", 40));
    ui.eingang->setFocus();
    ui.eingang->setCurrentRow(1);
    QTest::keyClick(ui.eingang, Qt::Key_Return);
    QCOMPARE(f.probe().aktUserName().PC, QStringLiteral("D01-PC"));
    QCOMPARE(ui.name->text(), QStringLiteral("Dora"));
    QCOMPARE(ui.name->selectedText(), QStringLiteral("Dora"));
    QCOMPARE(ui.log->toPlainText(), QStringLiteral("Nachricht von Dora (09.12.2026 10:20:00):\nHallo von Dora\n"));
    QCOMPARE(ui.log->textCursor().position(), 0);
    QVERIFY(ui.gelesen->isEnabled());
    // Dora is not online, so nothing can be written to her.
    QVERIFY(ui.text->isReadOnly());
    QCOMPARE(focused(), ui.log);

    ui.verlauf->setFocus();
    ui.verlauf->setCurrentRow(0);
    QTest::keyClick(ui.verlauf, Qt::Key_Space);
    QCOMPARE(f.probe().aktUserName().PC, QStringLiteral("F01-PC"));
    QVERIFY(!ui.gelesen->isEnabled());
}

void TestConversation::barBecomesSlashKeepingSelection_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("insertAt"); // -1: typed at the caret
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedAnchor");
    QTest::addColumn<int>("expectedPosition");
    QTest::newRow("Typed bar shows a slash, caret after it") << "ab" << 1 << 1 << -1 << "|"
                                                             << "a/b" << 2 << 2;
    QTest::newRow("Typed bar replaces the selection like any character") << "abcd" << 1 << 3 << -1 << "|"
                                                                         << "a/d" << 2 << 2;
    QTest::newRow("Bars inserted before a backwards selection keep it") << "abcdef" << 4 << 2 << 0 << "|x|"
                                                                        << "/x/abcdef" << 7 << 5;
    QTest::newRow("Bars inserted after the caret leave it") << "abc" << 1 << 1 << 3 << "||"
                                                            << "abc//" << 1 << 1;
}

void TestConversation::barBecomesSlashKeepingSelection()
{
    QFETCH(QString, initial);
    QFETCH(int, anchor);
    QFETCH(int, position);
    QFETCH(int, insertAt);
    QFETCH(QString, inserted);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    f.window->SetAktUserName(f.probe().userListe().FindUser(Bernd.pc));
    ui.text->setPlainText(initial);
    QTextCursor cursor = ui.text->textCursor();
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    ui.text->setTextCursor(cursor);
    if (insertAt < 0) {
        ui.text->setFocus();
        QTest::keyClick(ui.text, '|');
    } else {
        QTextCursor elsewhere(ui.text->document());
        elsewhere.setPosition(insertAt);
        elsewhere.insertText(inserted);
    }
    QTEST(ui.text->toPlainText(), "expected");
    QTEST(ui.text->textCursor().anchor(), "expectedAnchor");
    QTEST(ui.text->textCursor().position(), "expectedPosition");
}

void TestConversation::sendControlsFollowText_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("Text to an open partner can be sent") << true << "Hallo" << true;
    QTest::newRow("Blanks and line breaks only cannot be sent") << true << " \n\t " << false;
    QTest::newRow("Empty field cannot be sent") << true << "" << false;
}

void TestConversation::sendControlsFollowText()
{
    QFETCH(bool, open);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    if (open)
        f.window->SetAktUserName(f.probe().userListe().FindUser(Bernd.pc));
    ui.text->setPlainText(QStringLiteral("x"));
    ui.text->setPlainText(text);
    QCOMPARE(ui.senden->isEnabled(), enabled);
    QCOMPARE(ui.aktSenden->isEnabled(), enabled);
    // Closing the conversation empties the field and so disables sending as well.
    f.window->MenuDateiCloseClick();
    QVERIFY(ui.text->toPlainText().isEmpty());
    QVERIFY(!ui.senden->isEnabled());
    QVERIFY(!ui.aktSenden->isEnabled());
}

void TestConversation::enterSendsShiftEnterBreaksLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<QString>("remaining");
    QTest::newRow("Enter sends") << "Hallo" << int(Qt::NoModifier) << true << 0 << "";
    QTest::newRow("Shift+Enter inserts a line break") << "Hallo" << int(Qt::ShiftModifier) << false << 0 << "Hallo\n";
    QTest::newRow("Enter with nothing to send beeps and adds nothing")
        << "  " << int(Qt::NoModifier) << false << 1 << "  ";
}

void TestConversation::enterSendsShiftEnterBreaksLine()
{
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    QFETCH(bool, sent);
    QFETCH(int, beeps);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    // To the own computer a send completes without a partner on the network.
    f.window->SetAktUserName(f.probe().userListe().FindUser(OwnPC));
    ui.text->setFocus();
    ui.text->setPlainText(text);
    ui.text->moveCursor(QTextCursor::End);
    QTest::keyClick(ui.text, Qt::Key_Return, Qt::KeyboardModifiers(modifiers));
    QTest::qWait(50);
    QCOMPARE(f.probe().logListe().Count(TLogListe::Eingang), sent ? 1 : 0);
    QCOMPARE(f.sound.beeps, beeps);
    QTEST(ui.text->toPlainText(), "remaining");
}

void TestConversation::keysInMessageField_data()
{
    QTest::addColumn<bool>("partnerOnline");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("keyText");
    QTest::addColumn<bool>("beep");
    QTest::addColumn<bool>("typingSound");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Letter plays the typing sound") << true << int(Qt::Key_X) << "x" << false << true << "abx";
    QTest::newRow("Backspace plays the typing sound") << true << int(Qt::Key_Backspace) << "\b" << false << true << "a";
    QTest::newRow("Arrow key plays nothing") << true << int(Qt::Key_Left) << "" << false << false << "ab";
    QTest::newRow("Letter while the partner is offline beeps")
        << false << int(Qt::Key_X) << "x" << true << false << "ab";
    QTest::newRow("Backspace while the partner is offline beeps")
        << false << int(Qt::Key_Backspace) << "\b" << true << false << "ab";
    QTest::newRow("Enter while the partner is offline beeps")
        << false << int(Qt::Key_Return) << "\r" << true << false << "ab";
}

void TestConversation::keysInMessageField()
{
    QFETCH(bool, partnerOnline);
    QFETCH(int, key);
    QFETCH(QString, keyText);
    QFETCH(bool, beep);
    QFETCH(bool, typingSound);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    f.window->SetAktUserName(f.probe().userListe().FindUser(Bernd.pc));
    ui.text->setPlainText(QStringLiteral("ab"));
    ui.text->moveCursor(QTextCursor::End);
    if (!partnerOnline) {
        QVERIFY(hear(f, {Bernd.userName, Bernd.name, Bernd.pc, 0, false}));
        QVERIFY(ui.text->isReadOnly());
    }
    ui.text->setFocus();
    f.sound.played.clear();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, keyText);
    QApplication::sendEvent(ui.text, &press);
    QCOMPARE(f.sound.beeps, beep ? 1 : 0);
    QCOMPARE(countSound(f, TSound::sTyping), typingSound ? 1 : 0);
    QTEST(ui.text->toPlainText(), "expected");
}

void TestConversation::typingInLogOrNameMovesIntoMessageField_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("partnerOnline");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("keyText");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<bool>("beep");
    for (const char* control : {"Re1Log", "Le1Name"}) {
        const QString c = QString::fromLatin1(control);
        QTest::addRow("%s: a letter moves into the message field", control)
            << c << true << int(Qt::Key_X) << "x" << int(Qt::NoModifier) << true << false;
        QTest::addRow("%s: space beeps", control)
            << c << true << int(Qt::Key_Space) << " " << int(Qt::NoModifier) << false << true;
        QTest::addRow("%s: Backspace beeps", control)
            << c << true << int(Qt::Key_Backspace) << "\b" << int(Qt::NoModifier) << false << true;
        QTest::addRow("%s: Enter beeps", control)
            << c << true << int(Qt::Key_Return) << "\r" << int(Qt::NoModifier) << false << true;
        QTest::addRow("%s: Escape passes silently", control)
            << c << true << int(Qt::Key_Escape) << "\x1b" << int(Qt::NoModifier) << false << false;
        QTest::addRow("%s: Ctrl+C stays a command", control)
            << c << true << int(Qt::Key_C) << "\x03" << int(Qt::ControlModifier) << false << false;
        QTest::addRow("%s: a letter beeps while the partner is offline", control)
            << c << false << int(Qt::Key_X) << "x" << int(Qt::NoModifier) << false << true;
    }
}

void TestConversation::typingInLogOrNameMovesIntoMessageField()
{
    QFETCH(QString, control);
    QFETCH(bool, partnerOnline);
    QFETCH(int, key);
    QFETCH(QString, keyText);
    QFETCH(int, modifiers);
    QFETCH(bool, moves);
    QFETCH(bool, beep);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    f.window->SetAktUserName(f.probe().userListe().FindUser(Bernd.pc));
    if (!partnerOnline)
        QVERIFY(hear(f, {Bernd.userName, Bernd.name, Bernd.pc, 0, false}));
    // A selection in the message field is kept: the character goes in at the caret.
    ui.text->setPlainText(QStringLiteral("Hallo Welt"));
    QTextCursor cursor = ui.text->textCursor();
    cursor.setPosition(6);
    cursor.setPosition(10, QTextCursor::KeepAnchor);
    ui.text->setTextCursor(cursor);
    QWidget* target = f.window->findChild<QWidget*>(control);
    QVERIFY(target);
    target->setFocus();
    f.sound.played.clear();
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), keyText);
    QApplication::sendEvent(target, &press);
    QCOMPARE(ui.text->toPlainText(), moves ? QStringLiteral("Hallo Weltx") : QStringLiteral("Hallo Welt"));
    QCOMPARE(focused(), moves ? static_cast<QWidget*>(ui.text) : target);
    QCOMPARE(countSound(f, TSound::sTyping), moves ? 1 : 0);
    QCOMPARE(f.sound.beeps, beep ? 1 : 0);
}

void TestConversation::nextAndPreviousUnread_data()
{
    QTest::addColumn<QString>("openPC"); // empty: no conversation; F01-PC is in the history
    QTest::addColumn<bool>("naechsteS");
    QTest::addColumn<QString>("expectedPC");
    QTest::addColumn<bool>("naechsteEnabled");
    QTest::addColumn<bool>("vorherigeEnabled");
    QTest::newRow("Second open, next opens the third and is then disabled")
        << "D01-PC" << true << "E01-PC" << false << true;
    QTest::newRow("Second open, previous opens the first and is then disabled")
        << "D01-PC" << false << "C01-PC" << true << false;
    QTest::newRow("First open, previous does nothing") << "C01-PC" << false << "C01-PC" << true << false;
    QTest::newRow("Third open, next does nothing") << "E01-PC" << true << "E01-PC" << false << true;
    QTest::newRow("Partner from the history open, next opens the first")
        << "F01-PC" << true << "C01-PC" << true << false;
    QTest::newRow("Partner from the history open, previous opens the first")
        << "F01-PC" << false << "C01-PC" << true << false;
    QTest::newRow("Nothing open, next opens the first") << "" << true << "C01-PC" << true << false;
}

void TestConversation::nextAndPreviousUnread()
{
    QFETCH(QString, openPC);
    QFETCH(bool, naechsteS);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    storeThreeUnread(f);
    store(f, false, partner("fx", "Frank", "F01-PC", 40));
    if (!openPC.isEmpty()) {
        TUserListeRec key;
        key.PC = openPC;
        key.UserName = QString(openPC.at(0).toLower()) + u'x';
        f.window->SetAktUserName(f.probe().logListe().Find(key, false));
        QCOMPARE(f.probe().aktUserName().PC, openPC);
    } else {
        f.window->SetAktUserName(TUserListeRec());
    }
    ui.log->setFocus();
    f.sound.played.clear();
    if (naechsteS)
        QTest::keyClick(ui.log, Qt::Key_PageDown, Qt::ControlModifier);
    else
        QTest::keyClick(ui.log, Qt::Key_PageUp, Qt::ControlModifier);
    QFETCH(QString, expectedPC);
    QCOMPARE(f.probe().aktUserName().PC, expectedPC);
    QCOMPARE(countSound(f, TSound::sClick), expectedPC != openPC ? 1 : 0);
    QTEST(ui.naechste->isEnabled(), "naechsteEnabled");
    QTEST(ui.vorherige->isEnabled(), "vorherigeEnabled");
    QVERIFY(ui.gelesen->isEnabled());
    QCOMPARE(focused(), ui.log);
}

void TestConversation::markAsRead_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("Button") << false;
    QTest::newRow("Ctrl+G") << true;
}

void TestConversation::markAsRead()
{
    QFETCH(bool, byKey);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    store(f, true, partner("cx", "Carla", "C01-PC", 30));
    store(f, true, partner("dx", "Dora", "D01-PC", 20));
    auto markRead = [&] {
        if (byKey)
            QTest::keyClick(ui.log, Qt::Key_G, Qt::ControlModifier);
        else
            ui.gelesen->click();
    };
    f.window->SetAktUserName(f.probe().logListe().Get(TLogListe::Eingang, 1));
    QCOMPARE(f.probe().aktUserName().PC, QStringLiteral("D01-PC"));
    ui.log->setFocus();
    markRead();
    // Dora is filed as read; the first remaining unread partner opens.
    QCOMPARE(ui.eingang->count(), 1);
    QCOMPARE(ui.verlauf->count(), 1);
    QVERIFY(ui.verlauf->item(0)->text().startsWith(QStringLiteral("Dora auf D01-PC")));
    QCOMPARE(f.probe().aktUserName().PC, QStringLiteral("C01-PC"));
    QCOMPARE(focused(), ui.log);
    QCOMPARE(countSound(f, TSound::sRead), 1);
    QVERIFY(f.probe().iconHint().endsWith(QStringLiteral("; Ungelesen: 1")));

    // The last one leaves no conversation and the focus on the empty inbox.
    markRead();
    QCOMPARE(ui.eingang->count(), 0);
    QCOMPARE(ui.verlauf->count(), 2);
    QVERIFY(f.probe().aktUserName().PC.isEmpty());
    QVERIFY(ui.name->text().isEmpty());
    QVERIFY(ui.log->toPlainText().isEmpty());
    QVERIFY(!ui.gelesen->isEnabled());
    QCOMPARE(focused(), ui.eingang);
    QCOMPARE(countSound(f, TSound::sRead), 2);

    // Stored as read: a fresh load finds both in the history.
    TLogListe reloaded(f.dir.path() + "/logs/", f.clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Eingang), 0);
    QCOMPARE(reloaded.Count(TLogListe::Verlauf), 2);
}

void TestConversation::markAsReadFromInboxPopup()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    storeThreeUnread(f);
    f.window->SetAktUserName(f.probe().logListe().Get(TLogListe::Eingang, 1));
    QVERIFY(ui.gelesen->isEnabled());
    ui.eingang->setFocus();
    ui.eingang->setCurrentRow(1);
    ui.puLb2Gelesen->trigger();
    // The open conversation stays, but it is no longer unread.
    QCOMPARE(f.probe().aktUserName().PC, QStringLiteral("D01-PC"));
    QVERIFY(!ui.gelesen->isEnabled());
    QCOMPARE(ui.eingang->count(), 2);
    QCOMPARE(rowOf(ui.eingang, "D01-PC"), -1);
    QCOMPARE(rowOf(ui.verlauf, "D01-PC"), 0);
    QCOMPARE(focused(), ui.eingang);
    QCOMPARE(countSound(f, TSound::sRead), 1);

    // Marking a row other than the open one leaves the open one unread.
    f.window->SetAktUserName(f.probe().logListe().Get(TLogListe::Eingang, 0));
    ui.eingang->setCurrentRow(1);
    ui.puLb2Gelesen->trigger();
    QCOMPARE(f.probe().aktUserName().PC, QStringLiteral("C01-PC"));
    QVERIFY(ui.gelesen->isEnabled());
    QCOMPARE(ui.eingang->count(), 1);
    QCOMPARE(ui.verlauf->count(), 2);
}

void TestConversation::deleteFromHistory_data()
{
    QTest::addColumn<int>("history");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("selectedAfter");
    QTest::newRow("Middle row, the next one moves up into its place") << 3 << 1 << true << 1;
    QTest::newRow("Last row selects the new last row") << 3 << 2 << true << 1;
    QTest::newRow("The only row leaves an empty list") << 1 << 0 << true << -1;
    QTest::newRow("Answering No keeps everything") << 3 << 1 << false << 1;
}

void TestConversation::deleteFromHistory()
{
    QFETCH(int, history);
    QFETCH(int, row);
    QFETCH(bool, yes);
    QFETCH(int, selectedAfter);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    const QList<TUserListeRec> partners = {partner("cx", "Carla", "C01-PC", 30), partner("dx", "Dora", "D01-PC", 20),
                                           partner("ex", "Emil", "E01-PC", 10)};
    for (int i = 0; i < history; ++i)
        store(f, false, partners.at(i));
    const TUserListeRec victim = f.probe().logListe().Get(TLogListe::Verlauf, row);
    const QString logFile = f.probe().logListe().LogFilePath(victim);
    QVERIFY(QFile::exists(logFile));
    f.window->SetAktUserName(victim);
    const QString rowText = ui.verlauf->item(row)->text();
    ui.verlauf->setFocus();
    ui.verlauf->setCurrentRow(row);
    f.dialogs.antwort = yes;
    QTest::keyClick(ui.verlauf, Qt::Key_Delete);
    QCOMPARE(f.dialogs.fragen,
             QStringList{QStringLiteral("Soll die Nachricht \"%1\" wirklich gelöscht werden?").arg(rowText)});
    QCOMPARE(ui.verlauf->count(), yes ? history - 1 : history);
    QCOMPARE(f.probe().logListe().Count(TLogListe::Verlauf), ui.verlauf->count());
    QCOMPARE(ui.verlauf->currentRow(), selectedAfter);
    QCOMPARE(QFile::exists(logFile), !yes);
    QCOMPARE(countSound(f, TSound::sDelete), yes ? 1 : 0);
    // The deleted partner's open conversation closes with it.
    QCOMPARE(f.probe().aktUserName().PC.isEmpty(), yes);
    QCOMPARE(rowOf(ui.verlauf, victim.PC) < 0, yes);
    QCOMPARE(focused(), ui.verlauf);
}

void TestConversation::clearLog_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes empties the conversation") << true;
    QTest::newRow("No keeps it") << false;
}

void TestConversation::clearLog()
{
    QFETCH(bool, yes);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    TUserListeRec bernd = partner(Bernd.userName, Bernd.name, Bernd.pc, 30);
    store(f, false, bernd);
    f.window->SetAktUserName(f.probe().logListe().Find(bernd, false));
    QVERIFY(!ui.log->toPlainText().isEmpty());
    f.dialogs.antwort = yes;
    f.window->PuEditLogLeerenClick();
    QCOMPARE(f.dialogs.fragen, QStringList{QStringLiteral("Soll das Log mit \"Bernd Kurz\" wirklich geleert werden?")});
    QCOMPARE(f.probe().aktUserName().Text.isEmpty(), yes);
    QCOMPARE(ui.log->toPlainText().isEmpty(), yes);
    QCOMPARE(f.probe().logListe().Find(bernd, false).Text.isEmpty(), yes);
    // The partner stays in the history; on disk the log keeps only its header, which a fresh load skips.
    QCOMPARE(ui.verlauf->count(), 1);
    QVERIFY(QFile::exists(f.probe().logListe().LogFilePath(bernd)));
    TLogListe reloaded(f.dir.path() + "/logs/", f.clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Verlauf), yes ? 0 : 1);

    // With nothing left to clear there is no question.
    if (yes) {
        f.window->PuEditLogLeerenClick();
        QCOMPARE(f.dialogs.fragen.size(), 1);
    }
}

void TestConversation::closeConversation()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    f.window->SetAktUserName(f.probe().userListe().FindUser(Bernd.pc));
    ui.text->setPlainText(QStringLiteral("Entwurf"));
    ui.log->setFocus();
    f.sound.played.clear();
    QTest::keyClick(ui.log, Qt::Key_F4, Qt::ControlModifier);
    QVERIFY(f.probe().aktUserName().PC.isEmpty());
    QVERIFY(ui.name->text().isEmpty());
    QVERIFY(ui.text->toPlainText().isEmpty());
    QVERIFY(ui.text->isReadOnly());
    QCOMPARE(focused(), ui.eingang);
    QCOMPARE(countSound(f, TSound::sClick), 1);
}

void TestConversation::partnerGoingOfflineMakesFieldReadOnly()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    f.window->SetAktUserName(f.probe().userListe().FindUser(Bernd.pc));
    QVERIFY(!ui.text->isReadOnly());
    const int rows = ui.liste->count();
    // The one datagram that removes the row also closes the field.
    QVERIFY(hear(f, {Bernd.userName, Bernd.name, Bernd.pc, 0, false}));
    QCOMPARE(ui.liste->count(), rows - 1);
    QVERIFY(ui.text->isReadOnly());
    ui.text->setFocus();
    QTest::keyClick(ui.text, 'a');
    QCOMPARE(f.sound.beeps, 1);
    QVERIFY(ui.text->toPlainText().isEmpty());
    // Back online, writing is possible again.
    QVERIFY(hear(f, Bernd));
    QVERIFY(!ui.text->isReadOnly());
}

void TestConversation::unchangedPresenceLeavesOnlineListUntouched()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    waitQuietPeriod();
    QVERIFY(hear(f, Bernd));
    const int row = rowOf(ui.liste, Bernd.pc);
    ui.liste->setCurrentRow(row);
    const QString before = ui.liste->item(row)->text();
    const int redraws = f.probe().onlineListRedraws();
    QVERIFY(hear(f, Bernd));
    // Only the count of users the partner sees changed: nothing visible.
    Presence moreUsers = Bernd;
    moreUsers.usersOnline = 5;
    QVERIFY(hear(f, moreUsers));
    QCOMPARE(f.probe().onlineListRedraws(), redraws);
    QCOMPARE(ui.liste->currentRow(), row);

    Presence away = moreUsers;
    away.statusNr = 1;
    QVERIFY(hear(f, away));
    QCOMPARE(f.probe().onlineListRedraws(), redraws + 1);
    QCOMPARE(ui.liste->currentRow(), row);
    QCOMPARE(ui.liste->item(row)->text(), QString(before).replace("(Online ", "(Abwesend "));
    QCOMPARE(countSound(f, TSound::sAway), 1);
}

void TestConversation::burstOfNewUsersIsDrawnTogether()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QTRY_VERIFY(!f.probe().onlineListRedrawPending());
    const int redraws = f.probe().onlineListRedraws();
    const int rows = ui.liste->count();
    QUdpSocket socket;
    for (int i = 0; i < 40; ++i)
        socket.writeDatagram(
            QStringLiteral("TB1|u%1|User %1|P%1-PC|0|1|08:15:00|1|40").arg(i, 2, 10, QChar(u'0')).toUtf8(),
            QHostAddress::LocalHost, f.ports.Liste);
    // Every user arrives, in a few redraws rather than one per datagram.
    QTRY_COMPARE(ui.liste->count(), rows + 40);
    QTRY_VERIFY(!f.probe().onlineListRedrawPending());
    QVERIFY2(f.probe().onlineListRedraws() - redraws < 40,
             qPrintable(QString::number(f.probe().onlineListRedraws() - redraws)));
    QCOMPARE(rowOf(ui.liste, "P39-PC") >= 0, true);
}

void TestConversation::deleteAfterRowsMovedDeletesTheOneAskedAbout()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    const TUserListeRec carla = partner("cx", "Carla", "C01-PC", 30);
    const TUserListeRec dora = partner("dx", "Dora", "D01-PC", 20);
    store(f, false, carla);
    store(f, false, dora);
    const int row = rowOf(ui.verlauf, dora.PC);
    QCOMPARE(row, 1);
    ui.verlauf->setCurrentRow(row);
    // While the question waits, Carla writes: she leaves the history and Dora moves up.
    f.dialogs.waehrendFrage = [&] { store(f, true, carla); };
    f.window->PuLb3LoeschenClick();
    QVERIFY(!QFile::exists(f.probe().logListe().LogFilePath(dora)));
    QVERIFY(QFile::exists(f.probe().logListe().LogFilePath(carla)));
    QCOMPARE(rowOf(ui.verlauf, dora.PC), -1);
    QCOMPARE(f.probe().logListe().Count(TLogListe::Eingang), 1);
}

void TestConversation::closeShortcutFollowsTheConversation()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    auto* close = f.window->findChild<QAction*>("MenuDateiClose");
    QVERIFY(!close->isEnabled());
    f.window->SetAktUserName(partner("cx", "Carla", "C01-PC", 30));
    // Ctrl+F4 works without the menu "Datei" ever being opened.
    QVERIFY(close->isEnabled());
    ui.log->setFocus();
    QTest::keyClick(ui.log, Qt::Key_F4, Qt::ControlModifier);
    QVERIFY(f.probe().aktUserName().PC.isEmpty());
    QVERIFY(!close->isEnabled());
}

void TestConversation::readOnlyDraftCanStillBeReadByKeyboard()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    f.window->SetAktUserName(f.probe().userListe().FindUser(Bernd.pc));
    ui.text->setFocus();
    QTest::keyClicks(ui.text, "Hallo");
    QVERIFY(hear(f, {Bernd.userName, Bernd.name, Bernd.pc, 0, false}));
    QVERIFY(ui.text->isReadOnly());
    QTest::keyClick(ui.text, Qt::Key_Home);
    QTest::keyClick(ui.text, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(ui.text->textCursor().selectedText(), QStringLiteral("H"));
    QCOMPARE(ui.text->toPlainText(), QStringLiteral("Hallo"));
}

void TestConversation::numberPadDeleteDeletes()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    store(f, false, partner("cx", "Carla", "C01-PC", 30));
    ui.verlauf->setFocus();
    ui.verlauf->setCurrentRow(0);
    QTest::keyClick(ui.verlauf, Qt::Key_Delete, Qt::KeypadModifier);
    QCOMPARE(f.dialogs.fragen.size(), 1);
    QCOMPARE(ui.verlauf->count(), 0);
}

void TestConversation::suspendDuringSendClosesNetworkBeforeTheFailure()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    // Bernd's presence comes from a loopback address where nobody acknowledges.
    QVERIFY(hear(f, Bernd, QHostAddress(QStringLiteral("127.0.0.2"))));
    f.window->SetAktUserName(f.probe().userListe().FindUser(Bernd.pc));
    ui.text->setFocus();
    QTest::keyClicks(ui.text, "Hallo");
    QTest::keyClick(ui.text, Qt::Key_Return);
    QTRY_VERIFY(f.window->isSending());
    f.dialogs.infos.clear();
    f.power.triggerSuspending();
    // The suspend is complete before the failure is shown, and does not wait for it.
    QVERIFY(f.dialogs.infos.isEmpty());
    QVERIFY(!f.probe().endpoints().isOpen());
    QVERIFY(!f.window->isSending());
    QTRY_COMPARE(f.dialogs.infos, QStringList{QStringLiteral("Der Text konnte nicht gesendet werden!")});
    QCOMPARE(ui.text->toPlainText(), QStringLiteral("Hallo"));
}

void TestConversation::quietPeriodSelectsOwnPc()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    // "Aaron" sorts before the own user, so the own row is not simply the first.
    const Presence aaron{"aaron", "Aaron", "A01-PC"};
    QVERIFY(hear(f, aaron));
    QCOMPARE(rowOf(ui.liste, "A01-PC"), 0);
    ui.liste->setCurrentRow(0);
    QVERIFY(hear(f, {aaron.userName, aaron.name, aaron.pc, 1}));
    QCOMPARE(ui.liste->currentRow(), rowOf(ui.liste, OwnPC));

    waitQuietPeriod();
    ui.liste->setCurrentRow(0);
    QVERIFY(hear(f, {aaron.userName, aaron.name, aaron.pc, 2}));
    QCOMPARE(ui.liste->currentRow(), 0);
}

void TestConversation::departmentsInOnlineRows()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QFile users(f.dir.path() + "/User.txt");
    QVERIFY(users.open(QIODevice::WriteOnly));
    users.write("bkurz|B07-PC|Verwaltung\r\nclang|C08-PC|Technik\r\n");
    users.close();
    QVERIFY(f.probe().pcListe().LoadUser());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    QVERIFY(hear(f, {"clang", "Carl Lang", "c08-pc"}));
    QCOMPARE(ui.liste->item(rowOf(ui.liste, Bernd.pc))->text(),
             QStringLiteral("Bernd Kurz (Verwaltung) auf B07-PC (Online seit 08:15:00)"));
    QCOMPARE(ui.liste->item(rowOf(ui.liste, "c08-pc"))->text(),
             QStringLiteral("Carl Lang auf c08-pc (Online seit 08:15:00)"));
}

void TestConversation::statusBarKeyHints_data()
{
    QTest::addColumn<int>("open"); // inbox position, -1 none, -2 the own PC
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Nothing open and nothing unread")
        << -1 << "" << QStringLiteral("Strg+O=Optionen; Strg+Alt+BildAb=Minimieren");
    QTest::newRow("Second of three unread open")
        << 1 << "" << QStringLiteral("Strg+BildAb=Nächste; Strg+G=Gelesen; Strg+Alt+BildAb=Minimieren");
    QTest::newRow("Last of three unread open")
        << 2 << "" << QStringLiteral("Strg+BildAuf=Vorherige; Strg+G=Gelesen; Strg+Alt+BildAb=Minimieren");
    QTest::newRow("Text typed to an online partner")
        << -2 << "Hallo" << QStringLiteral("Strg+S=Senden; Strg+Alt+BildAb=Minimieren");
}

void TestConversation::statusBarKeyHints()
{
    QFETCH(int, open);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    if (open >= 0)
        storeThreeUnread(f);
    if (open >= 0)
        f.window->SetAktUserName(f.probe().logListe().Get(TLogListe::Eingang, open));
    else if (open == -2)
        f.window->SetAktUserName(f.probe().userListe().FindUser(OwnPC));
    else
        f.window->MenuDateiCloseClick();
    ui.text->setPlainText(typed);
    // State announcements take the panel for a while; the hints come back after them.
    QTRY_COMPARE_WITH_TIMEOUT(ui.panel3->text(), expected, 8000);
}

void TestConversation::sendToOwnComputer()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    f.store.writeDword("FensterNachSendenMinimieren", 1);
    QVERIFY(startActive(f));
    QVERIFY(f.window->settings().Einstellungen.FensterNachSendenMinimierenS);
    QSignalSpy onTheWire(&f.probe().endpoints(), &UdpEndpoints::textReceived);
    ui.liste->setFocus();
    ui.liste->setCurrentRow(rowOf(ui.liste, OwnPC));
    QTest::keyClick(ui.liste, Qt::Key_Return);
    QCOMPARE(f.probe().aktUserName().PC, OwnPC);
    ui.text->setPlainText(QStringLiteral("Notiz an mich"));
    f.sound.played.clear();
    ui.senden->click();
    QTRY_COMPARE(f.probe().logListe().Count(TLogListe::Eingang), 1);
    const QString text = f.probe().aktUserName().Text;
    QVERIFY2(text.startsWith(QStringLiteral("Nachricht von amaier (09.12.2026 14:05:09):\rNotiz an mich\r")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Nachricht an amaier (09.12.2026 14:05:09):\rNotiz an mich\r")),
             qPrintable(text));
    QCOMPARE(ui.eingang->count(), 1);
    QVERIFY(ui.text->toPlainText().isEmpty());
    QVERIFY(ui.gelesen->isEnabled());
    QCOMPARE(focused(), ui.log);
    QCOMPARE(countSound(f, TSound::sOutgoing), 1);
    QCOMPARE(countSound(f, TSound::sIncoming), 1);
    QVERIFY(f.dialogs.infos.isEmpty());
    // Neither sent over the network nor minimised afterwards.
    QTest::qWait(1300);
    QCOMPARE(onTheWire.size(), 0);
    QVERIFY(!f.window->inTray());
}

void TestConversation::failedSendShowsNoticeAndLogsNothing()
{
    if (RunningUnderWine())
        QSKIP("Wine binds a loopback socket to the whole loopback device: 127.0.0.2 reaches the window itself");
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    // Its presence comes from a loopback address on which no program listens for messages.
    const Presence silent{"cstumm", "Clara Stumm", "C09-PC"};
    QVERIFY(hear(f, silent, QHostAddress(QStringLiteral("127.0.0.2"))));
    f.window->SetAktUserName(f.probe().userListe().FindUser(silent.pc));
    ui.text->setPlainText(QStringLiteral("Bist du da?"));
    ui.senden->click();
    QTRY_VERIFY(f.window->isSending());
    QVERIFY(!ui.senden->isEnabled());
    QVERIFY(!ui.aktSenden->isEnabled());
    // A second send while waiting only beeps.
    f.window->Btn1SendenClick();
    QCOMPARE(f.sound.beeps, 1);
    QTRY_COMPARE_WITH_TIMEOUT(f.dialogs.infos, QStringList{QStringLiteral("Der Text konnte nicht gesendet werden!")},
                              6000);
    QVERIFY(!f.window->isSending());
    QCOMPARE(ui.text->toPlainText(), QStringLiteral("Bist du da?"));
    QVERIFY(ui.senden->isEnabled());
    QVERIFY(ui.aktSenden->isEnabled());
    QVERIFY(f.probe().aktUserName().Text.isEmpty());
    QCOMPARE(f.probe().logListe().Count(TLogListe::Eingang) + f.probe().logListe().Count(TLogListe::Verlauf), 0);
    QVERIFY(!QFile::exists(f.probe().logListe().LogFilePath(f.probe().aktUserName())));
    QCOMPARE(countSound(f, TSound::sOutgoing), 0);
}

void TestConversation::failedSaveKeepsListsInStepWithTheStore()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    store(f, true, partner("cx", "Carla", "C01-PC", 30));
    const TUserListeRec own = f.probe().userListe().FindUser(OwnPC);
    // Folders where the own log and its journal belong: no save can replace them, not even as root.
    QVERIFY(QDir().mkpath(f.probe().logListe().LogFilePath(own)));
    QVERIFY(QDir().mkpath(QFileInfo(f.probe().logListe().LogFilePath(own)).path() + u'/' +
                          JournalFileName(PartnerKey(own))));
    f.window->SetAktUserName(own);
    ui.text->setPlainText(QStringLiteral("An mich selbst"));
    ui.senden->click();
    QTRY_COMPARE(f.dialogs.infos, QStringList{QStringLiteral("Der Text konnte nicht gesendet werden!")});
    // Every row opens the entry the store has at that position.
    for (auto [list, nr] : {std::pair{ui.eingang, TLogListe::Eingang}, {ui.verlauf, TLogListe::Verlauf}}) {
        QCOMPARE(list->count(), f.probe().logListe().Count(nr));
        for (int row = 0; row < list->count(); ++row)
            QVERIFY2(list->item(row)->text().contains(f.probe().logListe().Get(nr, row).Name),
                     qPrintable(list->item(row)->text()));
    }
}

void TestConversation::clearLogAsksAgainAfterAMessageArrived_data()
{
    QTest::addColumn<bool>("secondAnswer");
    QTest::newRow("Yes the second time empties both") << true;
    QTest::newRow("No the second time keeps the new message") << false;
}

void TestConversation::clearLogAsksAgainAfterAMessageArrived()
{
    QFETCH(bool, secondAnswer);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    TUserListeRec bernd = partner(Bernd.userName, Bernd.name, Bernd.pc, 30);
    store(f, false, bernd);
    f.window->SetAktUserName(f.probe().logListe().Find(bernd, false));
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    // While the first question is open, Bernd writes (and is acknowledged); the second question gets the
    // second answer.
    f.dialogs.waehrendFrage = [&] {
        if (f.dialogs.fragen.size() == 1) {
            peer.writeDatagram(QByteArray("TB1|bkurz|Bernd Kurz|B07-PC|Noch eine Frage|0041A3F2"),
                               QHostAddress::LocalHost, f.ports.Text);
            QVERIFY(QTest::qWaitFor([&] { return f.probe().aktUserName().Text.contains("Noch eine Frage"); }, 5000));
        } else {
            f.dialogs.antwort = secondAnswer;
        }
    };
    f.dialogs.antwort = true;
    f.window->PuEditLogLeerenClick();
    QCOMPARE(f.dialogs.fragen.size(), 2);
    QCOMPARE(f.probe().logListe().Find(bernd, false).Text.contains("Noch eine Frage"), !secondAnswer);
    QCOMPARE(ui.log->toPlainText().contains("Noch eine Frage"), !secondAnswer);
}

void TestConversation::newMessageGoesOnTopOfTheShownLog_data()
{
    QTest::addColumn<bool>("sent"); // sent to the own PC instead of received from Bernd
    QTest::addColumn<int>("lines"); // older lines in the conversation
    QTest::newRow("Received from the shown partner") << false << 3;
    QTest::newRow("Sent to the own PC while it is shown") << true << 3;
    // The view holds 512 Ki characters: the oldest lines give way, the rest is not drawn again.
    QTest::newRow("Received, longer than the view") << false << 60000;
    QTest::newRow("Sent to the own PC, longer than the view") << true << 60000;
}

// The older messages stay as they are drawn (a mark on one of their lines survives), and the view shows
// exactly what drawing the whole conversation shows.
void TestConversation::newMessageGoesOnTopOfTheShownLog()
{
    QFETCH(bool, sent);
    QFETCH(int, lines);
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    QVERIFY(startActive(f));
    QVERIFY(hear(f, Bernd));
    TUserListeRec shown =
        sent ? f.probe().userListe().FindUser(OwnPC) : partner(Bernd.userName, Bernd.name, Bernd.pc, 30);
    shown.Text = QStringLiteral("Nachricht von %1 (09.12.2026 10:30:00):\rZeile 1\nZeile 2\r\n").arg(shown.Name);
    for (int i = 3; i <= lines; ++i)
        shown.Text += QStringLiteral("Zeile %1%2").arg(i).arg(i % 2 ? QStringLiteral("  \r") : QStringLiteral("\r\n"));
    store(f, false, shown);
    f.window->SetAktUserName(f.probe().logListe().Find(shown, false));
    QCOMPARE(ui.log->document()->findBlockByNumber(2).text(), QStringLiteral("Zeile 2"));
    ui.log->document()->findBlockByNumber(2).setUserState(42);

    if (sent) {
        ui.text->setPlainText(QStringLiteral("Notiz an mich"));
        ui.senden->click();
    } else {
        QUdpSocket peer;
        QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
        peer.writeDatagram(QByteArray("TB1|bkurz|Bernd Kurz|B07-PC|Noch eine Frage|0041A3F2"), QHostAddress::LocalHost,
                           f.ports.Text);
    }
    QTRY_VERIFY(f.probe().aktUserName().Text.contains(sent ? "Notiz an mich" : "Noch eine Frage"));
    const QTextBlock marked = ui.log->document()->findBlock(ui.log->toPlainText().indexOf(QStringLiteral("Zeile 2\n")));
    QCOMPARE(marked.userState(), 42);
    QCOMPARE(f.probe().aktUserName().Text, f.probe().logListe().Find(shown, false).Text);
    QString whole = shownAs(f.probe().logListe().Find(shown, false).Text);
    QCOMPARE(whole.size() > 524288, lines > 3);
    if (whole.size() > 524288)
        whole.truncate(whole.lastIndexOf(u'\n', 524286) + 1); // after the last whole line that fits
    QCOMPARE(ui.log->toPlainText(), whole);
    QCOMPARE(ui.log->textCursor().position(), 0);
}

void TestConversation::quickMessagesAreShownTogether_data()
{
    QTest::addColumn<bool>("tray");           // the window waits in the tray
    QTest::addColumn<QString>("shownFirst");  // whose conversation is shown before, empty: none
    QTest::addColumn<QStringList>("senders"); // one after another, quicker than a redraw
    QTest::addColumn<QString>("shownAfter");
    QTest::newRow("Into an empty view: the first sender stays") << false << "" << QStringList{"B", "C", "D"} << "B";
    QTest::newRow("The shown partner stays, with all his messages")
        << false << "B" << QStringList{"C", "B", "D", "B"} << "B";
    QTest::newRow("Another partner shown: none takes over") << false << "D" << QStringList{"B", "C"} << "D";
    QTest::newRow("In the tray the last sender takes over") << true << "" << QStringList{"B", "C", "D"} << "D";
}

// Quick messages are filed, answered and spoken each at once; the lists and the conversation show them
// together a moment later, ending as they would had each been shown when it came.
void TestConversation::quickMessagesAreShownTogether()
{
    QFETCH(bool, tray);
    QFETCH(QString, shownFirst);
    QFETCH(QStringList, senders);
    QFETCH(QString, shownAfter);
    const QHash<QString, TUserListeRec> wer{{"B", partner("bkurz", "Bernd Kurz", "B07-PC", 1)},
                                            {"C", partner("cx", "Carla", "C01-PC", 2)},
                                            {"D", partner("dora", "Dora", "D03-PC", 3)}};
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    f.store.writeDword("FensterWiederherstellen", 0); // a message leaves the window in the tray
    QVERIFY(startActive(f));
    if (!shownFirst.isEmpty()) {
        store(f, false, wer.value(shownFirst));
        f.window->SetAktUserName(f.probe().logListe().Find(wer.value(shownFirst), false));
    }
    if (tray)
        f.window->FensterMinimierenWiederherstellen(true);
    f.probe().setReceivedPause(1500); // longer than a slow machine takes between two of them
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    int nr = 0;
    for (const QString& s : senders) {
        const TUserListeRec& p = wer.value(s);
        const QString text = QStringLiteral("Text %1 von %2").arg(++nr).arg(s);
        const QString datagram = QStringLiteral("TB1|%1|%2|%3|%4|").arg(p.UserName, p.Name, p.PC, text) +
                                 QStringLiteral("%1").arg(nr, 8, 16, QChar(u'0'));
        peer.writeDatagram(datagram.toUtf8(), QHostAddress::LocalHost, f.ports.Text);
        QTRY_VERIFY(f.probe().logListe().Find(p, false).Text.contains(text));
        // The first is shown at once; the others wait for the moment to end.
        QCOMPARE(f.probe().receivedShowPending(), nr > 1);
        QCOMPARE(ui.eingang->count(), nr > 1 ? 1 : f.probe().logListe().Count(TLogListe::Eingang));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!f.probe().receivedShowPending(), 10000);
    QCOMPARE(ui.eingang->count(), f.probe().logListe().Count(TLogListe::Eingang));
    QCOMPARE(f.probe().aktUserName().PC, wer.value(shownAfter).PC);
    // The whole stored conversation, the newest message included.
    const QString gespeichert = f.probe().logListe().Find(wer.value(shownAfter), false).Text;
    QCOMPARE(f.probe().aktUserName().Text, gespeichert);
    if (!tray) {
        QCOMPARE(ui.name->text(), wer.value(shownAfter).Name);
        QCOMPARE(ui.log->toPlainText(), shownAs(gespeichert));
    }
}

// In the tray each message makes its sender the conversation; the window shows the last one when it
// comes back, and reading the log aloud from the tray reads that one too.
void TestConversation::messagesInTheTrayAreShownWhenTheWindowComesBack()
{
    Fixture f;
    Ui ui(f.window.get());
    QVERIFY(ui.complete());
    f.store.writeDword("FensterWiederherstellen", 0); // a message leaves the window in the tray
    QVERIFY(startActive(f));
    f.window->FensterMinimierenWiederherstellen(true);
    QVERIFY(f.window->inTray());
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    peer.writeDatagram(QByteArray("TB1|bkurz|Bernd Kurz|B07-PC|Von Bernd|00000001"), QHostAddress::LocalHost,
                       f.ports.Text);
    QTRY_COMPARE(f.probe().aktUserName().PC, QStringLiteral("B07-PC"));
    peer.writeDatagram(QByteArray("TB1|cx|Carla|C01-PC|Von Carla|00000002"), QHostAddress::LocalHost, f.ports.Text);
    QTRY_COMPARE(f.probe().aktUserName().PC, QStringLiteral("C01-PC"));
    QVERIFY(f.window->inTray());
    f.window->FensterMinimierenWiederherstellen(false);
    QCOMPARE(ui.log->toPlainText(), QStringLiteral("Nachricht von Carla (09.12.2026 14:05:09):\nVon Carla\n"));
    QCOMPARE(ui.log->textCursor().position(), 0);
}

void TestConversation::focusCues_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("cue");
    QTest::newRow("Online list") << "Lb1Liste"
                                 << "Online";
    QTest::newRow("Inbox") << "Lb1Eingang"
                           << "Eingang";
    QTest::newRow("History") << "Lb1Verlauf"
                             << "Verlauf";
    QTest::newRow("Name field") << "Le1Name"
                                << "Empfänger";
    QTest::newRow("Message field") << "Memo1Text"
                                   << "Text";
    QTest::newRow("Log") << "Re1Log"
                         << "Nachrichtenlog";
}

void TestConversation::focusCues()
{
    QFETCH(QString, control);
    QFETCH(QString, cue);
    Fixture f;
    QVERIFY(startActive(f));
    QWidget* target = f.window->findChild<QWidget*>(control);
    QVERIFY(target);
    // Start from a control without a cue, so the focus really moves.
    QWidget* button = f.window->findChild<QWidget*>("Btn1Status");
    QVERIFY(button);
    button->setFocus();
    f.tolk.calls.clear();
    target->setFocus();
    // Straight to the screen reader, never through the voice.
    QCOMPARE(f.tolk.calls, std::vector<std::string>{"output:" + cue.toStdString()});
    QVERIFY(f.engine->calls.empty());
}

QTEST_MAIN(TestConversation)
#include "tst_conversation.moc"
