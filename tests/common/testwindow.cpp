#include "common/testwindow.h"

#include <QApplication>
#include <QDialog>
#include <QRegularExpression>
#include <QtTest>

TestWindow::TestWindow(const QString& program) : window(nullptr, program.isEmpty() ? backend.program() : program)
{
    const auto chooseOpen = [this](const QString&, const QString&, const QString&) { return openPath; };
    const auto chooseSave = [this](const QString&, const QString&, const QString&) { return savePath; };
    Access::pivOpenFile(window) = chooseOpen;
    Access::pivSaveFile(window) = chooseSave;
    Access::reportSaveFile(window) = chooseSave;
    if (program.isEmpty())
        QTRY_COMPARE(backend.receivedLines().size(), 1);
}

TestWindow::~TestWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QDialog*>(w))
            w->close();
}

QStringList TestWindow::sent() const
{
    QStringList lines = backend.receivedLines().mid(1);
    static const QRegularExpression publicKeyFile(QStringLiteral(R"(\S+/skm-\w{6}/public)"));
    lines.replaceInStrings(publicKeyFile, QStringLiteral("<public>"));
    return lines;
}

bool TestWindow::sentBeforeProbe(QStringList lines)
{
    window.cmdSend(QStringLiteral("probe"), CmdType::Dropped6);
    lines.append(QStringLiteral("probe"));
    return QTest::qWaitFor([&] { return sent() == lines; });
}

void TestWindow::showKey(const QString& transport, const QString& application, const QString& model)
{
    reply(QString::fromLatin1(Reply::kPlugged), 0);
    window.on_btn_getdeviceinfo_clicked();
    reply(Reply::details(transport, application, model), CmdType::DeviceInfo);
}

void TestWindow::answer(const QStringList& script)
{
    for (const QString& step : script) {
        const QString dialog = step.contains(QLatin1String("change")) ? "changePIN" : "piv_pin";
        const QString text = step.section('=', 1);
        if (step == "ok" || step == "no") {
            modal.clickWhenShown("DialogMessage", step == "ok" ? "ok" : "cancel");
        } else if (step.startsWith("cancel")) {
            modal.clickWhenShown(dialog, "Cancel");
        } else {
            modal.actWhenShown(dialog, [text](QWidget* d) {
                for (QLineEdit* edit : d->findChildren<QLineEdit*>()) {
                    const int part = edit->objectName() == "oldpinV" ? 0 : -1;
                    edit->setText(text.section(',', part, part));
                }
                d->findChild<QAbstractButton*>("OK")->click();
            });
        }
    }
}

QStringList TestWindow::messages() const
{
    QStringList all;
    for (const ModalHelper::Seen& seen : modal.seen())
        if (seen.dialog == "DialogMessage")
            all << seen.title + " / " + seen.text;
    return all;
}
