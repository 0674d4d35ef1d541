#include "shell/gui/optionslayout.h"

#include "shell/gui/layout.h"

#include <algorithm>

namespace {

constexpr int Rand = 10;
constexpr int Abstand = 20;
constexpr int LabelAbstand = 5;
// Smallest gap kept between the minutes rows and between buttons when the dialog must grow or shrink.
constexpr int MinLuecke = 5;

const QList<QPair<QString, QString>>& captions()
{
    static const QList<QPair<QString, QString>> table = {
        {QStringLiteral("Lbl1Name"), QStringLiteral("&Name:")},
        {QStringLiteral("Cb1Autostart"), QStringLiteral("Ausführen bei &Windows-Start")},
        {QStringLiteral("Cb1FensterWiederherstellen"),
         QStringLiteral("&Fenster wiederherstellen beim Nachrichteneingang")},
        {QStringLiteral("Cb1FensterNachSendenMinimieren"), QStringLiteral("Fenster nac&h dem Senden minimieren")},
        {QStringLiteral("Cb1MinimiertStarten"), QStringLiteral("&Minimiert starten")},
        {QStringLiteral("Cb1BeendenSichern"), QStringLiteral("Sicherheitsabfrage beim &Beenden")},
        {QStringLiteral("Cb1SoundsWiedergeben"), QStringLiteral("&Sounds wiedergeben")},
        {QStringLiteral("Cb1AutoAbwesend"), QStringLiteral("Au&tomatisch abwesend in (Minuten):")},
        {QStringLiteral("Cb1StatusLesen"), QStringLiteral("Stat&usmeldung vorlesen")},
        {QStringLiteral("Cb1NachrichtLesen"), QStringLiteral("Nachrichten&eingang vorlesen")},
        {QStringLiteral("Btn1Reset"), QStringLiteral("Standa&rd")},
        {QStringLiteral("Btn1OK"), QStringLiteral("O&K")},
        {QStringLiteral("Btn1Abbrechen"), QStringLiteral("&Abbrechen")},
    };
    return table;
}

QRect box(int left, int top, int width, int height)
{
    return QRect(left, top, std::max(width, 0), std::max(height, 0));
}

int bottomOf(const QRect& r)
{
    return r.y() + r.height();
}

int rightOf(const QRect& r)
{
    return r.x() + r.width();
}

} // namespace

QString OptionenCaption(const QString& objectName)
{
    for (const auto& [name, caption] : captions()) {
        if (name == objectName)
            return caption;
    }
    return QString();
}

const QList<QString>& OptionenCheckBoxNames()
{
    static const QList<QString> names = {QStringLiteral("Cb1Autostart"),
                                         QStringLiteral("Cb1FensterWiederherstellen"),
                                         QStringLiteral("Cb1FensterNachSendenMinimieren"),
                                         QStringLiteral("Cb1MinimiertStarten"),
                                         QStringLiteral("Cb1BeendenSichern"),
                                         QStringLiteral("Cb1SoundsWiedergeben"),
                                         QStringLiteral("Cb1AutoAbwesend"),
                                         QStringLiteral("Cb1StatusLesen"),
                                         QStringLiteral("Cb1NachrichtLesen")};
    return names;
}

const QList<QString>& OptionenButtonNames()
{
    static const QList<QString> names = {QStringLiteral("Btn1Reset"), QStringLiteral("Btn1OK"),
                                         QStringLiteral("Btn1Abbrechen")};
    return names;
}

