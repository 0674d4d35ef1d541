// Dialogs that answer with a preset and record what was asked, so window tests never wait for a click.
#pragma once

#include "app/gui/dialogs.h"

#include <QStringList>
#include <functional>

class ScriptedDialogs : public IDialogs
{
public:
    bool Frage(QWidget*, const QString& text) override
    {
        fragen.append(text);
        // What happens elsewhere while a real question waits for the user.
        if (waehrendFrage)
            waehrendFrage();
        return antwort;
    }
    void Info(QWidget*, const QString& text) override { infos.append(text); }
    bool antwort = true;
    std::function<void()> waehrendFrage;
    QStringList fragen;
    QStringList infos;
};
