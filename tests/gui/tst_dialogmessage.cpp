#include "common/modalhelper.h"
#include "ui/dialogmessage.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestDialogMessage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void labelAndDialogFollowLongestLine_data();
    void labelAndDialogFollowLongestLine();
    void buttonsSitOnTheRightEdge();
    void unknownKindKeepsIconAndButtons();
    void centresOnParent();
    void answers_data();
    void answers();
    void escapeDoesNotClose();
    void preparingClearsEarlierAnswer();
    void longMessageIsNotCutOff();
    void builtAtScale_data();
    void builtAtScale();
    void screenChangedFollowsWindow();

private:
    QLabel* message() const { return m_dialog->findChild<QLabel*>(QStringLiteral("label_message")); }
    QPushButton* button(const char* name) const { return m_dialog->findChild<QPushButton*>(QLatin1String(name)); }

    QWidget* m_parent = nullptr;
    DialogMessage* m_dialog = nullptr;
};

void TestDialogMessage::init()
{
    m_parent = new QWidget;
    m_parent->setGeometry(100, 80, 800, 600);
    m_dialog = new DialogMessage(m_parent, 1.0);
}

void TestDialogMessage::cleanup()
{
    delete m_parent;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestDialogMessage::labelAndDialogFollowLongestLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("longest");
    QTest::newRow("one line") << "Set PIN successfully."
                              << "Set PIN successfully.";
    QTest::newRow("second of three longest") << "abc\nthe longest line here\nmiddle"
                                             << "the longest line here";
    QTest::newRow("tie goes to the first") << "WWWW\niiii"
                                           << "WWWW";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("empty parts kept") << "\n\nab"
                                      << "ab";
}

void TestDialogMessage::labelAndDialogFollowLongestLine()
{
    QFETCH(QString, text);
    QFETCH(QString, longest);
    m_dialog->setDialog(m_parent, 0, QStringLiteral("Success"), text);
    const int expected = QFontMetrics(message()->font()).horizontalAdvance(longest) + 10;
    QCOMPARE(message()->width(), expected);
    QCOMPARE(message()->text(), text);
    const int iconWidth = m_dialog->findChild<QFrame*>(QStringLiteral("frame_message"))->width();
    QCOMPARE(m_dialog->width(), iconWidth + expected + 50);
    QCOMPARE(m_dialog->minimumWidth(), m_dialog->maximumWidth());
}

void TestDialogMessage::buttonsSitOnTheRightEdge()
{
    m_dialog->setDialog(m_parent, 3, QStringLiteral("Reset FIDO"), QStringLiteral("continue ? "));
    QVERIFY(!button("cancel")->isHidden());
    QCOMPARE(button("cancel")->x(), m_dialog->width() - button("cancel")->width() - 10);
    QCOMPARE(button("ok")->x(), button("cancel")->x() - button("ok")->width() - 10);
    QCOMPARE(button("ok")->y(), 100);

    m_dialog->setDialog(m_parent, 1, QStringLiteral("Warning"), QStringLiteral("Touch time out."));
    QVERIFY(button("cancel")->isHidden());
    QVERIFY(!button("ok")->isHidden());
    QCOMPARE(button("ok")->x(), m_dialog->width() - button("ok")->width() - 10);
    QCOMPARE(m_dialog->findChild<QFrame*>(QStringLiteral("frame_message"))->styleSheet(),
             QStringLiteral("image:url(:/new/prefix1/res/warning.png);"));
}

void TestDialogMessage::unknownKindKeepsIconAndButtons()
{
    m_dialog->setDialog(m_parent, 3, QStringLiteral("Question"), QStringLiteral("Sure?"));
    m_dialog->setDialog(m_parent, 7, QStringLiteral("Other"), QStringLiteral("a much longer text than before"));
    QCOMPARE(m_dialog->findChild<QFrame*>(QStringLiteral("frame_message"))->styleSheet(),
             QStringLiteral("image:url(:/new/prefix1/res/question.png);"));
    QVERIFY(!button("cancel")->isHidden());
    QCOMPARE(m_dialog->findChild<QLabel*>(QStringLiteral("title"))->text(), QStringLiteral("Other"));
    QCOMPARE(message()->width(),
             QFontMetrics(message()->font()).horizontalAdvance(QStringLiteral("a much longer text than before")) + 10);
}

void TestDialogMessage::centresOnParent()
{
    m_dialog->setDialog(m_parent, 0, QStringLiteral("Success"), QStringLiteral("Done."));
    QCOMPARE(m_dialog->pos(), m_parent->geometry().center() - m_dialog->rect().center());
}

void TestDialogMessage::answers_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("OK") << 3 << "ok" << true;
    QTest::newRow("Cancel") << 3 << "cancel" << false;
    QTest::newRow("Return on a question") << 3 << "return" << true;
    QTest::newRow("Enter on a notice") << 0 << "enter" << true;
}

