// The FIDO2 page end to end: the real window driving the real simulated key, checked by the
// exact command lines the key received.
#include "common/simharness.h"
#include "fido/credentialitem.h"
#include "fidowindow.h"

#include <QCheckBox>
#include <QListWidget>
#include <QStackedWidget>

class TestFidoEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void setPinCredentialsFingerprintReset();

private:
    template <typename T = QWidget> T* find(const char* name) { return m_window->findChild<T*>(QLatin1String(name)); }
    void click(const char* name) { find<QPushButton>(name)->click(); }
    // Waits until the armed answers are used, and checks the last message shown.
    void settled(const char* message)
    {
        QTRY_VERIFY(m_modal.idle());
        QCOMPARE(m_modal.lastText(), QLatin1String(message));
    }

    SimHarness m_sim{QStringLiteral("R15")};
    MainWindow* m_window = nullptr;
    ModalHelper m_modal;
};

void TestFidoEndToEnd::setPinCredentialsFingerprintReset()
{
    // Without the simulator the window would only report a backend that cannot start.
    QVERIFY2(QFile::exists(SimHarness::simPath()), "kvman-sim is not built");
    MainWindow window(nullptr, SimHarness::simPath());
    m_window = &window;
    QVERIFY(m_sim.waitUntilReady());
    QTRY_VERIFY(find("btn_getdeviceinfo")->isVisibleTo(m_window));
    click("btn_getdeviceinfo");
    QTRY_VERIFY(g_insreted);
    click("fido");
    QCOMPARE(find<QStackedWidget>("contentPage")->currentIndex(), 3);
    QTRY_COMPARE(m_sim.receivedLines().size(), 3);

    m_modal.actWhenShown(QStringLiteral("changePIN"), [](QWidget* d) { fillChangePin(d, "1234", "1234"); });
    m_modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    click("fidoSetPIN1");
    settled("Set PIN successfully.");

    // List the key's five credentials, delete the second one while the list stays open.
    QString deletedId;
    bool deleted = false;
    answerPin(m_modal, QStringLiteral("1234"));
    m_modal.actWhenShown(QStringLiteral("CreListDialog"), [&](QWidget* d) {
        auto* list = d->findChild<QListWidget*>(QStringLiteral("creList"));
        auto* second = qobject_cast<CredentialItem*>(list->itemWidget(list->item(1)));
        deletedId = second->getCredential().credentialId;
        second->findChild<QCheckBox*>()->click();
        d->findChild<QPushButton*>(QStringLiteral("deleteBtn"))->click();
        // The reply arrives while the list is up.
        deleted = QTest::qWaitFor([list] { return list->count() == 4; }, 5000);
        d->findChild<QPushButton*>(QStringLiteral("Close"))->click();
    });
    click("enumCre1");
    QTRY_VERIFY(m_modal.idle());
    QVERIFY(deleted);
    QVERIFY(m_sim.control(QStringLiteral("status")).contains(QLatin1String("fido_credentials=4")));

    // Enrol a finger: four good samples, the list refreshed behind the dialog.
    click("bioMgr1");
    bool enrolled = false;
    QString picture;
    answerPin(m_modal, QStringLiteral("1234"));
    m_modal.actWhenShown(QStringLiteral("registFingerprint"), [&](QWidget* d) {
        auto* tip = d->findChild<QLabel*>(QStringLiteral("Tip"));
        enrolled = QTest::qWaitFor([tip] { return tip->text() == QLatin1String("All set!"); }, 5000);
        picture = d->findChild<QWidget*>(QStringLiteral("imag"))->styleSheet();
        d->findChild<QPushButton*>(QStringLiteral("close"))->click();
    });
    click("addfinger");
    QTRY_VERIFY(m_modal.idle());
    QVERIFY(enrolled);
    QCOMPARE(picture, QStringLiteral("image: url(:/new/prefix1/Pass.png);"));
    QTRY_COMPARE(find<QListWidget>("fingerList")->count(), 1);
    QCOMPARE(find<QListWidget>("fingerList")->item(0)->text(), QStringLiteral("Fingerprint 01"));
    click("backBio");

    // The key has been plugged in too long: it asks to be re-plugged, then resets.
    QVERIFY(m_sim.control(QStringLiteral("fido clock +11")).startsWith(QLatin1String("ok")));
    m_modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    click("reset1");
    QTRY_COMPARE(Access::waiting(window)->text(),
                 QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ..."));
    QCOMPARE(m_sim.control(QStringLiteral("unplug")), QStringLiteral("ok keys=0"));
    QTRY_VERIFY(!g_insreted); // the removal arrived, and must have changed nothing else
    QCOMPARE(find<QStackedWidget>("contentPage")->currentIndex(), 3);
    m_modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    QCOMPARE(m_sim.control(QStringLiteral("plug")), QStringLiteral("ok keys=1"));
    settled("Reset successfully.");
    QCOMPARE(find<QPushButton>("fidoSetPIN")->text(), QStringLiteral("Set PIN"));
    QCOMPARE(find<QPushButton>("fidoSetPIN1")->text(), QStringLiteral("Set PIN"));
    QVERIFY(m_sim.control(QStringLiteral("status")).contains(QLatin1String("fido_credentials=0")));

    const QString next = QStringLiteral(" fido enrollment-next -i 0001");
    QCOMPARE(m_sim.receivedLines().mid(2),
             (QStringList{
                 " fido get_pin_retries ", " fido set-pin -p 31323334", " fido get-resident-credentials -p 31323334",
                 "fido delete-resident-credential -i " + deletedId + " -t public-key -p 31323334", "fido enumerate",
                 " fido enrollment-begin -p 1234", next, next, next, "fido enumerate", "fido reset", "fido reset"}));
    QVERIFY(m_modal.idle());
}

QTEST_MAIN(TestFidoEndToEnd)
#include "tst_fidoui_e2e.moc"
