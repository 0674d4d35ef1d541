// The help menu, the update hand-over and the tray's update item.
#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "app/paths.h"
#include "common/texts.h"
#include "shell/gui/desktoplauncher.h"
#include "shell/handover.h"
#include "shell/helplinks.h"
#include "shell/settings.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString HistoryFileName = QStringLiteral("History.txt");

QString ForDialog(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

ILauncher& TTB_Form1::launcher()
{
    if (m_env.launcher)
        return *m_env.launcher;
    if (!m_desktopLauncher)
        m_desktopLauncher = std::make_unique<DesktopLauncher>();
    return *m_desktopLauncher;
}

QString TTB_Form1::programFolder() const
{
    return m_env.programFolderPath.isEmpty() ? ProgramFolderPath() : m_env.programFolderPath;
}

bool TTB_Form1::updaterPresent() const
{
    return !UpdaterPath(programFolder()).isEmpty();
}

THelpLinks TTB_Form1::helpLinks() const
{
    return LoadHelpLinks(QDir(programFolder()).filePath(HelpLinksFileName), Texts::ProgrammName);
}

void TTB_Form1::MenuHilfeClick()
{
    const THelpLinks links = helpLinks();
    MenuHilfeHistory->setEnabled(QFileInfo(QDir(programFolder()).filePath(HistoryFileName)).isFile());
    MenuHilfeMail->setEnabled(!links.mail.isEmpty());
    MenuHilfeHomepage->setEnabled(!links.homepage.isEmpty());
    MenuHilfeSpenden->setEnabled(!links.spenden.isEmpty());
    MenuHilfeUpdate->setVisible(updaterPresent());
}

// Shown by the desktop's viewer for text; a file that vanished since the menu opened shows nothing.
bool TTB_Form1::OpenTextFile(const QString& fileName)
{
    if (!QFileInfo(fileName).isFile())
        return false;
    launcher().Open(QUrl::fromLocalFile(fileName));
    return true;
}

void TTB_Form1::MenuHilfeHistoryClick()
{
    OpenTextFile(QDir(programFolder()).filePath(HistoryFileName));
}

void TTB_Form1::MenuHilfeMailClick()
{
    const QUrl url = helpLinks().mail;
    if (!url.isEmpty())
        launcher().Open(url);
}

void TTB_Form1::MenuHilfeHomepageClick()
{
    const QUrl url = helpLinks().homepage;
    if (!url.isEmpty())
        launcher().Open(url);
}

void TTB_Form1::MenuHilfeSpendenClick()
{
    const QUrl url = helpLinks().spenden;
    if (!url.isEmpty())
        launcher().Open(url);
}

void TTB_Form1::MenuHilfeUpdateClick()
{
    THandOver data;
    data.product = Texts::ProgrammName;
    data.caption = windowTitle();
    data.programPath = QCoreApplication::applicationFilePath();
    data.settingsKey = QStringLiteral("Tobrik");
    data.fontSizePt = m_settings->GlobalFont.sizePt;
    data.fontName = m_settings->GlobalFont.name;
    const TUpdateOutcome outcome = StartUpdate(data, PrivateRuntimeFolder(), programFolder(), launcher());
    if (outcome.result == TUpdateOutcome::Started)
        return;
    if (m_trayShown)
        FensterMinimierenWiederherstellen(false);
    m_env.dialogs->Info(this, ForDialog(UpdateErrorText(outcome)));
}

void TTB_Form1::MenuHilfeInfoClick()
{
    m_env.dialogs->Info(this, ForDialog(InfoText(Texts::ProgrammName, helpLinks())));
}
