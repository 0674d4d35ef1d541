// The font and colour dialog. Positions and sizes are computed from the display font (BackFontSchalterEinrichten),
// so nothing here uses a layout manager.
#include "shell/gui/fontdialog.h"

#include "common/texts.h"
#include "shell/gui/fontlayout.h"
#include "shell/gui/layout.h"
#include "shell/gui/optionslayout.h"
#include "speech/screenreader.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
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

constexpr int Rand = 10;
constexpr int TolkDelayMs = 25;
// A window manager may activate the dialog later than the first tick; the cue waits for it this often.
constexpr int TolkVersuche = 40;
constexpr int VisibleColorRows = 5;

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

// The check mark as large as the text wants.
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

private:
    int m_size;
};

// The size field: digits only. A number outside the range stays while the user types (OK is disabled then)
// and becomes the nearest size, or the smallest for no number, when the field is left.
class SizeSpinBox : public QSpinBox
{
public:
    using QSpinBox::QSpinBox;

    QValidator::State validate(QString& input, int&) const override
    {
        const bool digitsS = std::all_of(input.begin(), input.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (!digitsS || input.size() > 2)
            return QValidator::Invalid;
        return SizeTextValid(input) ? QValidator::Acceptable : QValidator::Intermediate;
    }

    void fixup(QString& input) const override { input = QString::number(SizeFromText(input)); }

    int valueFromText(const QString& text) const override { return SizeFromText(text); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        // The spin box would correct the size before Enter reaches the disabled OK button and so press it.
        const bool enterS = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enterS && !SizeTextValid(lineEdit()->text())) {
            event->ignore();
            return;
        }
        QSpinBox::keyPressEvent(event);
    }
};

template <typename W>
W* named(W* w, const QString& name, const QString& accessibleName)
{
    w->setObjectName(name);
    w->setAccessibleName(accessibleName);
    return w;
}

// "Schriftfarbe: %s" names its list "Schriftfarbe".
QString nameOfCue(const QString& pattern)
{
    QString name = FormatText(pattern, {}).trimmed();
    if (name.endsWith(u':'))
        name.chop(1);
    return name.trimmed();
}

