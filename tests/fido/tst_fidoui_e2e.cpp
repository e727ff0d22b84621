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
    void init();
    void cleanup();
    void pinCredentialsAndResetAcrossReplug();
    void fingerprintEnrolTestDelete();

private:
    template <typename T = QWidget> T* find(const char* name)
    {
        return m_window->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) { find<QPushButton>(name)->click(); }
    // From the key's arrival to the FIDO2 page of a key with PIN "1234".
    void openFidoPageAndSetPin();
    QStringList received() const { return m_sim->receivedLines(); }

    SimHarness* m_sim = nullptr;
    MainWindow* m_window = nullptr;
    ModalHelper* m_modal = nullptr;
};

void TestFidoEndToEnd::init()
{
    // Without the simulator the window would only report a backend that cannot start.
    QVERIFY2(QFile::exists(SimHarness::simPath()), "kvman-sim is not built");
    isfidoHavePin = false;
    m_sim = new SimHarness(QStringLiteral("R15"));
    m_window = new MainWindow(nullptr, SimHarness::simPath());
    m_modal = new ModalHelper;
    QVERIFY(m_sim->waitUntilReady());
}

void TestFidoEndToEnd::cleanup()
{
    const bool idle = !m_modal || m_modal->idle();
    delete m_modal;
    delete m_window;
    delete m_sim;
    m_modal = nullptr;
    m_window = nullptr;
    m_sim = nullptr;
    QVERIFY(idle);
    QCOMPARE(visibleDialogCount(), 0);
}

void TestFidoEndToEnd::openFidoPageAndSetPin()
{
    QTRY_VERIFY(find("btn_getdeviceinfo")->isVisibleTo(m_window));
    click("btn_getdeviceinfo");
    QTRY_VERIFY(g_insreted);
    click("fido");
    QCOMPARE(find<QStackedWidget>("contentPage")->currentIndex(), 3);
    QTRY_COMPARE(m_sim->receivedLines().size(), 3);

    m_modal->actWhenShown(QStringLiteral("changePIN"), [](QWidget* d) {
        d->findChild<QLineEdit*>(QStringLiteral("oldpinV"))->setText(QStringLiteral("1234"));
        d->findChild<QLineEdit*>(QStringLiteral("newpinV"))->setText(QStringLiteral("1234"));
        d->findChild<QPushButton*>(QStringLiteral("OK"))->click();
    });
    QCOMPARE(find<QPushButton>("fidoSetPIN1")->text(), QStringLiteral("Set PIN"));
    click("fidoSetPIN1");
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(m_modal->lastText(), QStringLiteral("Set PIN successfully."));
    QCOMPARE(find<QPushButton>("fidoSetPIN1")->text(), QStringLiteral("Change PIN"));
}

