// The options dialog. Positions and sizes are computed from the display font (OptionenSchalterEinrichten),
// so nothing here uses a layout manager.
#include "shell/gui/optionsdialog.h"

#include "common/fields.h"
#include "common/texts.h"
#include "shell/gui/layout.h"
#include "shell/gui/optionslayout.h"
#include "speech/screenreader.h"
#include "speech/speech.h"
#include "speech/voiceengine.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

namespace {

constexpr int NameMaxLength = 30;
constexpr int SampleVolume = 80;
constexpr int SampleRate = 1;
constexpr int SampleDelayMs = 100;

// Rows separated by lines, as in a report list with grid lines.
class GridDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

// Check marks as large as the text wants, and those of list rows in the system's colours like a check box's,
// so that they show on any background.
class MarkStyle : public QProxyStyle
{
public:
    explicit MarkStyle(int size)
        : m_size(size)
    {
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_IndicatorWidth || metric == PM_IndicatorHeight)
            return m_size;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        const auto* row = qstyleoption_cast<const QStyleOptionViewItem*>(option);
        if (element == PE_IndicatorItemViewItemCheck && row) {
            QStyleOptionViewItem system(*row);
            system.palette = QApplication::palette();
            QProxyStyle::drawPrimitive(element, &system, painter, widget);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    int m_size;
};

template <typename W>
W* named(W* w, const QString& name, const QString& accessibleName)
{
    w->setObjectName(name);
    w->setAccessibleName(StripAccelerators(accessibleName));
    return w;
}

QCheckBox* checkBox(QWidget* parent, const QString& name)
{
    return named(new QCheckBox(parent), name, OptionenCaption(name));
}

QPushButton* button(QWidget* parent, const QString& name)
{
    return named(new QPushButton(parent), name, OptionenCaption(name));
}

// A read-only report list of one centred column, selected by whole rows.
class ReportList : public QTreeWidget
{
public:
    using QTreeWidget::QTreeWidget;

