#include "common/keynames.h"

namespace {

QString keyName(int key)
{
    switch (key) {
    case Qt::Key_PageDown:
        return QStringLiteral("BildAb");
    case Qt::Key_PageUp:
        return QStringLiteral("BildAuf");
    case Qt::Key_Escape:
        return QStringLiteral("Esc");
    case Qt::Key_Delete:
        return QStringLiteral("Entf");
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("Eingabe");
    case Qt::Key_Space:
        return QStringLiteral("Leer");
    case Qt::Key_Tab:
        return QStringLiteral("Tab");
    case Qt::Key_Home:
        return QStringLiteral("Pos1");
    case Qt::Key_End:
        return QStringLiteral("Ende");
    case Qt::Key_Insert:
        return QStringLiteral("Einfg");
    default:
        break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
    if (key > 0 && key < 0x110000) {
        const char32_t c = char32_t(key);
        return QString::fromUcs4(&c, 1).toUpper();
    }
    return QString();
}

} // namespace

QString GermanShortcutText(int keyCombination)
{
    const int key = keyCombination & ~int(Qt::KeyboardModifierMask);
    const QString name = keyName(key);
    if (name.isEmpty())
        return QString();
    QString text;
    if (keyCombination & Qt::ShiftModifier)
        text += QStringLiteral("Umsch+");
    if (keyCombination & Qt::ControlModifier)
        text += QStringLiteral("Strg+");
    if (keyCombination & Qt::AltModifier)
        text += QStringLiteral("Alt+");
    return text + name;
}

QString KeyHintText(const TKeyHintInput& in)
{
    QString text;
    if (in.naechsteS)
        text += GermanShortcutText(in.naechste) + QStringLiteral("=Nächste; ");
    else if (in.vorherigeS)
        text += GermanShortcutText(in.vorherige) + QStringLiteral("=Vorherige; ");
    if (in.gelesenS)
        text += GermanShortcutText(in.gelesen) + QStringLiteral("=Gelesen; ");
    else if (in.sendenS)
        text += GermanShortcutText(in.senden) + QStringLiteral("=Senden; ");
    else if (in.optionenS)
        text += GermanShortcutText(in.optionen) + QStringLiteral("=Optionen; ");
    text += GermanShortcutText(in.minimieren) + QStringLiteral("=Minimieren; ");
    text.chop(2);
    return text;
}
