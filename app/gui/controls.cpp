// Controls, menus and captions of the main window. Positions and sizes are computed from the display
// font (SchalterEinrichten), so nothing here uses a layout manager.
#include "app/gui/editcontrol.h"
#include "app/gui/mainwindow.h"
#include "shell/settings.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>

namespace {

template <typename W>
W* named(W* w, const char* name, const QString& accessibleName = QString())
{
    w->setObjectName(QString::fromLatin1(name));
    if (!accessibleName.isEmpty())
        w->setAccessibleName(QString(accessibleName).remove(u'&'));
    return w;
}

QLabel* buddyLabel(const char* name, QWidget* buddy, QWidget* parent)
{
    auto* label = named(new QLabel(parent), name);
    label->setBuddy(buddy);
    return label;
}

QAction* item(QMenu* menu, const char* name, const QString& caption, const QKeySequence& key = QKeySequence())
{
    auto* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty())
        a->setShortcut(key);
    return a;
}

// The program's icon, the same two speech bubbles as the installed SVG, drawn here so that no image plugin is
// needed: without an icon a tray shows an empty spot that nobody can find or click.
QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 128.0, size / 128.0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1d, 0x3f, 0x72));
        p.drawRoundedRect(QRectF(4, 4, 120, 120), 26, 26);
        p.setBrush(QColor(0xff, 0xd2, 0x3f));
        p.drawRoundedRect(QRectF(42, 18, 72, 50), 12, 12);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(14, 48, 74, 52), 12, 12);
        p.setBrush(QColor(0x1d, 0x3f, 0x72));
        for (int x : {34, 51, 68})
            p.drawEllipse(QPointF(x, 74), 6, 6);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