void TestFidoEndToEnd::pinCredentialsAndResetAcrossReplug()
{
    openFidoPageAndSetPin();

    // List the key's credentials, delete the second one while the list stays open.
    QStringList before, after;
    QString deletedId;
    bool deleted = false;
    m_modal->actWhenShown(QStringLiteral("piv_pin"), [](QWidget* d) {
        d->findChild<QLineEdit*>(QStringLiteral("pinV"))->setText(QStringLiteral("1234"));
        d->findChild<QPushButton*>(QStringLiteral("OK"))->click();
    });
    m_modal->actWhenShown(QStringLiteral("CreListDialog"), [&](QWidget* d) {
        auto rowTexts = [d] {
            QStringList texts;
            for (CredentialItem* row : d->findChildren<CredentialItem*>())
                texts.append(row->getCredential().rpId + QLatin1Char('/') + row->getCredential().userName);
            return texts;
        };
        auto* list = d->findChild<QListWidget*>(QStringLiteral("creList"));
        auto* second = qobject_cast<CredentialItem*>(list->itemWidget(list->item(1)));
        before = rowTexts();
        deletedId = second->getCredential().credentialId;
        second->findChild<QCheckBox*>()->click();
        d->findChild<QPushButton*>(QStringLiteral("deleteBtn"))->click();
        // The reply arrives while the list is up.
        deleted = QTest::qWaitFor([list] { return list->count() == 4; }, 5000);
        after = rowTexts();
        d->findChild<QPushButton*>(QStringLiteral("Close"))->click();
    });
    click("enumCre1");
    QTRY_VERIFY(m_modal->idle());
    QVERIFY(deleted);
    QCOMPARE(before.size(), 5);
    QCOMPARE(after.size(), 4);
    before.removeAt(1);
    QCOMPARE(after, before);

    // The key has been plugged in too long: it asks to be re-plugged, then resets.
    QVERIFY(m_sim->control(QStringLiteral("fido clock +11")).startsWith(QLatin1String("ok")));
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    click("reset1");
    auto* waiting = Access::waiting(*m_window);
    QTRY_COMPARE(waiting->text(), QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ..."));
    QCOMPARE(m_sim->control(QStringLiteral("unplug")), QStringLiteral("ok keys=0"));
    QTRY_VERIFY(!g_insreted); // the removal arrived, and must have changed nothing else
    QCOMPARE(find<QStackedWidget>("contentPage")->currentIndex(), 3);
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    QCOMPARE(m_sim->control(QStringLiteral("plug")), QStringLiteral("ok keys=1"));
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(m_modal->lastText(), QStringLiteral("Reset successfully."));
    QCOMPARE(find<QPushButton>("fidoSetPIN")->text(), QStringLiteral("Set PIN"));
    QCOMPARE(find<QPushButton>("fidoSetPIN1")->text(), QStringLiteral("Set PIN"));

    QCOMPARE(received().mid(2), (QStringList{
                                    " fido get_pin_retries ",
                                    " fido set-pin -p 31323334",
                                    " fido get-resident-credentials -p 31323334",
                                    "fido delete-resident-credential -i " + deletedId + " -t public-key -p 31323334",
                                    "fido reset",
                                    "fido reset",
                                }));
    QVERIFY(m_sim->control(QStringLiteral("status")).contains(QLatin1String("fido_credentials=0")));
}

void TestFidoEndToEnd::fingerprintEnrolTestDelete()
{
    openFidoPageAndSetPin();
    click("bioMgr1");
    auto* fingers = find<QListWidget>("fingerList");
    QTRY_COMPARE(received().value(4), QStringLiteral("fido enumerate"));

    // Enrol: four good samples, the list refreshed behind the dialog.
    QString finalTip, finalPicture;
    bool done = false;
    m_modal->actWhenShown(QStringLiteral("piv_pin"), [](QWidget* d) {
        d->findChild<QLineEdit*>(QStringLiteral("pinV"))->setText(QStringLiteral("1234"));
        d->findChild<QPushButton*>(QStringLiteral("OK"))->click();
    });
    m_modal->actWhenShown(QStringLiteral("registFingerprint"), [&](QWidget* d) {
        auto* tip = d->findChild<QLabel*>(QStringLiteral("Tip"));
        done = QTest::qWaitFor([tip] { return tip->text() == QLatin1String("All set!"); }, 5000);
        finalTip = tip->text();
        finalPicture = d->findChild<QWidget*>(QStringLiteral("imag"))->styleSheet();
        d->findChild<QPushButton*>(QStringLiteral("close"))->click();
    });
    click("addfinger");
    QTRY_VERIFY(m_modal->idle());
    QVERIFY(done);
    QCOMPARE(finalTip, QStringLiteral("All set!"));
    QCOMPARE(finalPicture, QStringLiteral("image: url(:/new/prefix1/Pass.png);"));
    QTRY_COMPARE(fingers->count(), 1);
    QCOMPARE(fingers->item(0)->text(), QStringLiteral("Fingerprint 01"));

    // Test: the key says the finger took too long.
    QVERIFY(m_sim->control(QStringLiteral("fido verify timeout")).startsWith(QLatin1String("ok")));
    m_modal->actWhenShown(QStringLiteral("registFingerprint"), [&](QWidget* d) {
        auto* tip = d->findChild<QLabel*>(QStringLiteral("Tip"));
        done = QTest::qWaitFor([tip] { return tip->text() != QLatin1String("Touch the fingerprint sensor"); }, 5000);
        finalTip = tip->text();
        d->findChild<QPushButton*>(QStringLiteral("close"))->click();
    });
    click("testfinger");
    QTRY_VERIFY(m_modal->idle());
    QVERIFY(done);
    QCOMPARE(finalTip, QStringLiteral("Timeout waiting for user interaction"));

    // Delete it again.
    fingers->setCurrentRow(0);
    m_modal->actWhenShown(QStringLiteral("piv_pin"), [](QWidget* d) {
        d->findChild<QLineEdit*>(QStringLiteral("pinV"))->setText(QStringLiteral("1234"));
        d->findChild<QPushButton*>(QStringLiteral("OK"))->click();
    });
    click("delfinger");
    QTRY_VERIFY(m_modal->idle());
    QTRY_COMPARE(fingers->count(), 0);
    QTRY_VERIFY(!Access::waiting(*m_window)->isShowing());

    QCOMPARE(received().mid(4), (QStringList{
                                    "fido enumerate",
                                    " fido enrollment-begin -p 1234",
                                    " fido enrollment-next -i 0001",
                                    " fido enrollment-next -i 0001",
                                    " fido enrollment-next -i 0001",
                                    "fido enumerate",
                                    " fido verify-enrollment ",
                                    " fido remove-enrollment -p 1234 -i 0001",
                                    "fido enumerate",
                                }));
}

QTEST_MAIN(TestFidoEndToEnd)
#include "tst_fidoui_e2e.moc"
