#include "ui/scaling.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestScaling : public QObject
{
    Q_OBJECT

private slots:
    void geometryIsMultipliedAndTruncated_data();
    void geometryIsMultipliedAndTruncated();
    void ownedWindowsAreLeftToThemselves();
    void newDialogAtScale_data();
    void newDialogAtScale();
    void screenChangedUsesTheRatio();
    void screenChangedToOneKeepsSize();
    void fixedWidthFollows();
};

void TestScaling::geometryIsMultipliedAndTruncated_data()
{
    QTest::addColumn<double>("dpi");
    QTest::newRow("72 dpi") << 72.0;
    QTest::newRow("96 dpi") << 96.0;
    QTest::newRow("144 dpi") << 144.0;
}

void TestScaling::geometryIsMultipliedAndTruncated()
{
    QFETCH(double, dpi);
    const double factor = dpi / 96.0;
    QWidget top;
    top.resize(300, 200);
    auto* frame = new QWidget(&top);
    frame->setGeometry(11, 21, 201, 101);
    auto* label = new QLabel(QStringLiteral("text"), frame);
    label->setGeometry(3, 5, 77, 33);
    QFont font(QStringLiteral("Microsoft Sans Serif"));
    font.setPointSize(12);
    label->setFont(font);
    new QHBoxLayout(&top); // a layout is not a widget and is skipped

    scaling::changeObjectSize(top, factor);

    QCOMPARE(top.size(), QSize(300, 200));
    QCOMPARE(frame->geometry(), QRect(int(11 * factor), int(21 * factor), int(201 * factor), int(101 * factor)));
    QCOMPARE(label->geometry(), QRect(int(3 * factor), int(5 * factor), int(77 * factor), int(33 * factor)));
    QCOMPARE(label->font().pointSize(), 12);
}

void TestScaling::ownedWindowsAreLeftToThemselves()
{
    QWidget top;
    auto* dialog = new QDialog(&top);
    dialog->setGeometry(40, 50, 300, 100);
    scaling::changeObjectSize(top, 1.5);
    QCOMPARE(dialog->geometry(), QRect(40, 50, 300, 100));
}

void TestScaling::newDialogAtScale_data()
{
    QTest::addColumn<double>("factor");
    QTest::newRow("0.75") << 0.75;
    QTest::newRow("1.0") << 1.0;
    QTest::newRow("1.5") << 1.5;
}

void TestScaling::newDialogAtScale()
{
    QFETCH(double, factor);
    QDialog dialog;
    dialog.resize(363, 342);
    auto* button = new QPushButton(&dialog);
    button->setGeometry(320, 0, 41, 31);
    QCOMPARE(scaling::scaleNewDialog(dialog, factor), factor);
    QCOMPARE(dialog.size(), QSize(int(363 * factor), int(342 * factor)));
    QCOMPARE(button->geometry(), QRect(int(320 * factor), 0, int(41 * factor), int(31 * factor)));
}

void TestScaling::screenChangedUsesTheRatio()
{
    QDialog dialog;
    dialog.resize(400, 200);
    auto* child = new QWidget(&dialog);
    child->setGeometry(0, 0, 100, 50);
    const double own = scaling::scaleNewDialog(dialog, 0.75);
    QCOMPARE(dialog.size(), QSize(300, 150));
    QCOMPARE(scaling::screenChanged(dialog, own, 1.5), 1.5);
    QCOMPARE(dialog.size(), QSize(600, 300));
    QCOMPARE(child->size(), QSize(150, 74)); // 100*0.75=75 -> *2 = 150; 50*0.75=37 -> 74
}

void TestScaling::screenChangedToOneKeepsSize()
{
    QDialog dialog;
    dialog.resize(400, 200);
    const double own = scaling::scaleNewDialog(dialog, 1.5);
    QCOMPARE(scaling::screenChanged(dialog, own, 1.0), 1.5);
    QCOMPARE(dialog.size(), QSize(600, 300));
}

// The message dialog fixes its width; scaling must still reach it.
void TestScaling::fixedWidthFollows()
{
    QDialog dialog;
    dialog.resize(400, 200);
    dialog.setFixedWidth(400);
    scaling::screenChanged(dialog, 1.0, 1.5);
    QCOMPARE(dialog.size(), QSize(600, 300));
    QCOMPARE(dialog.maximumWidth(), 600);
}

QTEST_MAIN(TestScaling)
#include "tst_scaling.moc"