void TTB_Form1::CreateControls()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);

    Lb1Liste = named(new QListWidget(central), "Lb1Liste", QStringLiteral("Online"));
    Lb1Eingang = named(new QListWidget(central), "Lb1Eingang", QStringLiteral("Nachrichteneingang"));
    Lb1Verlauf = named(new QListWidget(central), "Lb1Verlauf", QStringLiteral("Nachrichtenverlauf"));
    central->setObjectName(QStringLiteral("ClientArea"));
    central->setAutoFillBackground(true);
    Le1Name = named(new QLineEdit(central), "Le1Name", QStringLiteral("Empfänger"));
    Le1Name->setReadOnly(true);
    Memo1Text = named(new QPlainTextEdit(central), "Memo1Text", QStringLiteral("Text"));
    // Plain text, laid out a block at a time: a message goes on top of a long conversation without the
    // whole view being laid out again, as a rich-text view would.
    Re1Log = named(new QPlainTextEdit(central), "Re1Log", QStringLiteral("Nachrichtenlog"));
    Re1Log->setReadOnly(true);
    // Nobody edits the view; with undo on, every message put on top would be kept a second time.
    Re1Log->setUndoRedoEnabled(false);
    Lbl1Liste = buddyLabel("Lbl1Liste", Lb1Liste, central);
    Lbl1Eingang = buddyLabel("Lbl1Eingang", Lb1Eingang, central);
    Lbl1Verlauf = buddyLabel("Lbl1Verlauf", Lb1Verlauf, central);
    Lbl1Name = buddyLabel("Lbl1Name", Le1Name, central);
    Lbl1Text = buddyLabel("Lbl1Text", Memo1Text, central);
    Lbl1Log = buddyLabel("Lbl1Log", Re1Log, central);
    for (QLabel* l : {Lbl1Liste, Lbl1Eingang, Lbl1Verlauf})
        l->setAlignment(Qt::AlignCenter);

    Btn1Gelesen = named(new QPushButton(central), "Btn1Gelesen");
    Btn1Senden = named(new QPushButton(central), "Btn1Senden");
    Btn1Senden->setEnabled(false);
    Btn1Status = named(new QPushButton(central), "Btn1Status");
    Btn1Status->setProperty("Tag", 1);
    Btn1Optionen = named(new QPushButton(central), "Btn1Optionen");
    Btn1Minimieren = named(new QPushButton(central), "Btn1Minimieren");
    Btn1Beenden = named(new QPushButton(central), "Btn1Beenden");

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 4; ++i) {
        m_panels[i] = new QLabel(StatusBar1);
        m_panels[i]->setAlignment(Qt::AlignCenter);
        StatusBar1->addWidget(m_panels[i], i == 3 ? 1 : 0);
    }
    setStatusBar(StatusBar1);

    setTabOrder(Lb1Eingang, Lb1Liste);
    setTabOrder(Lb1Liste, Le1Name);
    setTabOrder(Le1Name, Memo1Text);
    setTabOrder(Memo1Text, Re1Log);
    setTabOrder(Re1Log, Btn1Gelesen);
    setTabOrder(Btn1Gelesen, Btn1Senden);
    setTabOrder(Btn1Senden, Btn1Status);
    setTabOrder(Btn1Status, Btn1Optionen);
    setTabOrder(Btn1Optionen, Btn1Minimieren);
    setTabOrder(Btn1Minimieren, Btn1Beenden);
    setTabOrder(Btn1Beenden, Lb1Verlauf);

    Memo1Text->setTabChangesFocus(true);
    Re1Log->setTabChangesFocus(true);
    Re1Log->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    for (QLabel* l : {Lbl1Liste, Lbl1Eingang, Lbl1Verlauf, Lbl1Name, Lbl1Text, Lbl1Log})
        l->setProperty("Tag", 0);
    Lbl1Liste->setProperty("Tag", 1);
    Lbl1Text->setProperty("Tag", 2);
    Lbl1Log->setProperty("Tag", 3);
    Lbl1Eingang->setProperty("Tag", 4);
    Lbl1Verlauf->setProperty("Tag", 5);
    Le1Name->setProperty("Tag", 1);
    Memo1Text->setProperty("Tag", 2);
    Re1Log->setProperty("Tag", 3);
    for (QListWidget* l : {Lb1Liste, Lb1Eingang, Lb1Verlauf}) {
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        // One line per row: a long list then never measures all its rows again.
        l->setUniformItemSizes(true);
        connect(l, &QListWidget::itemDoubleClicked, this, [this, l] { OpenFromList(l, false); });
    }
    Lb1Liste->setProperty("Tag", 1);
    Lb1Eingang->setProperty("Tag", 2);
    Lb1Verlauf->setProperty("Tag", 3);
    connect(Memo1Text, &QPlainTextEdit::textChanged, this, &TTB_Form1::Memo1TextChange);
    connect(Btn1Senden, &QPushButton::clicked, this, &TTB_Form1::Btn1SendenClick);
    connect(Btn1Gelesen, &QPushButton::clicked, this, &TTB_Form1::Btn1GelesenClick);
    connect(Btn1Beenden, &QPushButton::clicked, this, &TTB_Form1::MenuDateiBeendenClick);
    connect(Btn1Minimieren, &QPushButton::clicked, this, [this] { FensterMinimierenWiederherstellen(true); });
}

