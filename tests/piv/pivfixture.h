#pragma once

// A window on a backend that only records, so each PIV test decides every reply itself, and
// answers the PIN and message dialogs the flows open.

#include "app/commands.h"
#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/windowprobe.h"
#include "ui/waitingdialog.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <functional>

class MainWindowTestAccess
{
public:
    using Chooser = std::function<QString(const QString&, const QString&, const QString&)>;

    // What the channel does with one read: free the lock, then dispatch.
    static void reply(MainWindow& w, const QString& text, int type)
    {
        w.releaseCommandLock();
        w.setCurrentItemInfo(text, type);
    }
    static bool channelFree(MainWindow& w)
    {
        if (!w.m_cmdLock.tryLock())
            return false;
        w.m_cmdLock.unlock();
        return true;
    }
    static void setModel(MainWindow& w, const QString& model) { w.m_model = model; }
    static WaitingDialog* waiting(MainWindow& w) { return w.m_waiting; }
    static void setOpenFile(MainWindow& w, Chooser chooser) { w.m_pivOpenFile = std::move(chooser); }
    static void setSaveFile(MainWindow& w, Chooser chooser) { w.m_pivSaveFile = std::move(chooser); }
    static void setShell(MainWindow& w, std::function<QString(const QString&)> shell)
    {
        w.m_pivShell = std::move(shell);
    }
    // Every PIV secret the window still holds, joined; empty once an operation has ended.
    static QString heldSecrets(MainWindow& w)
    {
        return w.m_pivPin + w.currentPin + w.currentMgmtKey + w.currentPassword;
    }
};
using Access = MainWindowTestAccess;

namespace piv {

const char kPin[] = "12345678";
const char kKey[] = "7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E";
const char kOk[] = "{\"SW\":\"9000\",\"INFO\":\"\"}";

inline QString status(const QString& sw, const QString& info = QString())
{
    return QStringLiteral("{\"SW\":\"%1\",\"INFO\":\"%2\"}").arg(sw, info);
}

// A file dialog stand-in that remembers how it was asked and answers `path`.
struct ChooserProbe
{
    QStringList asked;
    QString path;
    int calls = 0;

    MainWindowTestAccess::Chooser chooser()
    {
        return [this](const QString& caption, const QString& dir, const QString& filter) {
            ++calls;
            asked = QStringList{caption, dir, filter};
            return path;
        };
    }
};

class Fixture
{
public:
    // On the recording backend with a key of model R15, or on `program` (kvman-sim) as it comes.
    void start(const QString& program = QString())
    {
        if (program.isEmpty())
            backend = new FakeBackend;
        window = new MainWindow(nullptr, backend ? backend->program() : program);
        modal = new ModalHelper;
        if (backend)
            Access::setModel(*window, QStringLiteral("R15"));
        Access::setOpenFile(*window, open.chooser());
        Access::setSaveFile(*window, save.chooser());
    }
    bool started() const { return backend->receivedLines().size() == 1; }
    void stop()
    {
        delete modal;
        delete window;
        delete backend;
        modal = nullptr;
        window = nullptr;
        backend = nullptr;
        open = ChooserProbe();
        save = ChooserProbe();
    }

    // The lines after " monitor start".
    QStringList sent() const { return backend->receivedLines().mid(1); }
    QString lastSent() const { return sent().value(sent().size() - 1); }
    void reply(const QString& text, int type) { Access::reply(*window, text, type); }

    void answerPin(const QString& value)
    {
        modal->actWhenShown(QStringLiteral("piv_pin"), [value](QWidget* d) {
            d->findChild<QLineEdit*>(QStringLiteral("pinV"))->setText(value);
            d->findChild<QPushButton*>(QStringLiteral("OK"))->click();
        });
    }
    void answerChange(const QString& oldValue, const QString& newValue)
    {
        modal->actWhenShown(QStringLiteral("changePIN"), [oldValue, newValue](QWidget* d) {
            d->findChild<QLineEdit*>(QStringLiteral("oldpinV"))->setText(oldValue);
            d->findChild<QLineEdit*>(QStringLiteral("newpinV"))->setText(newValue);
            d->findChild<QLineEdit*>(QStringLiteral("conformPinV"))->setText(newValue);
            d->findChild<QPushButton*>(QStringLiteral("OK"))->click();
        });
    }
    void cancel(const QString& dialog)
    {
        modal->clickWhenShown(dialog, dialog == QLatin1String("DialogMessage") ? QStringLiteral("cancel")
                                                                               : QStringLiteral("Cancel"));
    }
    void confirmMessage() { modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); }

    // Arms the answers to the dialogs a flow opens, in order: "ok" / "no" for a message, "pin" /
    // "key" for the test PIN / management key, "pin=<text>", "change=<old>,<new>", "cancel" for a
    // PIN prompt, "cancel change" for the change dialog.
    void answer(const QStringList& script)
    {
        for (const QString& step : script) {
            if (step == QLatin1String("ok"))
                confirmMessage();
            else if (step == QLatin1String("no"))
                cancel(QStringLiteral("DialogMessage"));
            else if (step == QLatin1String("pin"))
                answerPin(QString::fromLatin1(kPin));
            else if (step == QLatin1String("key"))
                answerPin(QString::fromLatin1(kKey));
            else if (step.startsWith(QLatin1String("pin=")))
                answerPin(step.mid(4));
            else if (step.startsWith(QLatin1String("change=")))
                answerChange(step.mid(7).section(QLatin1Char(','), 0, 0), step.section(QLatin1Char(','), 1));
            else if (step == QLatin1String("cancel"))
                cancel(QStringLiteral("piv_pin"));
            else if (step == QLatin1String("cancel change"))
                cancel(QStringLiteral("changePIN"));
        }
    }

    // Title and text of every message answered so far.
    QStringList messages() const
    {
        QStringList all;
        for (const ModalHelper::Seen& seen : modal->seen())
            if (seen.dialog == QLatin1String("DialogMessage"))
                all << seen.title + QStringLiteral(" / ") + seen.text;
        return all;
    }

    void click(const char* name) { widget<QAbstractButton>(window, name)->click(); }
    int page() const { return widget<QStackedWidget>(window, "contentPage")->currentIndex(); }
    bool busy() const { return Access::waiting(*window)->isShowing(); }
    QString busyText() const { return Access::waiting(*window)->text(); }

    FakeBackend* backend = nullptr;
    MainWindow* window = nullptr;
    ModalHelper* modal = nullptr;
    ChooserProbe open;
    ChooserProbe save;
};

} // namespace piv