QList<QPair<QString, QRect>> OptionenLayoutResult::named() const
{
    return {{QStringLiteral("Lbl1Name"), Lbl1Name},
            {QStringLiteral("Le1Name"), Le1Name},
            {QStringLiteral("Cb1Autostart"), Cb1Autostart},
            {QStringLiteral("Cb1FensterWiederherstellen"), Cb1FensterWiederherstellen},
            {QStringLiteral("Cb1FensterNachSendenMinimieren"), Cb1FensterNachSendenMinimieren},
            {QStringLiteral("Cb1MinimiertStarten"), Cb1MinimiertStarten},
            {QStringLiteral("Cb1BeendenSichern"), Cb1BeendenSichern},
            {QStringLiteral("Cb1SoundsWiedergeben"), Cb1SoundsWiedergeben},
            {QStringLiteral("Lv1Sounds"), Lv1Sounds},
            {QStringLiteral("Cb1AutoAbwesend"), Cb1AutoAbwesend},
            {QStringLiteral("Ed1AbwesendMin"), Ed1AbwesendMin},
            {QStringLiteral("Ud1AbwesendMin"), Ud1AbwesendMin},
            {QStringLiteral("Cb1StatusLesen"), Cb1StatusLesen},
            {QStringLiteral("Cb1NachrichtLesen"), Cb1NachrichtLesen},
            {QStringLiteral("Lv1Stimmen"), Lv1Stimmen},
            {QStringLiteral("Btn1Reset"), Btn1Reset},
            {QStringLiteral("Btn1OK"), Btn1OK},
            {QStringLiteral("Btn1Abbrechen"), Btn1Abbrechen}};
}