void TTB_Form1::CreateMenus()
{
    QMenuBar* bar = menuBar();

    QMenu* datei = bar->addMenu(QStringLiteral("&Datei"));
    datei->setObjectName(QStringLiteral("MenuDatei"));
    MenuDateiMinimieren = item(datei, "MenuDateiMinimieren", QStringLiteral("&Minimieren"),
                               QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_PageDown));
    connect(MenuDateiMinimieren, &QAction::triggered, this, [this] { FensterMinimierenWiederherstellen(true); });
    MenuDateiClose =
        item(datei, "MenuDateiClose", QStringLiteral("Nachricht s&chließen"), QKeySequence(Qt::CTRL | Qt::Key_F4));
    connect(MenuDateiClose, &QAction::triggered, this, &TTB_Form1::MenuDateiCloseClick);
    connect(datei, &QMenu::aboutToShow, this, &TTB_Form1::MenuDateiClick);
    QAction* beenden = item(datei, "MenuDateiBeenden", QStringLiteral("&Beenden"), QKeySequence(Qt::ALT | Qt::Key_F4));
    connect(beenden, &QAction::triggered, this, &TTB_Form1::MenuDateiBeendenClick);

    QMenu* akt = bar->addMenu(QStringLiteral("A&ktionen"));
    akt->setObjectName(QStringLiteral("MenuAkt"));
    MenuAktSenden = item(akt, "MenuAktSenden", QStringLiteral("&Sende Nachricht"), QKeySequence(Qt::CTRL | Qt::Key_S));
    MenuAktSenden->setEnabled(false);
    MenuAktNachrichtNaechste = item(akt, "MenuAktNachrichtNaechste", QStringLiteral("&Nächste ungelesene Nachricht"),
                                    QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    MenuAktNachrichtNaechste->setProperty("Tag", 1);
    MenuAktNachrichtVorherige =
        item(akt, "MenuAktNachrichtVorherige", QStringLiteral("&Vorherige ungelesene Nachricht"),
             QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    MenuAktNachrichtVorherige->setProperty("Tag", 2);
    MenuAktGelesen = item(akt, "MenuAktGelesen", QStringLiteral("Angezeigte Nachricht &gelesen"),
                          QKeySequence(Qt::CTRL | Qt::Key_G));
    MenuAktOrdner =
        item(akt, "MenuAktOrdner", QStringLiteral("Log-Ordner öffnen..."), QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(akt, &QMenu::aboutToShow, this, &TTB_Form1::MenuAktClick);
    connect(MenuAktSenden, &QAction::triggered, this, &TTB_Form1::Btn1SendenClick);
    connect(MenuAktNachrichtNaechste, &QAction::triggered, this,
            [this] { MenuAktNachrichtNaechsteVorherigeClick(true); });
    connect(MenuAktNachrichtVorherige, &QAction::triggered, this,
            [this] { MenuAktNachrichtNaechsteVorherigeClick(false); });
    connect(MenuAktGelesen, &QAction::triggered, this, &TTB_Form1::Btn1GelesenClick);
    connect(MenuAktOrdner, &QAction::triggered, this, &TTB_Form1::MenuAktOrdnerClick);
    MenuAktOptionen = item(akt, "MenuAktOptionen", QStringLiteral("&Optionen..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(MenuAktOptionen, &QAction::triggered, this, &TTB_Form1::Btn1OptionenClick);
    connect(Btn1Optionen, &QPushButton::clicked, this, &TTB_Form1::Btn1OptionenClick);

    QMenu* status = bar->addMenu(QStringLiteral("Stat&us"));
    status->setObjectName(QStringLiteral("MenuStatus"));
    const char* statusNames[3] = {"MenuStatus1Online", "MenuStatus2Abwesend", "MenuStatus3Busy"};
    const QString statusCaptions[3] = {QStringLiteral("&Online"), QStringLiteral("&Abwesend"),
                                       QStringLiteral("&Beschäftigt")};
    const Qt::Key statusKeys[3] = {Qt::Key_1, Qt::Key_2, Qt::Key_3};
    auto* group = new QActionGroup(this);
    for (int i = 0; i < 3; ++i) {
        MenuStatus[i] = item(status, statusNames[i], statusCaptions[i], QKeySequence(Qt::CTRL | statusKeys[i]));
        MenuStatus[i]->setCheckable(true);
        MenuStatus[i]->setProperty("Tag", i + 1);
        group->addAction(MenuStatus[i]);
        connect(MenuStatus[i], &QAction::triggered, this,
                [this, i] { MenuStatusOnlineAbwesendBeschaeftigtClick(i + 1); });
    }

    QMenu* sprache = bar->addMenu(QStringLiteral("&Sprachsteuerung"));
    sprache->setObjectName(QStringLiteral("MenuSprache"));
    MenuSpracheStoppen =
        item(sprache, "MenuSpracheStoppen", QStringLiteral("Wiedergabe &stoppen (wenn minimiert: 2 X STRG)"),
             QKeySequence(Qt::Key_Escape));
    MenuSpracheUngelesen = item(sprache, "MenuSpracheUngelesen", QStringLiteral("Anzahl &ungelesener Nachrichten"),
                                QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_PageUp));
    MenuSpracheWiederholen = item(sprache, "MenuSpracheWiederholen", QStringLiteral("Letzte Meldung &wiederholen"),
                                  QKeySequence(Qt::CTRL | Qt::Key_W));
    sprache->addSeparator();
    const char* speechNames[4] = {"MenuSpracheLauter", "MenuSpracheLeiser", "MenuSpracheSchneller",
                                  "MenuSpracheLangsamer"};
    const QString speechCaptions[4] = {QStringLiteral("Lauter sprechen"), QStringLiteral("Leiser sprechen"),
                                       QStringLiteral("Schneller sprechen"), QStringLiteral("Langsamer sprechen")};
    const Qt::Key speechKeys[4] = {Qt::Key_F5, Qt::Key_F4, Qt::Key_F9, Qt::Key_F8};
    for (int i = 0; i < 4; ++i) {
        MenuSpracheStimme[i] = item(sprache, speechNames[i], speechCaptions[i], QKeySequence(speechKeys[i]));
        MenuSpracheStimme[i]->setProperty("Tag", i + 1);
        connect(MenuSpracheStimme[i], &QAction::triggered, this,
                [this, i] { MenuSpracheLauterLeiserSchnellerLangsamerClick(i + 1); });
    }
    connect(sprache, &QMenu::aboutToShow, this, &TTB_Form1::MenuSpracheClick);
    connect(MenuSpracheStoppen, &QAction::triggered, this, &TTB_Form1::MenuSpracheStoppenClick);
    connect(MenuSpracheUngelesen, &QAction::triggered, this, &TTB_Form1::MenuSpracheUngelesenClick);
    connect(MenuSpracheWiederholen, &QAction::triggered, this, &TTB_Form1::MenuSpracheWiederholenClick);

    QMenu* ansicht = bar->addMenu(QStringLiteral("&Ansicht"));
    ansicht->setObjectName(QStringLiteral("MenuAns"));
    connect(item(ansicht, "MenuAnsSchrifteinstellungen", QStringLiteral("&Schrifteinstellungen...")),
            &QAction::triggered, this, &TTB_Form1::MenuAnsSchrifteinstellungenClick);

    QMenu* hilfe = bar->addMenu(QStringLiteral("&Hilfe"));
    hilfe->setObjectName(QStringLiteral("MenuHilfe"));
    MenuHilfeHistory = item(hilfe, "MenuHilfeHistory", QStringLiteral("&Änderungen..."));
    MenuHilfeMail = item(hilfe, "MenuHilfeMail", QStringLiteral("&Mail an den Programmierer..."));
    MenuHilfeHomepage = item(hilfe, "MenuHilfeHomepage", QStringLiteral("Home&page..."));
    MenuHilfeSpenden = item(hilfe, "MenuHilfeSpenden", QStringLiteral("&Spenden..."));
    MenuHilfeUpdate = item(hilfe, "MenuHilfeUpdate", QStringLiteral("&Aktualisierung..."));
    QAction* info = item(hilfe, "MenuHilfeInfo", QStringLiteral("&Info"));
    connect(MenuHilfeHistory, &QAction::triggered, this, &TTB_Form1::MenuHilfeHistoryClick);
    connect(MenuHilfeMail, &QAction::triggered, this, &TTB_Form1::MenuHilfeMailClick);
    connect(MenuHilfeHomepage, &QAction::triggered, this, &TTB_Form1::MenuHilfeHomepageClick);
    connect(MenuHilfeSpenden, &QAction::triggered, this, &TTB_Form1::MenuHilfeSpendenClick);
    connect(MenuHilfeUpdate, &QAction::triggered, this, &TTB_Form1::MenuHilfeUpdateClick);
    connect(info, &QAction::triggered, this, &TTB_Form1::MenuHilfeInfoClick);
    // What the items lead to can come and go while the program runs: checked each time the menu opens.
    connect(hilfe, &QMenu::aboutToShow, this, &TTB_Form1::MenuHilfeClick);
    MenuHilfeClick();

    // Hidden items exist only for their shortcuts: actions of the window itself, in no menu.
    auto hidden = [this](const char* name, const QString& caption, const QKeySequence& key) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        addAction(a);
        return a;
    };
    QAction* jawsMin = hidden("MenuDateiMinimierenJaws", QStringLiteral("Minimieren (&Jaws)"),
                              QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F1));
    connect(jawsMin, &QAction::triggered, this, [this] { FensterMinimierenWiederherstellen(true); });
    MenuSpracheUngelesenJaws =
        hidden("MenuSpracheUngelesenJaws", QStringLiteral("Anzahl ungelesener Nachrichten (&Jaws)"),
               QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F2));
    connect(MenuSpracheUngelesenJaws, &QAction::triggered, this, &TTB_Form1::MenuSpracheUngelesenClick);
    MenuSpracheClick();
}

