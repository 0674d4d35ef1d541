// The real program, driven by a scripted user for the end-to-end tests and the demonstration: it runs the
// same window and services as tobrik, reads commands line by line from the file named by
// TOBRIK_DRIVER_INPUT, acts through keyboard events as a user would, and reports on stdout.
//
//   online                 the online list's rows          -> "online N", "row I TEXT"..., "end"
//   inbox | history        the inbox's or history's rows   -> same shape
//   open-online PC         select PC's row, press Enter    -> "opened PC"
//   focus NAME             give the control NAME the focus
//   type TEXT              type TEXT into the focused control
//   key SEQUENCE           press a key, e.g. Return, Ctrl+G, Shift+Return
//   state                  -> "state partner=PC focus=NAME sending=0|1 readonly=0|1 memo=TEXT"
//   wait-idle              waits until no send is in progress -> "idle"
//   stats                  -> "redraws N"
//   font POINTS            the display font's size, applied as the font dialog would
//   dialog options|font    opens the options or the font dialog as its menu item does -> "dialog-open TITLE"
//   screenshot FILE        the open dialog, else the window, as a PNG image -> "screenshot saved"
//   wait MS                pause the script          -> "waited"
//   keyprobe start MS      from another thread, post a key to the window every MS ms, as the window
//                          system would deliver one, and time each until the window handles it
//   keyprobe stop          -> "keyprobe n=N pending=P median_ms=M p99_ms=Q max_ms=X"
//   quit                   the program's close request
// Dialogs are answered Yes / OK and printed as "question TEXT" or "dialog TEXT".
#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "app/gui/program.h"
#include "gui/windowprobe.h"
#include "shell/settings.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

void say(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class PrintingDialogs : public IDialogs
{
public:
    bool Frage(QWidget*, const QString& text) override
    {
        say(QStringLiteral("question ") + text);
        return true;
    }
    void Info(QWidget*, const QString& text) override { say(QStringLiteral("dialog ") + text); }
};

// Keys that arrive while the event loop is busy wait in its queue: the time from posting to handling is
// what a user pressing that key would wait. The probe key is one no control uses, taken off before
// anything sees it.
class KeyProbe : public QObject
{
public:
    explicit KeyProbe(QObject& window)
        : m_window(window)
    {
        m_window.installEventFilter(this);
    }
    ~KeyProbe() override { stop(); }

    void start(int everyMs)
    {
        stop();
        m_samplesMs.clear();
        m_posted = 0;
        m_running = true;
        m_thread = std::thread([this, everyMs] {
            auto due = Clock::now();
            while (m_running) {
                due += std::chrono::milliseconds(std::max(1, everyMs));
                std::this_thread::sleep_until(due);
                auto* key = new QKeyEvent(QEvent::KeyPress, ProbeKey, Qt::NoModifier);
                key->setTimestamp(quint64(
                    std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count()));
                ++m_posted;
                QCoreApplication::postEvent(&m_window, key);
            }
        });
    }

    // "keyprobe n=... pending=... median_ms=... p99_ms=... max_ms=..."
    QString stop()
    {
        m_running = false;
        if (m_thread.joinable())
            m_thread.join();
        std::vector<double> s = m_samplesMs;
        std::sort(s.begin(), s.end());
        const auto rank = [&s](int percent) {
            return s.empty() ? 0.0 : s[std::max<size_t>(1, (s.size() * percent + 99) / 100) - 1];
        };
        return QStringLiteral("keyprobe n=%1 pending=%2 median_ms=%3 p99_ms=%4 max_ms=%5")
            .arg(s.size())
            .arg(qint64(m_posted) - qint64(s.size()))
            .arg(rank(50), 0, 'f', 2)
            .arg(rank(99), 0, 'f', 2)
            .arg(s.empty() ? 0.0 : s.back(), 0, 'f', 2);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_window && event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == ProbeKey) {
            const auto now = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch());
            m_samplesMs.push_back(double(now.count() - qint64(static_cast<QKeyEvent*>(event)->timestamp())) / 1000.0);
            return true;
        }
        return false;
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int ProbeKey = Qt::Key_F35;
    QObject& m_window;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<qint64> m_posted{0};
    std::vector<double> m_samplesMs;
};

