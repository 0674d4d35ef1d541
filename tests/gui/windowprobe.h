// What window tests read of the main window's inner state; kept out of the program's libraries.
#pragma once

#include "app/gui/mainwindow.h"
#include "data/logliste.h"
#include "data/pcliste.h"
#include "data/userliste.h"
#include "net/endpoints.h"

class TTB_Form1Probe
{
public:
    explicit TTB_Form1Probe(TTB_Form1& window)
        : w(window)
    {
    }
    // The start sequence ran and the logs it reads are in the lists.
    bool startSequenceRan() const { return w.SchonGestartetS && w.m_logsGeladenS; }
    // The start sequence ran; the logs may still be being read.
    bool startSequenceBegun() const { return w.SchonGestartetS; }
    bool logsLoaded() const { return w.m_logsGeladenS; }
    int udpQueueGeneration() const { return w.UdpQueueGeneration; }
    TUserListe& userListe() { return *w.UserListe; }
    TLogListe& logListe() { return *w.LogListe; }
    TPCListe& pcListe() { return *w.PCListe; }
    UdpEndpoints& endpoints() { return *w.m_endpoints; }
    const TUserListeRec& aktUserName() const { return w.FAktUserName; }
    QString iconHint() const { return w.m_iconHint; }
    // How often a presence merge changed the online list's rows or selection.
    int onlineListRedraws() const { return w.m_onlineRedraws; }
    // A merge changed the online list and its redraw is still to come.
    bool onlineListRedrawPending() const { return w.onlineListRedrawPending(); }
    bool receivedShowPending() const { return w.receivedShowPending(); }
    void setReceivedPause(int ms) { w.m_empfangenShow.SetPause(ms); }

private:
    TTB_Form1& w;
};