void TTB_Form1::CreatePopups()
{
    PuEdit = new QMenu(this);
    PuEdit->setObjectName(QStringLiteral("PuEdit"));
    // The edit shortcuts are the fields' own; in the popup they are only shown.
    PuEditKopieren = item(PuEdit, "PuEditKopieren", QString(), QKeySequence(Qt::CTRL | Qt::Key_C));
    PuEditEinfuegen = item(PuEdit, "PuEditEinfuegen", QString(), QKeySequence(Qt::CTRL | Qt::Key_V));
    PuEditAllesMarkieren = item(PuEdit, "PuEditAllesMarkieren", QString(), QKeySequence(Qt::CTRL | Qt::Key_A));
    PuEditLogVorlesen = item(PuEdit, "PuEditLogVorlesen", QStringLiteral("Log &vorlesen"));
    PuEditLogLeeren = item(PuEdit, "PuEditLogLeeren", QString());
    PuEditTextLoeschen = item(PuEdit, "PuEditTextLoeschen", QString());
    connect(PuEditKopieren, &QAction::triggered, this,
            [this] { WithEditControl(m_editPopupFor, [](auto* e) { e->copy(); }); });
    connect(PuEditEinfuegen, &QAction::triggered, this, [this] {
        Memo1Text->setFocus();
        if (Memo1Text->isReadOnly())
            Beep();
        else
            Memo1Text->paste();
    });
    connect(PuEditAllesMarkieren, &QAction::triggered, this,
            [this] { WithEditControl(m_editPopupFor, [](auto* e) { e->selectAll(); }); });
    connect(PuEditLogLeeren, &QAction::triggered, this, &TTB_Form1::PuEditLogLeerenClick);
    connect(PuEditTextLoeschen, &QAction::triggered, this, [this] { Memo1Text->clear(); });
    connect(PuEditLogVorlesen, &QAction::triggered, this, &TTB_Form1::PuEditLogVorlesenClick);
    for (QWidget* w : std::initializer_list<QWidget*>{Le1Name, Memo1Text, Re1Log}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint& p) { PuEditPopup(w, p); });
    }

    PuLb1 = new QMenu(this);
    PuLb1->setObjectName(QStringLiteral("PuLb1"));
    PuLb1Ruhezustand = item(PuLb1, "PuLb1Ruhezustand", QString());
    connect(PuLb1Ruhezustand, &QAction::triggered, this, &TTB_Form1::PuLb1RuhezustandClick);
    connect(PuLb1, &QMenu::aboutToShow, this, [this] {
        PuLb1Ruhezustand->setVisible(RuhezustandS);
        PuLb1Ruhezustand->setEnabled(RuhezustandS && Lb1Liste->currentRow() >= 0);
    });
    PuLb2 = new QMenu(this);
    PuLb2->setObjectName(QStringLiteral("PuLb2"));
    PuLb2Gelesen = item(PuLb2, "PuLb2Gelesen", QString());
    connect(PuLb2Gelesen, &QAction::triggered, this, &TTB_Form1::PuLb2GelesenClick);
    connect(item(PuLb2, "PuLb2Ordner", QString()), &QAction::triggered, this, &TTB_Form1::MenuAktOrdnerClick);
    connect(PuLb2, &QMenu::aboutToShow, this, [this] { PuLb2Gelesen->setEnabled(Lb1Eingang->currentRow() >= 0); });
    PuLb3 = new QMenu(this);
    PuLb3->setObjectName(QStringLiteral("PuLb3"));
    PuLb3Loeschen = item(PuLb3, "PuLb3Loeschen", QString(), QKeySequence(Qt::Key_Delete));
    connect(PuLb3Loeschen, &QAction::triggered, this, &TTB_Form1::PuLb3LoeschenClick);
    connect(item(PuLb3, "PuLb3Ordner", QString()), &QAction::triggered, this, &TTB_Form1::MenuAktOrdnerClick);
    connect(PuLb3, &QMenu::aboutToShow, this, [this] { PuLb3Loeschen->setEnabled(Lb1Verlauf->currentRow() >= 0); });

    PuBtnStatus = new QMenu(this);
    PuBtnStatus->setObjectName(QStringLiteral("PuBtnStatus"));
    const char* names[3] = {"PuBtnStatus1Online", "PuBtnStatus2Abwesend", "PuBtnStatus3Busy"};
    const QString captions[3] = {QStringLiteral("&Online"), QStringLiteral("&Abwesend"),
                                 QStringLiteral("&Beschäftigt")};
    auto* group = new QActionGroup(this);
    for (int i = 0; i < 3; ++i) {
        PuBtnStatusItems[i] = item(PuBtnStatus, names[i], captions[i]);
        PuBtnStatusItems[i]->setCheckable(true);
        PuBtnStatusItems[i]->setProperty("Tag", i + 1);
        group->addAction(PuBtnStatusItems[i]);
        connect(PuBtnStatusItems[i], &QAction::triggered, this,
                [this, i] { MenuStatusOnlineAbwesendBeschaeftigtClick(i + 1); });
    }
    connect(Btn1Status, &QPushButton::clicked, this, [this] {
        PuBtnStatus->exec(Btn1Status->mapToGlobal(QPoint(0, 0)));
        MerkActiveControl = QApplication::focusWidget();
        SetActiveControl();
    });

    for (auto [list, menu] : {std::pair{Lb1Liste, PuLb1}, {Lb1Eingang, PuLb2}, {Lb1Verlauf, PuLb3}}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        QMenu* m = menu;
        QListWidget* l = list;
        connect(l, &QWidget::customContextMenuRequested, this, [m, l](const QPoint& p) { m->exec(l->mapToGlobal(p)); });
    }
}

