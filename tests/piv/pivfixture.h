#pragma once

// A window whose backend only records, or runs kvman-sim, with answers for the dialogs PIV flows open.

#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/windowaccess.h"
#include "common/windowprobe.h"
#include "ui/waitingdialog.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QRegularExpression>
#include <QtTest>

namespace piv {

const QString kPin = QStringLiteral("12345678");
const QString kKey = QStringLiteral("7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E");
const QString kOk = QStringLiteral("{\"SW\":\"9000\",\"INFO\":\"\"}");

inline QString status(const QString& sw, const QString& info = QString())
{
    return QStringLiteral("{\"SW\":\"%1\",\"INFO\":\"%2\"}").arg(sw, info);
}

} // namespace piv

class Fixture
{
public:
    // On the recording backend, or on `program` (kvman-sim) as it comes.
    void start(const QString& program = QString())
    {
        backend = program.isEmpty() ? new FakeBackend : nullptr;
        window = new MainWindow(nullptr, backend ? backend->program() : program);
        modal = new ModalHelper;
        Access::pivOpenFile(*window) = [this](const QString&, const QString&, const QString&) { return openPath; };
        Access::pivSaveFile(*window) = [this](const QString&, const QString&, const QString&) { return savePath; };
        Access::reportSaveFile(*window) = [this](const QString&, const QString&, const QString&) { return savePath; };
    }
    void stop()
    {
        delete modal;
        delete window;
        delete backend;
    }

    // The lines after " monitor start", each private public-key file shown as "<public>".
    QStringList sent() const
    {
        QStringList lines = backend->receivedLines().mid(1);
        lines.replaceInStrings(publicKeyFile(), QStringLiteral("<public>"));
        return lines;
    }
    // The private public-key folders named on the lines sent that still exist.
    QStringList publicKeyFoldersLeft() const
    {
        QStringList left;
        auto it = publicKeyFile().globalMatch(QString::fromUtf8(backend->received()));
        while (it.hasNext()) {
            const QString folder = QFileInfo(it.next().captured()).path();
            if (QFileInfo::exists(folder) && !left.contains(folder))
                left << folder;
        }
        return left;
    }
    static QRegularExpression publicKeyFile() { return QRegularExpression(QStringLiteral(R"(\S+/skm-\w{6}/public)")); }
    QString lastSent() const { return sent().value(sent().size() - 1); }
    // What the channel does with one read: free the lock, then dispatch; by default to the command in flight.
    void reply(const QString& text, int type = g_currItem) { Access::reply(*window, text, type); }
    bool channelFree() { return !Access::lockHeld(*window); }
    bool busy() const { return Access::waiting(*window)->isShowing(); }
    void setModel(const QString& model) { Access::model(*window) = model; }
    void setShell(std::function<QString(const QString&)> shell) { Access::pivShell(*window) = shell; }
    // Every PIV secret the window still holds; empty once an operation has ended.
    QString heldSecrets() const { return Access::heldSecrets(*window); }

    // Arms the answers to the dialogs a flow opens, in order: "ok" / "no" for a message; "pin",
    // "key" or "pin=<text>" for a PIN prompt, "change=<old>,<new>" for the change dialog;
    // "cancel" / "cancel change" to cancel either.
    void answer(const QStringList& script)
    {
        for (const QString& step : script) {
            const QString dialog = step.contains("change") ? "changePIN" : "piv_pin";
            const QString text = step == "pin" ? piv::kPin : step == "key" ? piv::kKey : step.section('=', 1);
            if (step == "ok" || step == "no")
                modal->clickWhenShown("DialogMessage", step == "ok" ? "ok" : "cancel");
            else if (step.startsWith("cancel"))
                modal->clickWhenShown(dialog, "Cancel");
            else
                modal->actWhenShown(dialog, [text](QWidget* d) {
                    // The old value, or the new one for every other field.
                    for (QLineEdit* edit : d->findChildren<QLineEdit*>()) {
                        const int part = edit->objectName() == "oldpinV" ? 0 : -1;
                        edit->setText(text.section(',', part, part));
                    }
                    d->findChild<QAbstractButton*>("OK")->click();
                });
        }
    }

    // Title and text of every message answered so far.
    QStringList messages() const
    {
        QStringList all;
        for (const ModalHelper::Seen& seen : modal->seen())
            if (seen.dialog == "DialogMessage")
                all << seen.title + " / " + seen.text;
        return all;
    }

    void click(const QString& name) { widget<QAbstractButton>(window, name.toLatin1().constData())->click(); }
    void type(const char* edit, const QString& text) { widget<QLineEdit>(window, edit)->setText(text); }

    FakeBackend* backend = nullptr;
    MainWindow* window = nullptr;
    ModalHelper* modal = nullptr;
    // What the file dialogs answer.
    QString openPath;
    QString savePath;
};

namespace piv {
}