    // The column is never narrower than its widest row, so a row is scrolled to rather than shortened.
    int keepRowsWhole()
    {
        const int content = std::max(sizeHintForColumn(0), header()->sectionSizeHint(0));
        header()->setMinimumSectionSize(std::max(content, 1));
        return content;
    }
};

QTreeWidget* reportList(QWidget* parent, const QString& name, const QString& column)
{
    auto* list = named(new ReportList(parent), name, column);
    list->setColumnCount(1);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setItemDelegate(new GridDelegate(list));
    list->header()->setSectionsMovable(false);
    list->header()->setStretchLastSection(true);
    return list;
}

int keepRowsWhole(QTreeWidget* list)
{
    return static_cast<ReportList*>(list)->keepRowsWhole();
}

QTreeWidgetItem* selectedRow(const QTreeWidget* list)
{
    const QList<QTreeWidgetItem*> rows = list->selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

bool isWindowChange(const QEvent* event)
{
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

} // namespace

TOptionenDlg::TOptionenDlg(QWidget* owner, IScreenReader& tolk, std::unique_ptr<TSpeech> speech,
                           const TFontSetting& font, uint32_t backColor, const QString& winUserName)
    : QDialog(owner)
    , m_tolk(tolk)
    , Speech(std::move(speech))
    , m_font(font)
    , m_backColor(backColor)
    , m_winUserName(winUserName)
{
    FormCreate();
}

TOptionenDlg::~TOptionenDlg() = default;

void TOptionenDlg::FormCreate()
{
    setObjectName(QStringLiteral("OptionenDlg"));
    if (!Speech)
        Speech = std::make_unique<TSpeech>(m_tolk, nullptr, nullptr);

    Le1Name = named(new QLineEdit(this), QStringLiteral("Le1Name"), QStringLiteral("Name"));
    Le1Name->setMaxLength(NameMaxLength);
    Lbl1Name = named(new QLabel(this), QStringLiteral("Lbl1Name"), OptionenCaption(QStringLiteral("Lbl1Name")));
    Lbl1Name->setBuddy(Le1Name);
    Lbl1Name->installEventFilter(this);
    Cb1Autostart = checkBox(this, QStringLiteral("Cb1Autostart"));
    Cb1FensterWiederherstellen = checkBox(this, QStringLiteral("Cb1FensterWiederherstellen"));
    Cb1FensterNachSendenMinimieren = checkBox(this, QStringLiteral("Cb1FensterNachSendenMinimieren"));
    Cb1MinimiertStarten = checkBox(this, QStringLiteral("Cb1MinimiertStarten"));
    Cb1BeendenSichern = checkBox(this, QStringLiteral("Cb1BeendenSichern"));
    Cb1SoundsWiedergeben = checkBox(this, QStringLiteral("Cb1SoundsWiedergeben"));
    Lv1Sounds = reportList(this, QStringLiteral("Lv1Sounds"), OptionenTexte::SpalteSounds);
    for (int i = 0; i < SoundCount; ++i) {
        auto* row = new QTreeWidgetItem(Lv1Sounds);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Unchecked);
    }
    Cb1AutoAbwesend = checkBox(this, QStringLiteral("Cb1AutoAbwesend"));
    Ud1AbwesendMin = named(new QSpinBox(this), QStringLiteral("Ud1AbwesendMin"), QStringLiteral("Minuten"));
    Ud1AbwesendMin->setRange(1, 99);
    Ud1AbwesendMin->setAlignment(Qt::AlignCenter);
    Ed1AbwesendMin = Ud1AbwesendMin->findChild<QLineEdit*>();
    Ed1AbwesendMin->setObjectName(QStringLiteral("Ed1AbwesendMin"));
    Ed1AbwesendMin->setAccessibleName(QStringLiteral("Minuten"));
    Ed1AbwesendMin->setMaxLength(2);
    Cb1StatusLesen = checkBox(this, QStringLiteral("Cb1StatusLesen"));
    Cb1NachrichtLesen = checkBox(this, QStringLiteral("Cb1NachrichtLesen"));
    Lv1Stimmen = reportList(this, QStringLiteral("Lv1Stimmen"), OptionenTexte::SpalteStimmen);
    Btn1Reset = button(this, QStringLiteral("Btn1Reset"));
    Btn1OK = button(this, QStringLiteral("Btn1OK"));
    Btn1Abbrechen = button(this, QStringLiteral("Btn1Abbrechen"));
    // Enter presses OK from anywhere but another button; Escape is the dialog's own cancel.
    Btn1OK->setDefault(true);

    Timer1Speak = new QTimer(this);
    Timer1Speak->setObjectName(QStringLiteral("Timer1Speak"));
    Timer1Speak->setSingleShot(true);
    Timer1Speak->setInterval(SampleDelayMs);

    CaptionZuweisen();
    SetTabOrders();
    InStimmenS = false;

    for (QWidget* w : {static_cast<QWidget*>(Le1Name), static_cast<QWidget*>(Lv1Sounds),
                       static_cast<QWidget*>(Ud1AbwesendMin), static_cast<QWidget*>(Lv1Stimmen)})
        w->installEventFilter(this);
    connect(Cb1SoundsWiedergeben, &QCheckBox::toggled, this, &TOptionenDlg::FreigabenPruefen);
    connect(Cb1AutoAbwesend, &QCheckBox::toggled, this, &TOptionenDlg::FreigabenPruefen);
    connect(Le1Name, &QLineEdit::textChanged, this, &TOptionenDlg::FreigabenPruefen);
    connect(Lv1Stimmen, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (selectedRow(Lv1Stimmen))
            Lv1StimmenClick();
    });
    connect(Lv1Stimmen, &QTreeWidget::itemClicked, this, &TOptionenDlg::Lv1StimmenClick);
    connect(Timer1Speak, &QTimer::timeout, this, &TOptionenDlg::Timer1SpeakTimer);
    connect(Btn1Reset, &QPushButton::clicked, this, &TOptionenDlg::Btn1ResetClick);
    connect(Btn1OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(Btn1Abbrechen, &QPushButton::clicked, this, &QDialog::reject);
    FreigabenPruefen();
}

void TOptionenDlg::CaptionZuweisen()
{
    setWindowTitle(OptionenTexte::Titel);
    Lbl1Name->setText(OptionenCaption(Lbl1Name->objectName()));
    for (QCheckBox* c : findChildren<QCheckBox*>())
        c->setText(OptionenCaption(c->objectName()));
    for (QPushButton* b : {Btn1Reset, Btn1OK, Btn1Abbrechen})
        b->setText(OptionenCaption(b->objectName()));
    for (int i = 0; i < SoundCount; ++i)
        Lv1Sounds->topLevelItem(i)->setText(0, Texts::soundLabel(static_cast<TSound>(i)));
    Lv1Sounds->setHeaderLabels({OptionenTexte::SpalteSounds});
    Lv1Stimmen->setHeaderLabels({OptionenTexte::SpalteStimmen});
    for (QTreeWidget* list : {Lv1Sounds, Lv1Stimmen})
        list->headerItem()->setTextAlignment(0, Qt::AlignCenter);
}

void TOptionenDlg::SetTabOrders()
{
    const QList<QWidget*> order = {Le1Name,
                                   Cb1Autostart,
                                   Cb1FensterWiederherstellen,
                                   Cb1FensterNachSendenMinimieren,
                                   Cb1MinimiertStarten,
                                   Cb1BeendenSichern,
                                   Cb1SoundsWiedergeben,
                                   Lv1Sounds,
                                   Cb1AutoAbwesend,
                                   Ud1AbwesendMin,
                                   Cb1StatusLesen,
                                   Cb1NachrichtLesen,
                                   Lv1Stimmen,
                                   Btn1Reset,
                                   Btn1OK,
                                   Btn1Abbrechen};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TOptionenDlg::SetNameReadOnly(bool readOnlyS)
{
    Le1Name->setReadOnly(readOnlyS);
}

void TOptionenDlg::StimmenEinlesen()
{
    StimmenSl = Speech->Tokens();
    Lv1Stimmen->clear();
    for (const QString& voice : StimmenSl) {
        auto* row = new QTreeWidgetItem(Lv1Stimmen);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        row->setText(0, voice);
    }
    keepRowsWhole(Lv1Stimmen);
}

void TOptionenDlg::SetEinstellungen(TEinstellungen AEinstellungen)
{
    StimmenEinlesen();
    // A longer name from the store is shown whole; only typing is held to the limit.
    Le1Name->setMaxLength(std::max<int>(NameMaxLength, AEinstellungen.Name.size()));
    Le1Name->setText(AEinstellungen.Name);
    Cb1Autostart->setChecked(AEinstellungen.AutostartS);
    Cb1FensterWiederherstellen->setChecked(AEinstellungen.FensterWiederherstellenS);
    Cb1FensterNachSendenMinimieren->setChecked(AEinstellungen.FensterNachSendenMinimierenS);
    Cb1MinimiertStarten->setChecked(AEinstellungen.MinimiertStartenS);
    Cb1BeendenSichern->setChecked(AEinstellungen.BeendenSichernS);
    Cb1SoundsWiedergeben->setChecked(AEinstellungen.SoundsWiedergebenS);
    for (int i = 0; i < SoundCount; ++i)
        Lv1Sounds->topLevelItem(i)->setCheckState(0, AEinstellungen.SoundsArr[i] ? Qt::Checked : Qt::Unchecked);
    Cb1StatusLesen->setChecked(AEinstellungen.StatusLesenS);
    Cb1NachrichtLesen->setChecked(AEinstellungen.NachrichtLesenS);

    int index = -1;
    for (int i = 0; i < StimmenSl.size() && index < 0; ++i) {
        if (StimmenSl[i].compare(AEinstellungen.Stimme, Qt::CaseInsensitive) == 0)
            index = i;
    }
    if (QTreeWidgetItem* row = Lv1Stimmen->topLevelItem(index)) {
        Lv1Stimmen->setCurrentItem(row);
        Lv1Stimmen->scrollToItem(row);
    }

    VoiceRate = AEinstellungen.VoiceRate;
    VoiceVolume = AEinstellungen.VoiceVolume;
    Cb1AutoAbwesend->setChecked(AEinstellungen.AutoAbwesendS);
    Ud1AbwesendMin->setValue(AEinstellungen.AbwesendMin);
}

TEinstellungen TOptionenDlg::GetEinstellungen() const
{
    TEinstellungen e;
    // The rule by which every reader of a name trims it, so the name sent is the name others keep.
    // The name travels in every datagram and log header, where "|" separates fields.
    e.Name = CleanFeld(Le1Name->text()).replace(u'|', u'/');
    e.AutostartS = Cb1Autostart->isChecked();
    e.FensterWiederherstellenS = Cb1FensterWiederherstellen->isChecked();
    e.FensterNachSendenMinimierenS = Cb1FensterNachSendenMinimieren->isChecked();
    e.MinimiertStartenS = Cb1MinimiertStarten->isChecked();
    e.BeendenSichernS = Cb1BeendenSichern->isChecked();
    e.SoundsWiedergebenS = Cb1SoundsWiedergeben->isChecked();
    for (int i = 0; i < SoundCount; ++i)
        e.SoundsArr[i] = Lv1Sounds->topLevelItem(i)->checkState(0) == Qt::Checked;
    e.StatusLesenS = Cb1StatusLesen->isChecked();
    e.NachrichtLesenS = Cb1NachrichtLesen->isChecked();
    QTreeWidgetItem* voice = selectedRow(Lv1Stimmen);
    e.Stimme = voice ? StimmenSl.value(Lv1Stimmen->indexOfTopLevelItem(voice)) : QString();
    e.VoiceRate = VoiceRate;
    e.VoiceVolume = VoiceVolume;
    e.AutoAbwesendS = Cb1AutoAbwesend->isChecked();
    e.AbwesendMin = Ud1AbwesendMin->value();
    return e;
}

void TOptionenDlg::FreigabenPruefen()
{
    Lv1Sounds->setEnabled(Cb1SoundsWiedergeben->isChecked());
    Btn1OK->setEnabled(!CleanFeld(Le1Name->text()).isEmpty());
    Ud1AbwesendMin->setEnabled(Cb1AutoAbwesend->isChecked());
}

void TOptionenDlg::ErsteSoundZeileWaehlen()
{
    QTreeWidgetItem* first = Lv1Sounds->topLevelItem(0);
    Lv1Sounds->setCurrentItem(first);
    Lv1Sounds->scrollToItem(first);
}

void TOptionenDlg::showEvent(QShowEvent* event)
{
    // The base class centres a dialog that was not moved; FormShow places it afterwards.
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TOptionenDlg::FormShow()
{
    SchriftartZuweisen();
    ErsteSoundZeileWaehlen();
    Le1Name->setFocus();
    Le1Name->selectAll();
    FreigabenPruefen();
}

void TOptionenDlg::SchriftartZuweisen()
{
    const QFont font = FontFromSetting(m_font);
    const QColor text = ColorFromSetting(m_font.color, palette().color(QPalette::WindowText));
    const QColor back = ColorFromSetting(m_backColor, palette().color(QPalette::Base));
    // Like the main window's client area, so the coloured check boxes do not stand out as patches.
    QPalette own = palette();
    own.setColor(QPalette::Window, back);
    setPalette(own);
    const QList<QWidget*> textControls = {Lbl1Name,
                                          Le1Name,
                                          Cb1Autostart,
                                          Cb1FensterWiederherstellen,
                                          Cb1FensterNachSendenMinimieren,
                                          Cb1MinimiertStarten,
                                          Cb1BeendenSichern,
                                          Cb1SoundsWiedergeben,
                                          Lv1Sounds,
                                          Cb1AutoAbwesend,
                                          Ud1AbwesendMin,
                                          Cb1StatusLesen,
                                          Cb1NachrichtLesen,
                                          Lv1Stimmen};
    for (QWidget* w : textControls) {
        w->setFont(font);
        QPalette p = w->palette();
        // Check boxes fill their background in the button role and draw their square from Base and Text,
        // which stay the system's so the square shows on any background, as the system's own check boxes do.
        const bool checkBoxS = qobject_cast<QCheckBox*>(w) != nullptr;
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::Button})
            p.setColor(role, back);
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText})
            p.setColor(role, text);
        if (!checkBoxS) {
            p.setColor(QPalette::Base, back);
            p.setColor(QPalette::Text, text);
        }
        w->setPalette(p);
        w->setAutoFillBackground(true);
    }
    // The style draws check marks at a fixed size; with large print they grow with the text.
    auto* marks = new MarkStyle(
        std::max(QFontMetrics(font).height() * 2 / 3, style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this)));
    marks->setParent(this);
    for (QWidget* w : textControls) {
        if (qobject_cast<QCheckBox*>(w) || qobject_cast<QTreeWidget*>(w))
            w->setStyle(marks);
    }
    // Buttons keep their own colours and take only name, size and style.
    for (QPushButton* b : {Btn1Reset, Btn1OK, Btn1Abbrechen})
        b->setFont(font);
    SchalterEinrichten();
}