void TTB_Form1::CreateTray()
{
    PuCti = new QMenu(this);
    PuCti->setObjectName(QStringLiteral("PuCti"));
    QAction* autostart = item(PuCti, "PuCtiAutostart", QString());
    autostart->setCheckable(true);
    QMenu* status = PuCti->addMenu(QString());
    status->menuAction()->setObjectName(QStringLiteral("PuCtiStatus"));
    const char* names[3] = {"PuCtiStatus1Online", "PuCtiStatus2Abwesend", "PuCtiStatus3Beschaeftigt"};
    auto* group = new QActionGroup(this);
    for (int i = 0; i < 3; ++i) {
        PuCtiStatusItems[i] = item(status, names[i], QString());
        PuCtiStatusItems[i]->setCheckable(true);
        PuCtiStatusItems[i]->setProperty("Tag", i + 1);
        group->addAction(PuCtiStatusItems[i]);
        connect(PuCtiStatusItems[i], &QAction::triggered, this,
                [this, i] { MenuStatusOnlineAbwesendBeschaeftigtClick(i + 1); });
    }
    PuCtiSoundsWiedergeben = item(PuCti, "PuCtiSoundsWiedergeben", QString());
    PuCtiSoundsWiedergeben->setCheckable(true);
    QAction* restore = item(PuCti, "PuCtiWiederherstellen", QString());
    connect(restore, &QAction::triggered, this, [this] { FensterMinimierenWiederherstellen(false); });
    // Offered only while the update program is there.
    PuCtiUpdate = item(PuCti, "PuCtiUpdate", QString());
    PuCtiUpdate->setVisible(updaterPresent());
    connect(PuCtiUpdate, &QAction::triggered, this, &TTB_Form1::MenuHilfeUpdateClick);
    connect(PuCti, &QMenu::aboutToShow, this, [this] { PuCtiUpdate->setVisible(updaterPresent()); });
    connect(autostart, &QAction::triggered, this, [this, autostart] {
        SetAutostartS(!AutostartS());
        autostart->setChecked(AutostartS());
    });
    connect(PuCtiSoundsWiedergeben, &QAction::triggered, this, [this] {
        m_settings->Einstellungen.SoundsWiedergebenS = !m_settings->Einstellungen.SoundsWiedergebenS;
        PuCtiSoundsWiedergeben->setChecked(m_settings->Einstellungen.SoundsWiedergebenS);
        RegistryLadenSpeichern(false);
    });
    connect(PuCti, &QMenu::aboutToShow, this, [this, autostart] {
        autostart->setChecked(AutostartS());
        PuCtiSoundsWiedergeben->setChecked(m_settings->Einstellungen.SoundsWiedergebenS);
    });
    QAction* quit = item(PuCti, "PuCtiBeenden", QString());
    connect(quit, &QAction::triggered, this, &TTB_Form1::PuCtiBeendenClick);

    Cti = new QSystemTrayIcon(ProgramIcon(), this);
    Cti->setObjectName(QStringLiteral("Cti"));
    setWindowIcon(Cti->icon());
    Cti->setContextMenu(PuCti);
    connect(Cti, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            FensterMinimierenWiederherstellen(false);
    });
    connect(Cti, &QSystemTrayIcon::messageClicked, this, [this] { FensterMinimierenWiederherstellen(false); });
}