class Driver : public QObject
{
public:
    Driver(TTB_Form1& window, const QString& inputPath)
        : m_window(window)
        , m_input(inputPath)
        , m_probe(window)
    {
        connect(&m_poll, &QTimer::timeout, this, &Driver::poll);
        m_poll.start(20);
    }

private:
    void poll()
    {
        if (!m_input.isOpen() && !m_input.open(QIODevice::ReadOnly))
            return;
        m_buffer += m_input.readAll();
        int nl;
        while (!m_waiting && (nl = m_buffer.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(m_buffer.left(nl)).trimmed();
            m_buffer.remove(0, nl + 1);
            if (!line.isEmpty())
                run(line);
        }
    }

    template <typename T>
    T* find(const char* name)
    {
        return m_window.findChild<T*>(QString::fromLatin1(name));
    }

    void rows(const char* list, const char* label)
    {
        QListWidget* l = find<QListWidget>(list);
        say(QStringLiteral("%1 %2").arg(QLatin1String(label)).arg(l->count()));
        for (int i = 0; i < l->count(); ++i)
            say(QStringLiteral("row %1 %2").arg(i).arg(l->item(i)->text()));
        say(QStringLiteral("end"));
    }

    void run(const QString& line)
    {
        const QString cmd = line.section(u' ', 0, 0);
        const QString arg = line.section(u' ', 1);
        if (cmd == QLatin1String("online")) {
            rows("Lb1Liste", "online");
        } else if (cmd == QLatin1String("inbox")) {
            rows("Lb1Eingang", "inbox");
        } else if (cmd == QLatin1String("history")) {
            rows("Lb1Verlauf", "history");
        } else if (cmd == QLatin1String("open-online")) {
            QListWidget* l = find<QListWidget>("Lb1Liste");
            for (int i = 0; i < l->count(); ++i) {
                if (l->item(i)->data(Qt::UserRole).toString() == arg)
                    l->setCurrentRow(i);
            }
            l->setFocus();
            QTest::keyClick(l, Qt::Key_Return);
            say(QStringLiteral("opened ") + TTB_Form1Probe(m_window).aktUserName().PC);
        } else if (cmd == QLatin1String("focus")) {
            if (QWidget* w = m_window.findChild<QWidget*>(arg))
                w->setFocus();
        } else if (cmd == QLatin1String("type")) {
            // Key by key to whatever has the focus, as typing moves from the log into the message field.
            for (const QChar c : arg)
                QTest::keyClicks(QApplication::focusWidget(), QString(c));
        } else if (cmd == QLatin1String("key")) {
            const QKeyCombination k = QKeySequence::fromString(arg)[0];
            QTest::keyClick(target(), k.key(), k.keyboardModifiers());
        } else if (cmd == QLatin1String("state")) {
            QWidget* focus = QApplication::focusWidget();
            auto* memo = find<QPlainTextEdit>("Memo1Text");
            say(QStringLiteral("state partner=%1 focus=%2 sending=%3 readonly=%4 memo=%5")
                    .arg(TTB_Form1Probe(m_window).aktUserName().PC, focus ? focus->objectName() : QString())
                    .arg(int(m_window.isSending()))
                    .arg(int(memo->isReadOnly()))
                    .arg(memo->toPlainText()));
        } else if (cmd == QLatin1String("wait-idle")) {
            waitIdle();
        } else if (cmd == QLatin1String("stats")) {
            say(QStringLiteral("redraws %1").arg(TTB_Form1Probe(m_window).onlineListRedraws()));
        } else if (cmd == QLatin1String("font")) {
            m_window.settings().GlobalFont.sizePt = arg.toInt();
            m_window.SchriftartZuweisen();
            say(QStringLiteral("font ") + arg);
        } else if (cmd == QLatin1String("dialog")) {
            openDialog(arg);
        } else if (cmd == QLatin1String("screenshot")) {
            QWidget* shown = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : &m_window;
            say(QStringLiteral("screenshot %1")
                    .arg(shown->grab().save(arg) ? QStringLiteral("saved") : QStringLiteral("failed")));
        } else if (cmd == QLatin1String("wait")) {
            // Later commands wait too: the window system may still be resizing.
            m_waiting = true;
            QTimer::singleShot(arg.toInt(), this, [this] {
                m_waiting = false;
                say(QStringLiteral("waited"));
            });
        } else if (cmd == QLatin1String("keyprobe")) {
            if (arg.startsWith(QLatin1String("start")))
                m_probe.start(arg.section(u' ', 1).toInt());
            else
                say(m_probe.stop());
        } else if (cmd == QLatin1String("quit")) {
            m_window.ProgramClose();
        } else {
            say(QStringLiteral("unknown ") + line);
        }
    }

    // Where a key press goes: the focused control, else the open dialog or the window.
    QWidget* target()
    {
        if (QWidget* w = QApplication::focusWidget())
            return w;
        return QApplication::activeModalWidget() ? QApplication::activeModalWidget() : &m_window;
    }

    void openDialog(const QString& which)
    {
        const char* name = which == QLatin1String("options") ? "MenuAktOptionen"
                           : which == QLatin1String("font")  ? "MenuAnsSchrifteinstellungen"
                                                             : nullptr;
        auto* item = name ? m_window.findChild<QAction*>(QString::fromLatin1(name)) : nullptr;
        if (!item) {
            say(QStringLiteral("unknown dialog ") + which);
            return;
        }
        // The dialog runs its own event loop, which must not start inside this command's.
        QTimer::singleShot(0, item, &QAction::trigger);
        QTimer::singleShot(0, this, [] {
            // Queued behind the trigger: the dialog is open by now.
            if (QWidget* d = QApplication::activeModalWidget())
                say(QStringLiteral("dialog-open ") + d->windowTitle());
        });
    }

    void waitIdle()
    {
        if (m_window.isSending()) {
            QTimer::singleShot(10, this, [this] { waitIdle(); });
            return;
        }
        say(QStringLiteral("idle"));
    }

    TTB_Form1& m_window;
    QFile m_input;
    QByteArray m_buffer;
    QTimer m_poll;
    KeyProbe m_probe;
    bool m_waiting = false;
};

} // namespace

int main(int argc, char** argv)
{
    ChooseHeadlessPlatformIfNoDisplay();
    QApplication app(argc, argv);
    PrintingDialogs dialogs;
    const QString input = qEnvironmentVariable("TOBRIK_DRIVER_INPUT");
    std::unique_ptr<Driver> driver;
    TProgramHooks hooks;
    hooks.dialogs = &dialogs;
    hooks.windowReady = [&](TTB_Form1& window) {
        if (!input.isEmpty())
            driver = std::make_unique<Driver>(window, input);
        say(QStringLiteral("ready"));
    };
    const int rc = RunProgram(hooks);
    driver.reset();
    return rc;
}