void TestDialogMessage::answers()
{
    QFETCH(int, kind);
    QFETCH(QString, how);
    QFETCH(bool, confirmed);
    ModalHelper helper;
    helper.actWhenShown(QStringLiteral("DialogMessage"), [how](QWidget* w) {
        if (how == QLatin1String("return"))
            QTest::keyClick(w, Qt::Key_Return);
        else if (how == QLatin1String("enter"))
            QTest::keyClick(w, Qt::Key_Enter);
        else
            w->findChild<QPushButton*>(how)->click();
    });
    m_dialog->setDialog(m_parent, kind, QStringLiteral("Title"), QStringLiteral("Text"));
    m_dialog->exec();
    QVERIFY(helper.idle());
    QCOMPARE(m_dialog->okPressed, confirmed);
    QVERIFY(!m_dialog->isVisible());
}

void TestDialogMessage::escapeDoesNotClose()
{
    ModalHelper helper;
    bool stillOpen = false;
    helper.actWhenShown(QStringLiteral("DialogMessage"), [&stillOpen](QWidget* w) {
        QTest::keyClick(w, Qt::Key_Escape);
        QTest::keyClick(w, Qt::Key_A);
        stillOpen = w->isVisible();
        w->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    });
    m_dialog->setDialog(m_parent, 3, QStringLiteral("Title"), QStringLiteral("Text"));
    m_dialog->exec();
    QVERIFY(stillOpen);
    QVERIFY(!m_dialog->okPressed);
}

// A question that the window closes (key removed) must not count as an earlier "OK".
void TestDialogMessage::preparingClearsEarlierAnswer()
{
    ModalHelper helper;
    helper.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_dialog->setDialog(m_parent, 3, QStringLiteral("First"), QStringLiteral("Yes?"));
    m_dialog->exec();
    QVERIFY(m_dialog->okPressed);

    helper.actWhenShown(QStringLiteral("DialogMessage"), [](QWidget* w) { w->close(); });
    m_dialog->setDialog(m_parent, 3, QStringLiteral("Second"), QStringLiteral("Yes?"));
    QVERIFY(!m_dialog->okPressed);
    m_dialog->exec();
    QVERIFY(!m_dialog->okPressed);
}

void TestDialogMessage::longMessageIsNotCutOff()
{
    const QSize designed = m_dialog->size();
    const int okY = button("ok")->y();
    m_dialog->setDialog(m_parent, 0, QStringLiteral("Success"), QStringLiteral("one\ntwo\nthree\nfour\nfive"));
    const int needed = QFontMetrics(message()->font()).lineSpacing() * 5;
    QVERIFY(message()->height() >= needed);
    QCOMPARE(button("ok")->y() - okY, message()->height() - 51);
    QVERIFY(button("ok")->y() >= message()->y() + message()->height());

    m_dialog->setDialog(m_parent, 0, QStringLiteral("Success"), QStringLiteral("one line"));
    QCOMPARE(message()->height(), 51);
    QCOMPARE(button("ok")->y(), okY);
    QCOMPARE(m_dialog->height(), designed.height());
}

void TestDialogMessage::builtAtScale_data()
{
    QTest::addColumn<double>("factor");
    QTest::newRow("72 dpi") << 0.75;
    QTest::newRow("96 dpi") << 1.0;
    QTest::newRow("144 dpi") << 1.5;
}

void TestDialogMessage::builtAtScale()
{
    QFETCH(double, factor);
    DialogMessage dialog(m_parent, factor);
    QCOMPARE(dialog.size(), QSize(int(509 * factor), int(141 * factor)));
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("label_message"));
    QCOMPARE(label->geometry(), QRect(int(80 * factor), int(30 * factor), int(411 * factor), int(51 * factor)));
    QCOMPARE(label->font().pointSize(), 12);
    QCOMPARE(dialog.scaleFactor(), factor);
}

void TestDialogMessage::screenChangedFollowsWindow()
{
    DialogMessage dialog(m_parent, 1.5);
    dialog.setDialog(m_parent, 0, QStringLiteral("Success"), QStringLiteral("Done."));
    const QSize before = dialog.size();
    dialog.screenChanged(1.0);
    QCOMPARE(dialog.size(), before);
    QCOMPARE(dialog.scaleFactor(), 1.5);

    dialog.screenChanged(0.75);
    QCOMPARE(dialog.size(), QSize(int(before.width() * 0.5), int(before.height() * 0.5)));
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("ok"))->height(), int(int(23 * 1.5) * 0.5));
    QCOMPARE(dialog.scaleFactor(), 0.75);
}

QTEST_MAIN(TestDialogMessage)
#include "tst_dialogmessage.moc"