void TTB_Form1::CaptionZuweisen()
{
    auto set = [this](const char* name, const QString& caption) {
        const QString objectName = QString::fromLatin1(name);
        if (auto* a = findChild<QAction*>(objectName))
            a->setText(caption);
        else if (auto* b = findChild<QPushButton*>(objectName))
            b->setText(caption);
        else if (auto* l = findChild<QLabel*>(objectName))
            l->setText(caption);
    };
    set("Btn1Beenden", QStringLiteral("&Beenden"));
    set("Btn1Minimieren", QStringLiteral("&Minimieren"));
    set("Btn1Optionen", QStringLiteral("O&ptionen..."));
    set("Btn1Senden", QStringLiteral("&Senden"));
    set("Btn1Gelesen", QStringLiteral("&Gelesen"));
    set("Btn1Status", QStringLiteral("Abwesend..."));
    set("PuCtiAutostart", QStringLiteral("&Ausführen bei Windows-Start"));
    set("PuCtiStatus", QStringLiteral("&Status"));
    set("PuCtiStatus1Online", QStringLiteral("&Online"));
    set("PuCtiStatus2Abwesend", QStringLiteral("&Abwesend"));
    set("PuCtiStatus3Beschaeftigt", QStringLiteral("&Beschäftigt"));
    set("PuCtiSoundsWiedergeben", QStringLiteral("S&ounds wiedergeben"));
    set("PuCtiWiederherstellen", QStringLiteral("&Fenster wiederherstellen"));
    set("PuCtiUpdate", QStringLiteral("&Update..."));
    set("PuCtiBeenden", QStringLiteral("&Beenden"));
    set("PuEditKopieren", QStringLiteral("&Kopieren"));
    set("PuEditEinfuegen", QStringLiteral("&Einfügen"));
    set("PuEditAllesMarkieren", QStringLiteral("Alles &markieren"));
    set("PuEditLogLeeren", QStringLiteral("&Log leeren"));
    set("PuEditTextLoeschen", QStringLiteral("Text löschen"));
    set("PuLb1Ruhezustand", QStringLiteral("&Ruhezustand"));
    set("PuLb2Gelesen", QStringLiteral("&Gelesen"));
    set("PuLb2Ordner", QStringLiteral("Log-&Ordner öffnen..."));
    set("PuLb3Loeschen", QStringLiteral("&Löschen"));
    set("PuLb3Ordner", QStringLiteral("Log-&Ordner öffnen..."));
    set("Lbl1Liste", QStringLiteral("&Online"));
    set("Lbl1Eingang", QStringLiteral("Nachrichten&eingang"));
    set("Lbl1Verlauf", QStringLiteral("Nachrichten&verlauf"));
    set("Lbl1Text", QStringLiteral("&Text:"));
    set("Lbl1Log", QStringLiteral("&Nachrichtenlog:"));
    set("Lbl1Name", QStringLiteral("Emp&fänger:"));
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAccessibleName(b->text().remove(u'&'));
}