void TOptionenDlg::SchalterEinrichten()
{
    ensurePolished();
    OptionenLayoutInput in;
    in.font = Btn1OK->font();
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    in.workArea = area.size();
    // The dialog's frame is not known before it is shown; the owner's is the same window manager's.
    in.frame = owner ? owner->frameGeometry().size() - owner->size() : QSize(0, 0);
    in.ownerHeight = owner ? owner->frameGeometry().height() : area.height();
    in.nameLabel = Lbl1Name->sizeHint();
    in.nameHeight = Le1Name->sizeHint().height();
    QStyleOptionSpinBox option;
    option.initFrom(Ud1AbwesendMin);
    option.rect = QRect(QPoint(0, 0), Ud1AbwesendMin->sizeHint());
    option.subControls = QStyle::SC_All;
    in.upDownWidth = style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, Ud1AbwesendMin).width();
    for (QWidget* w : findChildren<QWidget*>()) {
        if (qobject_cast<QCheckBox*>(w) || qobject_cast<QPushButton*>(w) || w == Ud1AbwesendMin)
            in.hints.insert(w->objectName(), w->sizeHint());
    }
    int rows = 0;
    for (QTreeWidget* list : {Lv1Sounds, Lv1Stimmen}) {
        const int rand = 2 * list->frameWidth() + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        in.listMinWidth = std::max(in.listMinWidth, keepRowsWhole(list) + rand);
        rows = std::max(rows, list->sizeHintForRow(0));
    }
    in.stimmenMinHeight = Lv1Stimmen->header()->sizeHint().height() + 3 * rows + 2 * Lv1Stimmen->frameWidth();

    const OptionenLayoutResult r = OptionenSchalterEinrichten(in);
    setFixedSize(r.client);
    for (const auto& [name, rect] : r.named()) {
        if (name == QLatin1String("Ed1AbwesendMin"))
            continue; // the edit lives inside the spin box
        QWidget* w = findChild<QWidget*>(name);
        if (w == Ud1AbwesendMin)
            w->setGeometry(r.Ed1AbwesendMin.united(r.Ud1AbwesendMin));
        else if (w)
            w->setGeometry(rect);
    }
    FensterEinrichten();
}

