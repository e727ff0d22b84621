// The FIDO2 page end to end: the real window driving the real simulated key, checked by the
// exact command lines the key received.
#include "app/page.h"
#include "app/programstate.h"
#include "common/simharness.h"
#include "common/testwindow.h"
#include "fido/credentialitem.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

class TestFidoEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void setPinCredentialsFingerprintReset();

private:
    SimHarness m_sim{QStringLiteral("R15")};
};

void TestFidoEndToEnd::setPinCredentialsFingerprintReset()
{
    // Without the simulator the window would only report a backend that cannot start.
    QVERIFY2(QFile::exists(SimHarness::simPath()), "kvman-sim is not built");
    TestWindow w(SimHarness::simPath());
    QVERIFY(m_sim.waitUntilReady());
    QTRY_VERIFY(w.widget("btn_getdeviceinfo")->isVisibleTo(&w.window));
    w.click("btn_getdeviceinfo");
    QTRY_VERIFY(g_insreted);
    w.click("fido");
    QTRY_COMPARE(m_sim.receivedLines().size(), 3);
    w.answer({"change=1234", "ok"});
    w.click("fidoSetPIN1");
    QTRY_COMPARE(w.lastMessage(), QStringLiteral("Set PIN successfully."));

    // List the key's five credentials, delete the second one while the list stays open.
    QString deletedId;
    bool deleted = false;
    w.answer({"pin=1234"});
    w.modal.actWhenShown(QStringLiteral("CreListDialog"), [&](QWidget* d) {
        auto* list = d->findChild<QListWidget*>(QStringLiteral("creList"));
        auto* second = qobject_cast<CredentialItem*>(list->itemWidget(list->item(1)));
        deletedId = second->getCredential().credentialId;
        second->findChild<QCheckBox*>()->click();
        w.answer({"ok"});
        d->findChild<QPushButton*>(QStringLiteral("deleteBtn"))->click();
        // The reply arrives while the list is up.
        deleted = QTest::qWaitFor([list] { return list->count() == 4; }, 5000);
        d->findChild<QPushButton*>(QStringLiteral("Close"))->click();
    });
    w.click("enumCre1");
    QTRY_VERIFY(deleted);
    QVERIFY(m_sim.control(QStringLiteral("status")).contains(QLatin1String("fido_credentials=4")));

    // Enrol a finger: four good samples, the list refreshed behind the dialog.
    w.click("bioMgr1");
    bool enrolled = false;
    w.answer({"pin=1234"});
    w.modal.actWhenShown(QStringLiteral("registFingerprint"), [&](QWidget* d) {
        auto* tip = d->findChild<QLabel*>(QStringLiteral("Tip"));
        enrolled = QTest::qWaitFor([tip] { return tip->text() == QLatin1String("All set!"); }, 5000);
        d->findChild<QPushButton*>(QStringLiteral("close"))->click();
    });
    w.click("addfinger");
    QTRY_VERIFY(enrolled);
    QCOMPARE(w.heldSecrets(), QString());
    QTRY_COMPARE(w.widget<QListWidget>("fingerList")->count(), 1);
    w.click("backBio");

    // The key has been plugged in too long: it asks to be re-plugged, is recognised, then resets.
    QVERIFY(m_sim.control(QStringLiteral("fido clock +11")).startsWith(QLatin1String("ok")));
    w.answer({"ok"});
    w.click("reset1");
    QTRY_COMPARE(w.busyText(), QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ..."));
    QCOMPARE(m_sim.control(QStringLiteral("unplug")), QStringLiteral("ok keys=0"));
    QTRY_VERIFY(!g_insreted); // the removal arrived, and must have changed nothing else
    QCOMPARE(w.page(), int(Page::FidoWithSensor));
    w.answer({"ok"});
    QCOMPARE(m_sim.control(QStringLiteral("plug")), QStringLiteral("ok keys=1"));
    QTRY_COMPARE(w.lastMessage(), QStringLiteral("Reset successfully."));
    QCOMPARE(w.text("fidoSetPIN"), QStringLiteral("Set PIN"));
    QVERIFY(m_sim.control(QStringLiteral("status")).contains(QLatin1String("fido_credentials=0")));

    const QString next = QStringLiteral(" fido enrollment-next -i 0001");
    QCOMPARE(m_sim.receivedLines().mid(2),
             (QStringList{" fido get_pin_retries ", " fido set-pin -p 31323334",
                          " fido get-resident-credentials -p 31323334",
                          "fido delete-resident-credential -i " + deletedId + " -t public-key -p 31323334",
                          "fido enumerate", " fido enrollment-begin -p 1234", next, next, next, "fido enumerate",
                          "fido reset", "monitor deviceinfo", "fido reset"}));
}

QTEST_MAIN(TestFidoEndToEnd)
#include "tst_fidoui_e2e.moc"
