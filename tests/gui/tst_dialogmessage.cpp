#include "common/modalhelper.h"
#include "ui/dialogmessage.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestDialogMessage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layout_data();
    void layout();
    void answers_data();
    void answers();

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

void TestDialogMessage::layout_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("longest"); // index of the line that sets the width
    QTest::newRow("information") << 0 << "Set PIN successfully." << 0;
    QTest::newRow("warning, longest line in the middle") << 1 << "abc\nthe longest line here\nmiddle\nfour\nfive" << 1;
    QTest::newRow("error, a tie goes to the first") << 2 << "WWWW\niiii" << 0;
    QTest::newRow("question") << 3 << "Sure?" << 0;
    QTest::newRow("unknown kind") << 7 << "a much longer text than before" << 0;
}

// Each row follows a six-line question: a kind that shows no Cancel must hide it, an unknown kind
// keeps the question's icon and buttons, and the height grown for six lines is given back.
void TestDialogMessage::layout()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(int, longest);
    m_dialog->setDialog(m_parent, 3, QStringLiteral("Question"), QStringLiteral("Sure?\n\n\n\n\n"));
    m_dialog->setDialog(m_parent, kind, QStringLiteral("Title"), text);
    const QFontMetrics metrics(message()->font());
    QCOMPARE(message()->width(), metrics.horizontalAdvance(text.split('\n').at(longest)) + 10);
    const char* icons[] = {"info", "warning", "error", "question"};
    QCOMPARE(m_dialog->findChild<QFrame*>(QStringLiteral("frame_message"))->styleSheet(),
             QStringLiteral("image:url(:/new/prefix1/res/%1.png);").arg(icons[qMin(kind, 3)]));
    // A message taller than the form's two lines grows the dialog downwards instead of being cut off.
    const int grown = qMax(0, metrics.lineSpacing() * (text.count(QLatin1Char('\n')) + 1) - 51);
    QCOMPARE(m_dialog->height(), 141 + grown);
    QCOMPARE(button("cancel")->isHidden(), kind < 3);
}

void TestDialogMessage::answers_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("focus"); // the button that has the keyboard focus, if any
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("button"); // neither key nor button: the window closes the dialog
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("OK") << 3 << "" << 0 << "ok" << true;
    QTest::newRow("Cancel") << 3 << "" << 0 << "cancel" << false;
    QTest::newRow("Return on a question") << 3 << "" << int(Qt::Key_Return) << "" << true;
    // Tab to Cancel, then Return: that is a Cancel, never an OK.
    QTest::newRow("Return on a focused Cancel") << 3 << "cancel" << int(Qt::Key_Return) << "" << false;
    QTest::newRow("Return on a focused OK") << 3 << "ok" << int(Qt::Key_Enter) << "" << true;
    QTest::newRow("Escape on a question") << 3 << "" << int(Qt::Key_Escape) << "" << false;
    QTest::newRow("Escape on a notice") << 1 << "" << int(Qt::Key_Escape) << "" << false;
    QTest::newRow("Enter on a notice") << 0 << "" << int(Qt::Key_Enter) << "" << true;
    // A question closed by the window (key removed) must not count as an earlier "OK".
    QTest::newRow("closed by the window") << 3 << "" << 0 << "" << false;
}

void TestDialogMessage::answers()
{
    QFETCH(int, kind);
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(QString, button);
    QFETCH(bool, confirmed);
    ModalHelper helper;
    helper.actWhenShown(QStringLiteral("DialogMessage"), [&](QWidget* w) {
        if (!focus.isEmpty()) {
            QApplication::setActiveWindow(w);
            w->findChild<QPushButton*>(focus)->setFocus();
        }
        if (key)
            QTest::keyClick(w, Qt::Key(key));
        else if (button.isEmpty())
            w->close();
        else
            w->findChild<QPushButton*>(button)->click();
    });
    m_dialog->okPressed = true; // the answer of an earlier showing
    m_dialog->setDialog(m_parent, kind, QStringLiteral("Title"), QStringLiteral("Text"));
    m_dialog->exec();
    QVERIFY(helper.idle());
    QCOMPARE(m_dialog->okPressed, confirmed);
    QVERIFY(!m_dialog->isVisible());
}

QTEST_MAIN(TestDialogMessage)
#include "tst_dialogmessage.moc"