bool isWindowChange(const QEvent* event)
{
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

QTreeWidgetItem* selectedRow(const QTreeWidget* list)
{
    const QList<QTreeWidgetItem*> rows = list->selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

void markieren(QComboBox* list, const TColors& colors, uint32_t color)
{
    TColorName found;
    if (!colors.FindColor(color, found)) {
        list->setCurrentIndex(0);
        return;
    }
    list->setItemText(found.Index, QLatin1Char('*') + list->itemText(found.Index));
    list->setCurrentIndex(found.Index);
}

} // namespace

TBackFontDlg::TBackFontDlg(QWidget* AOwner, uint32_t AAktBackColor, const TFontSetting& AAktFont, IScreenReader* ATolk,
                           Frage AFrage)
    : TBackFontDlg(AOwner, AAktBackColor, AAktFont, DefaultBackFontDlgTexts(), ATolk, std::move(AFrage))
{
}

TBackFontDlg::TBackFontDlg(QWidget* AOwner, uint32_t AAktBackColor, const TFontSetting& AAktFont,
                           const TBackFontDlgTexts& ATexts, IScreenReader* ATolk, Frage AFrage)
    : QDialog(AOwner)
    , FAktBackColor(AAktBackColor)
    , FAktFont(AAktFont)
    , FTolk(ATolk)
    , FTexts(CompleteBackFontDlgTexts(ATexts))
    , FColors(FTexts.ColorNames, FTexts.BackgroundSuffix)
    , FFrage(std::move(AFrage))
{
    FormCreate();
}

TBackFontDlg::~TBackFontDlg() = default;

void TBackFontDlg::FormCreate()
{
    setObjectName(QStringLiteral("BackFontDlg"));

    LvFonts = named(new QTreeWidget(this), QStringLiteral("LvFonts"), FTexts.FontColumnCaption);
    LvFonts->setColumnCount(1);
    LvFonts->setRootIsDecorated(false);
    LvFonts->setUniformRowHeights(true);
    LvFonts->setSelectionMode(QAbstractItemView::SingleSelection);
    LvFonts->setSelectionBehavior(QAbstractItemView::SelectRows);
    LvFonts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LvFonts->setItemDelegate(new GridDelegate(LvFonts));
    LvFonts->header()->setSectionsMovable(false);
    LvFonts->header()->setStretchLastSection(true);

    const QString sizeCaption =
        FormatText(FTexts.FontSizeCaption, {QString::number(FontSizeMin), QString::number(FontSizeMax)});
    const QString sizeName = nameOfCue(StripAccelerators(sizeCaption));
    UpDown1 = named(new SizeSpinBox(this), QStringLiteral("UpDown1"), sizeName);
    UpDown1->setRange(FontSizeMin, FontSizeMax);
    UpDown1->setAlignment(Qt::AlignCenter);
    LeSize = named(UpDown1->findChild<QLineEdit*>(), QStringLiteral("LeSize"), sizeName);
    LeSize->setMaxLength(QString::number(FontSizeMax).size());
    LblSize = named(new QLabel(this), QStringLiteral("LblSize"), sizeName);
    LblSize->setBuddy(UpDown1);
    CbBold = named(new QCheckBox(this), QStringLiteral("CbBold"), StripAccelerators(FTexts.BoldCaption));
    CoBoColors = named(new QComboBox(this), QStringLiteral("CoBoColors"), nameOfCue(FTexts.TolkFontColor));
    CoBoBackColors = named(new QComboBox(this), QStringLiteral("CoBoBackColors"), nameOfCue(FTexts.TolkBackColor));
    EditTest = named(new QLineEdit(this), QStringLiteral("EditTest"), QStringLiteral("Vorschau"));
    EditTest->setReadOnly(true);
    EditTest->setAlignment(Qt::AlignCenter);
    Btn1OK = named(new QPushButton(this), QStringLiteral("Btn1OK"), StripAccelerators(FTexts.OkCaption));
    Btn2Cancel = named(new QPushButton(this), QStringLiteral("Btn2Cancel"), StripAccelerators(FTexts.CancelCaption));
    // Enter presses OK from anywhere but another button; Escape is the dialog's own cancel.
    Btn1OK->setDefault(true);

    // The size field's own menu holds only the hidden paste item, so no menu opens on it.
    PuMenu1 = new QMenu(this);
    PuMenu1->setObjectName(QStringLiteral("PuMenu1"));
    PuEinfuegen = PuMenu1->addAction(QString());
    PuEinfuegen->setObjectName(QStringLiteral("PuEinfuegen"));
    PuEinfuegen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    PuEinfuegen->setVisible(false);
    UpDown1->setContextMenuPolicy(Qt::PreventContextMenu);
    LeSize->setContextMenuPolicy(Qt::PreventContextMenu);

    // The preview's shortcuts are the field's own; in the menu they are only shown.
    PuMenuVorschau = new QMenu(this);
    PuMenuVorschau->setObjectName(QStringLiteral("PuMenuVorschau"));
    PuVorschauAllesMarkieren = PuMenuVorschau->addAction(QString());
    PuVorschauAllesMarkieren->setObjectName(QStringLiteral("PuVorschauAllesMarkieren"));
    PuVorschauAllesMarkieren->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    PuVorschauKopieren = PuMenuVorschau->addAction(QString());
    PuVorschauKopieren->setObjectName(QStringLiteral("PuVorschauKopieren"));
    PuVorschauKopieren->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    EditTest->setContextMenuPolicy(Qt::CustomContextMenu);

    TimerTolk = new QTimer(this);
    TimerTolk->setObjectName(QStringLiteral("TimerTolk"));
    TimerTolk->setSingleShot(true);
    TimerTolk->setInterval(TolkDelayMs);

    QStringList names;
    FColors.FillStringList(names, false);
    CoBoColors->addItems(names);
    FColors.FillStringList(names, true);
    CoBoBackColors->addItems(names);
    for (QComboBox* list : {CoBoColors, CoBoBackColors}) {
        list->setMaxVisibleItems(VisibleColorRows);
        // Qt on Linux reads a combo box's current entry as its name: the description says which list it is.
        list->setAccessibleDescription(list->accessibleName());
    }

    CaptionZuweisen();
    SetTabOrders();
    Anfangswerte();

    for (QObject* o : std::initializer_list<QObject*>{LvFonts, UpDown1, LeSize, LblSize, CoBoColors, CoBoBackColors})
        o->installEventFilter(this);
    connect(LvFonts, &QTreeWidget::itemSelectionChanged, this, &TBackFontDlg::UpdateEditTest);
    connect(CbBold, &QCheckBox::toggled, this, &TBackFontDlg::UpdateEditTest);
    connect(CoBoColors, &QComboBox::currentIndexChanged, this, &TBackFontDlg::UpdateEditTest);
    connect(CoBoBackColors, &QComboBox::currentIndexChanged, this, &TBackFontDlg::UpdateEditTest);
    connect(UpDown1, &QSpinBox::valueChanged, this, &TBackFontDlg::UpdateEditTest);
    // The spin box writes its corrected text with the edit's signals blocked; it reports the value instead,
    // or only that editing finished when the value stays.
    connect(LeSize, &QLineEdit::textChanged, this, &TBackFontDlg::LeSizeChange);
    connect(UpDown1, &QSpinBox::valueChanged, this, &TBackFontDlg::LeSizeChange);
    connect(UpDown1, &QSpinBox::editingFinished, this, &TBackFontDlg::LeSizeChange);
    connect(PuEinfuegen, &QAction::triggered, this, [] { QApplication::beep(); });
    connect(EditTest, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PuMenuVorschau->exec(EditTest->mapToGlobal(p)); });
    connect(PuMenuVorschau, &QMenu::aboutToShow, this, [this] {
        PuVorschauAllesMarkieren->setEnabled(!EditTest->text().isEmpty());
        PuVorschauKopieren->setEnabled(EditTest->hasSelectedText());
    });
    connect(PuVorschauAllesMarkieren, &QAction::triggered, this, [this] {
        EditTest->setFocus(Qt::OtherFocusReason);
        EditTest->selectAll();
    });
    connect(PuVorschauKopieren, &QAction::triggered, EditTest, &QLineEdit::copy);
    connect(TimerTolk, &QTimer::timeout, this, &TBackFontDlg::TimerTolkTimer);
    connect(Btn1OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(Btn2Cancel, &QPushButton::clicked, this, &QDialog::reject);
    LeSizeChange();
    UpdateEditTest();
}

void TBackFontDlg::CaptionZuweisen()
{
    setWindowTitle(FTexts.WindowCaption);
    LvFonts->setHeaderLabels({FTexts.FontColumnCaption});
    LvFonts->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    SchriftenEinlesen();
    LblSize->setText(FormatText(FTexts.FontSizeCaption, {QString::number(FontSizeMin), QString::number(FontSizeMax)}));
    CbBold->setText(FTexts.BoldCaption);
    EditTest->setText(FTexts.PreviewText);
    Btn1OK->setText(FTexts.OkCaption);
    Btn2Cancel->setText(FTexts.CancelCaption);
    PuEinfuegen->setText(FTexts.InsertCaption);
    PuVorschauKopieren->setText(FTexts.CopyCaption);
    PuVorschauAllesMarkieren->setText(FTexts.SelectAllCaption);
}

void TBackFontDlg::SetTabOrders()
{
    const QList<QWidget*> order = {LvFonts, UpDown1, CbBold, CoBoColors, CoBoBackColors, EditTest, Btn1OK, Btn2Cancel};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TBackFontDlg::SchriftenEinlesen()
{
    // A font that is not installed is shown in the one the system substitutes: that one stays preselected,
    // not the first of the list, so changing only the size keeps the look the user has.
    const QStringList installed = QFontDatabase::families();
    QString aktuell = FAktFont.name;
    if (!installed.contains(aktuell, Qt::CaseInsensitive))
        aktuell = QFontInfo(FontFromSetting(FAktFont)).family();
    const TFontRows rows = FontListRows(installed, aktuell);
    FFontFamilies = rows.families;
    LvFonts->clear();
    for (const QString& caption : rows.captions) {
        auto* row = new QTreeWidgetItem(LvFonts, QStringList{caption});
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    if (QTreeWidgetItem* row = LvFonts->topLevelItem(rows.selected)) {
        LvFonts->setCurrentItem(row);
        LvFonts->scrollToItem(row);
    }
    FMaxLvFontsWidth = MaxLvFontsWidth(FontFromSetting(FAktFont), FTexts.FontColumnCaption, rows.captions);
}

void TBackFontDlg::Anfangswerte()
{
    UpDown1->setValue(FAktFont.sizePt);
    CbBold->setChecked(FAktFont.bold);
    markieren(CoBoColors, FColors, FAktFont.color);
    markieren(CoBoBackColors, FColors, FAktBackColor);
}

uint32_t TBackFontDlg::NewBackColor() const
{
    return FColors.Get(CoBoBackColors->currentIndex()).Color;
}

void TBackFontDlg::GetNewFont(TFontSetting& AFont) const
{
    AFont = FAktFont;
    if (QTreeWidgetItem* row = selectedRow(LvFonts)) {
        const int i = LvFonts->indexOfTopLevelItem(row);
        if (i >= 0 && i < FFontFamilies.size())
            AFont.name = FFontFamilies[i];
    }
    AFont.sizePt = UpDown1->value();
    AFont.bold = CbBold->isChecked();
    AFont.italic = false;
    AFont.underline = false;
    AFont.strikeOut = false;
    AFont.color = FColors.Get(CoBoColors->currentIndex()).Color;
}

void TBackFontDlg::showEvent(QShowEvent* event)
{
    // The base class centres a dialog that was not moved; FormShow places it afterwards.
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TBackFontDlg::FormShow()
{
    SchriftartZuweisen();
    UpdateEditTest();
    if (QTreeWidgetItem* row = LvFonts->currentItem())
        LvFonts->scrollToItem(row);
    // The screen reader first announces the dialog; the list is entered a moment later, so that its cue is
    // what the user hears next.
    Btn2Cancel->setFocus();
    FTolkVersuche = TolkVersuche;
    TimerTolk->start();
}

void TBackFontDlg::TimerTolkTimer()
{
    TimerTolk->stop();
    if (!isActiveWindow() && --FTolkVersuche > 0) {
        TimerTolk->start();
        return;
    }
    LvFonts->setFocus(Qt::OtherFocusReason);
}

void TBackFontDlg::SchriftartZuweisen()
{
    const QFont font = FontFromSetting(FAktFont);
    const QColor text = ColorFromSetting(FAktFont.color, palette().color(QPalette::WindowText));
    const QColor back = ColorFromSetting(FAktBackColor, palette().color(QPalette::Base));
    // Like the main window's client area, so the coloured check box does not stand out as a patch.
    QPalette own = palette();
    own.setColor(QPalette::Window, back);
    setPalette(own);
    const QList<QWidget*> textControls = {LvFonts, LblSize, UpDown1, CbBold, CoBoColors, CoBoBackColors, EditTest};
    for (QWidget* w : textControls) {
        w->setFont(font);
        QPalette p = w->palette();
        // The check box draws its square from Base and Text, which stay the system's so it shows on any
        // background.
        const bool checkBoxS = w == CbBold;
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
    // The style draws the check mark at a fixed size; with large print it grows with the text.
    auto* marks = new MarkStyle(
        std::max(QFontMetrics(font).height() * 2 / 3, style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this)));
    marks->setParent(this);
    CbBold->setStyle(marks);
    // Buttons keep their own colours and take only name, size and style.
    for (QPushButton* b : {Btn1OK, Btn2Cancel})
        b->setFont(font);
    SchalterEinrichten();
}

void TBackFontDlg::SchalterEinrichten()
{
    ensurePolished();
    BackFontLayoutInput in;
    in.font = Btn1OK->font();
    in.buttonCaptions = QStringList{Btn1OK->text(), Btn2Cancel->text()};
    in.boldCaption = CbBold->text();
    in.maxLvFontsWidth = FMaxLvFontsWidth;
    in.minLvFontsWidth = MaxLvFontsWidth(LvFonts->font(), FTexts.FontColumnCaption, {});
    in.listExtra =
        2 * LvFonts->frameWidth() + LvFonts->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, LvFonts);
    in.sizeLabel = LblSize->sizeHint();
    QStyleOptionSpinBox option;
    option.initFrom(UpDown1);
    option.rect = QRect(QPoint(0, 0), UpDown1->sizeHint());
    option.subControls = QStyle::SC_All;
    in.upDownWidth = style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, UpDown1).width();
    in.editHint = EditTest->sizeHint();
    in.sizeFieldHint = UpDown1->sizeHint();
    in.comboHint = CoBoColors->sizeHint().expandedTo(CoBoBackColors->sizeHint());
    in.boldHint = CbBold->sizeHint();
    in.buttonHint = Btn1OK->sizeHint().expandedTo(Btn2Cancel->sizeHint());
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    in.workArea = screen ? screen->availableGeometry().size() : QSize();
    // The dialog's frame is not known before it is shown; the owner's is the same window manager's.
    in.frame = owner ? owner->frameGeometry().size() - owner->size() : QSize(0, 0);

    const BackFontLayoutResult r = BackFontSchalterEinrichten(in);
    setFixedSize(r.client);
    for (const auto& [name, rect] : r.named()) {
        if (name == QLatin1String("LeSize"))
            continue; // the edit lives inside the spin box
        QWidget* w = findChild<QWidget*>(name);
        if (w == UpDown1)
            w->setGeometry(r.LeSize.united(r.UpDown1));
        else if (w)
            w->setGeometry(rect);
    }
    // The column is never narrower than its widest row, so a row is scrolled to rather than shortened.
    LvFonts->header()->setMinimumSectionSize(std::max(FMaxLvFontsWidth, 1));
    FPreviewBottom = r.Btn1OK.y() - Rand;
    FensterEinrichten();
}

void TBackFontDlg::FensterEinrichten()
{
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner)
        return;
    const QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const QSize frame = isVisible() ? frameGeometry().size() - size() : owner->frameGeometry().size() - owner->size();
    move(OptionenFensterEinrichten(owner->frameGeometry(), size() + frame, area));
}

void TBackFontDlg::UpdateEditTest()
{
    TFontSetting chosen;
    GetNewFont(chosen);
    EditTest->setFont(FontFromSetting(chosen));
    QPalette p = EditTest->palette();
    const QColor back = ColorFromSetting(NewBackColor(), p.color(QPalette::Base));
    const QColor text = ColorFromSetting(chosen.color, p.color(QPalette::Text));
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window})
        p.setColor(role, back);
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText})
        p.setColor(role, text);
    EditTest->setPalette(p);
    EditTestHoeheAnpassen();
    // A preview wider than the field shows its beginning, as the user reads it.
    if (!EditTest->hasFocus())
        EditTest->setCursorPosition(0);
}

