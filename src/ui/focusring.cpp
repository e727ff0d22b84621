#include "ui/focusring.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>

namespace {

const QColor kOuter(17, 17, 17);
const QColor kInner(255, 255, 255);
constexpr int kLineWidth = 2;

QPointer<FocusRing> g_ring;

} // namespace

void FocusRing::followFocus()
{
    static bool following = false;
    if (following)
        return;
    following = true;
    connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* now) { moveTo(now); });
}

void FocusRing::moveTo(QWidget* target)
{
    delete g_ring;
    if (target)
        g_ring = new FocusRing(target);
}

// A child of the focused control, so it moves, scrolls and hides with it and paints over it.
FocusRing::FocusRing(QWidget* target) : QWidget(target)
{
    setObjectName(QStringLiteral("focusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    // Whatever the control's style sheet paints behind its children must not fill the ring.
    setStyleSheet(QStringLiteral("background: transparent;"));
    setGeometry(target->rect());
    target->installEventFilter(this);
    show();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == parent())
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kOuter, kLineWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    painter.setPen(QPen(kInner, kLineWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(rect()).adjusted(3, 3, -3, -3));
}