void TOptionenDlg::FensterEinrichten()
{
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const QSize frame = isVisible() ? frameGeometry().size() - size()
                                    : (owner ? owner->frameGeometry().size() - owner->size() : QSize(0, 0));
    move(OptionenFensterEinrichten(owner ? owner->frameGeometry() : area, size() + frame, area));
}

void TOptionenDlg::Btn1ResetClick()
{
    TEinstellungen e;
    const bool keepNameS = Le1Name->isReadOnly();
    EinstellungenVorbelegen(e, keepNameS, m_winUserName);
    if (keepNameS)
        e.Name = OldName;
    SetEinstellungen(e);
    ErsteSoundZeileWaehlen();
    Le1Name->selectAll();
    Le1Name->setFocus(Qt::OtherFocusReason);
}

bool TOptionenDlg::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        // Coming back to the dialog or out of a menu is no move between controls; the screen reader
        // announces that itself.
        if (!isWindowChange(event))
            FocusCue(watched, event->type() == QEvent::FocusIn);
        break;
    case QEvent::MouseButtonPress:
        if (watched == Lbl1Name) {
            Le1Name->setFocus(Qt::MouseFocusReason);
            return true;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void TOptionenDlg::FocusCue(QObject* watched, bool enteredS)
{
    if (watched == Lv1Stimmen) {
        if (enteredS) {
            m_tolk.output("Stimmen", false);
            InStimmenS = true;
            Lv1StimmenClick();
        } else {
            InStimmenS = false;
            // A sample still waiting for its 100 ms would otherwise start after the user left.
            Timer1Speak->stop();
            Speech->Stop();
        }
        return;
    }
    if (!enteredS)
        return;
    if (watched == Le1Name)
        m_tolk.output("Name", false);
    else if (watched == Lv1Sounds)
        m_tolk.output("Sounds", false);
    else if (watched == Ud1AbwesendMin)
        m_tolk.output("Minuten", false);
}

void TOptionenDlg::Lv1StimmenClick()
{
    if (!InStimmenS)
        return;
    Speech->Stop();
    m_tolk.silence();
    const QTreeWidgetItem* row = selectedRow(Lv1Stimmen);
    if (!row)
        return;
    const QString caption = row->text(0);
    if (Speech->TokenDescription() != caption)
        Speech->SetTokenNrIndex(Speech->FindDescriptionInTokensNrIndex(caption));
    // The sample always sounds alike, whatever the user's own volume and rate.
    Speech->SetVolume(SampleVolume);
    Speech->SetRate(SampleRate);
    Timer1Speak->start();
}

void TOptionenDlg::Timer1SpeakTimer()
{
    Timer1Speak->stop();
    if (Speech->TokenNrIndex().Nr == 0)
        m_tolk.silence();
    Speech->Speak(Speech->TokenDescription(), true);
}

void TOptionenDlg::done(int result)
{
    Timer1Speak->stop();
    Speech->Stop();
    QDialog::done(result);
}