void TBackFontDlg::EditTestHoeheAnpassen()
{
    // Like an edit that sizes itself to its font, but never down onto the buttons.
    if (FPreviewBottom <= 0)
        return;
    const int own = std::max(EditTest->sizeHint().height(), GetControlHeight(EditTest->font(), ControlKind::Edit));
    EditTest->resize(EditTest->width(), std::min(own, FPreviewBottom - EditTest->y()));
}

void TBackFontDlg::LeSizeChange()
{
    Btn1OK->setEnabled(SizeTextValid(LeSize->text()));
}

bool TBackFontDlg::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        // Coming back to the dialog or out of a list's popup is no move between fields; the screen reader
        // announces that itself.
        if (!isWindowChange(event))
            Enters(watched);
        break;
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
        // Only a typed size may reach the field.
        if ((watched == UpDown1 || watched == LeSize) && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
            if (event->type() == QEvent::KeyPress)
                PuEinfuegen->trigger();
            event->accept();
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        // The middle button pastes the selection on X11.
        if (watched == LeSize && static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton)
            return true;
        if (watched == LblSize && event->type() == QEvent::MouseButtonPress) {
            UpDown1->setFocus(Qt::MouseFocusReason);
            return true;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void TBackFontDlg::Enters(QObject* watched)
{
    if (!FTolk)
        return;
    QString cue;
    if (watched == LvFonts) {
        const QTreeWidgetItem* row = selectedRow(LvFonts);
        cue = FormatText(FTexts.TolkFontName, {row ? row->text(0) : QString()});
    } else if (watched == CoBoColors) {
        cue = FormatText(FTexts.TolkFontColor, {CoBoColors->currentText()});
    } else if (watched == UpDown1) {
        cue = FormatText(FTexts.TolkFontSize,
                         {QString::number(FontSizeMin), QString::number(FontSizeMax), LeSize->text()});
    } else if (watched == CoBoBackColors) {
        cue = FormatText(FTexts.TolkBackColor, {CoBoBackColors->currentText()});
    } else {
        return;
    }
    FTolk->output(cue.toStdString(), false);
}

void TBackFontDlg::done(int result)
{
    if (result == QDialog::Accepted && CoBoColors->currentIndex() == CoBoBackColors->currentIndex()) {
        const QString frage = QString(FTexts.EqualColorsQuestion).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const bool jaS =
            FFrage ? FFrage(this, frage)
                   : QMessageBox::question(this, Texts::ProgrammName, frage, QMessageBox::Yes | QMessageBox::No,
                                           QMessageBox::No) == QMessageBox::Yes;
        if (!jaS) {
            CoBoColors->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    TimerTolk->stop();
    QDialog::done(result);
}
