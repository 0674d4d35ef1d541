// Questions and notices to the user, behind an interface so window tests never wait for a click.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

class IDialogs
{
public:
    virtual ~IDialogs() = default;
    // A Yes/No confirmation; true for Yes.
    virtual bool Frage(QWidget* parent, const QString& text) = 0;
    // An information box with an OK button.
    virtual void Info(QWidget* parent, const QString& text) = 0;
};

class MessageBoxDialogs : public IDialogs
{
public:
    bool Frage(QWidget* parent, const QString& text) override;
    void Info(QWidget* parent, const QString& text) override;
};
