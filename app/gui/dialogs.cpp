#include "app/gui/dialogs.h"

#include "common/texts.h"

#include <QMessageBox>

bool MessageBoxDialogs::Frage(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, Texts::ProgrammName, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxDialogs::Info(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, Texts::ProgrammName, text, QMessageBox::Ok);
}