OptionenLayoutResult OptionenSchalterEinrichten(const OptionenLayoutInput& in)
{
    const auto hint = [&in](const QString& name) { return in.hints.value(name); };
    const auto checkBox = [&](const QString& name) {
        const QSize own = hint(name);
        return QSize(std::max(GetCaptionWidth(in.font, StripAccelerators(OptionenCaption(name)) + QStringLiteral("MM")),
                              own.width()),
                     std::max(GetControlHeight(in.font, ControlKind::CheckBox), own.height()));
    };

    // Buttons: one width for all, from the widest caption in pixels.
    QString widest;
    for (const QString& name : OptionenButtonNames()) {
        const QString text = StripAccelerators(OptionenCaption(name));
        if (GetTextWidth(in.font, text) > GetTextWidth(in.font, widest))
            widest = text;
    }
    int b = GetCaptionWidth(in.font, widest + QStringLiteral("MM"));
    int btnH = GetControlHeight(in.font, ControlKind::Button);
    for (const QString& name : OptionenButtonNames()) {
        b = std::max(b, hint(name).width());
        btnH = std::max(btnH, hint(name).height());
    }

    // The minutes row: the check box, the edit twice as wide as the row is high, the arrows beside it.
    const QSize minuten = hint(QStringLiteral("Ud1AbwesendMin"));
    QSize autoAb = checkBox(QStringLiteral("Cb1AutoAbwesend"));
    autoAb.setHeight(std::max(autoAb.height(), minuten.height()));
    const int edW = std::max(2 * autoAb.height(), minuten.width() - in.upDownWidth);

    // Column width: the widest of the upper check boxes, at least the whole minutes row.
    const QList<QString> spalte = OptionenCheckBoxNames().mid(0, 6);
    int w = autoAb.width() + edW + in.upDownWidth + LabelAbstand;
    for (const QString& name : spalte)
        w = std::max(w, checkBox(name).width());

    const int listLeft = Rand + w + Abstand;
    int g = b * 82 / 100;
    int cw = 4 * g + 3 * b;
    const int noetig = std::max(listLeft + in.listMinWidth + Rand, 3 * b + 4 * MinLuecke);
    if (cw < noetig)
        cw = noetig;
    const int grenzeW = in.workArea.width() - in.frame.width();
    if (in.workArea.width() > 0 && cw > grenzeW) {
        // Rows of a list may scroll sideways; the check boxes, the buttons and a list caption may not.
        const int mindestens =
            std::max(listLeft + GetCaptionWidth(in.font, OptionenTexte::SpalteStimmen) + Rand, 3 * b + 4 * MinLuecke);
        cw = std::max(grenzeW, mindestens);
    }
    if (cw != 4 * g + 3 * b)
        g = (cw - 3 * b) / 4;

    OptionenLayoutResult r;
    const int nameLeft = in.nameLabel.width() + LabelAbstand + Rand;
    r.Le1Name = box(nameLeft, Rand, Rand + w - nameLeft, in.nameHeight);
    r.Lbl1Name = box(nameLeft - LabelAbstand - in.nameLabel.width(), Rand + (in.nameHeight - in.nameLabel.height()) / 2,
                     in.nameLabel.width(), in.nameLabel.height());
    QRect* oben[6] = {&r.Cb1Autostart,        &r.Cb1FensterWiederherstellen, &r.Cb1FensterNachSendenMinimieren,
                      &r.Cb1MinimiertStarten, &r.Cb1BeendenSichern,          &r.Cb1SoundsWiedergeben};
    int top = bottomOf(r.Le1Name) + Abstand;
    for (int i = 0; i < 6; ++i) {
        *oben[i] = box(Rand, top, w, checkBox(spalte[i]).height());
        top = bottomOf(*oben[i]) + Abstand;
    }
    const int soundsBottom = bottomOf(r.Cb1SoundsWiedergeben);

    // Height: 97 % of the owner's, more where the minutes rows would not fit beside the voice list.
    const int stimmenNoetig = std::max(3 * autoAb.height() + 4 * MinLuecke, in.stimmenMinHeight);
    const int chNoetig = soundsBottom + Abstand + stimmenNoetig + Abstand + btnH + Rand;
    int ch = std::max(in.ownerHeight * 97 / 100 - in.frame.height(), chNoetig);
    if (in.workArea.height() > 0)
        ch = std::min(ch, std::max(in.workArea.height() - in.frame.height(), chNoetig));
    r.client = QSize(cw, ch);

    const int btnTop = ch - btnH - Rand;
    r.Btn1Reset = box(g, btnTop, b, btnH);
    r.Btn1OK = box(rightOf(r.Btn1Reset) + g, btnTop, b, btnH);
    r.Btn1Abbrechen = box(rightOf(r.Btn1OK) + g, btnTop, b, btnH);

    r.Lv1Sounds = box(listLeft, Rand, cw - listLeft - Rand, soundsBottom - Rand);
    const int stimmenTop = bottomOf(r.Lv1Sounds) + Abstand;
    r.Lv1Stimmen = box(listLeft, stimmenTop, r.Lv1Sounds.width(), btnTop - stimmenTop - Abstand);

    const int d = (r.Lv1Stimmen.height() - 3 * autoAb.height()) / 4;
    r.Cb1AutoAbwesend = box(Rand, stimmenTop + d, autoAb.width(), autoAb.height());
    r.Ed1AbwesendMin = box(rightOf(r.Cb1AutoAbwesend) + LabelAbstand, r.Cb1AutoAbwesend.y(), edW, autoAb.height());
    r.Ud1AbwesendMin = box(rightOf(r.Ed1AbwesendMin), r.Cb1AutoAbwesend.y(), in.upDownWidth, autoAb.height());
    const QSize status = checkBox(QStringLiteral("Cb1StatusLesen"));
    r.Cb1StatusLesen = box(Rand, bottomOf(r.Cb1AutoAbwesend) + d, status.width(), status.height());
    const QSize nachricht = checkBox(QStringLiteral("Cb1NachrichtLesen"));
    r.Cb1NachrichtLesen =
        box(Rand, bottomOf(r.Lv1Stimmen) - d - nachricht.height(), nachricht.width(), nachricht.height());
    return r;
}

QPoint OptionenFensterEinrichten(const QRect& ownerFrame, const QSize& dialogOuter, const QRect& workArea)
{
    int left = ownerFrame.left() + (ownerFrame.width() - dialogOuter.width()) / 2;
    int top = ownerFrame.top() + (ownerFrame.height() - dialogOuter.height()) / 2;
    if (workArea.isValid()) {
        left = std::max(std::min(left, workArea.left() + workArea.width() - dialogOuter.width()), workArea.left());
        top = std::max(std::min(top, workArea.top() + workArea.height() - dialogOuter.height()), workArea.top());
    }
    return QPoint(left, top);
}
