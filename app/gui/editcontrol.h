// The kinds of text control the edit popup serves, behind one call.
#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>

// Calls f with the control as its own type; nothing for any other widget.
template <typename F>
void WithEditControl(QWidget* w, F&& f)
{
    if (auto* e = qobject_cast<QLineEdit*>(w))
        f(e);
    else if (auto* m = qobject_cast<QPlainTextEdit*>(w))
        f(m);
}

inline QString SelectedText(QLineEdit* e)
{
    return e->selectedText();
}
inline QString SelectedText(QPlainTextEdit* m)
{
    return m->textCursor().selectedText();
}
inline QString WholeText(QLineEdit* e)
{
    return e->text();
}
inline QString WholeText(QPlainTextEdit* m)
{
    return m->toPlainText();
}
