#include "imagegen_art.h"

#include <QFont>
#include <QPainterPath>
#include <QtMath>

namespace art {

namespace {

QPen stroke(const QColor& colour, double width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath shieldPath(const QRectF& s)
{
    const double cx = s.center().x();
    QPainterPath path;
    path.moveTo(cx, s.top());
    path.lineTo(s.right(), s.top() + s.height() * 0.18);
    path.cubicTo(s.right(), s.top() + s.height() * 0.62, cx + s.width() * 0.28, s.bottom() - s.height() * 0.1, cx,
                 s.bottom());
    path.cubicTo(cx - s.width() * 0.28, s.bottom() - s.height() * 0.1, s.left(), s.top() + s.height() * 0.62, s.left(),
                 s.top() + s.height() * 0.18);
    path.closeSubpath();
    return path;
}

void drawShield(QPainter& p, const QRectF& s, const QColor& body, const QColor& hole)
{
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawPath(shieldPath(s));
    const double r = s.width() * 0.14;
    const QPointF c(s.center().x(), s.top() + s.height() * 0.42);
    p.setBrush(hole);
    p.drawEllipse(c, r, r);
    QPolygonF stem;
    stem << QPointF(c.x() - r * 0.55, c.y()) << QPointF(c.x() + r * 0.55, c.y())
         << QPointF(c.x() + r * 0.8, c.y() + r * 2.6) << QPointF(c.x() - r * 0.8, c.y() + r * 2.6);
    p.drawPolygon(stem);
}

void drawWord(QPainter& p, const QRectF& box, const QString& text, const QColor& colour, double pixelSize, bool bold,
              Qt::Alignment align)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(int(pixelSize));
    font.setBold(bold);
    font.setLetterSpacing(QFont::PercentageSpacing, bold ? 108 : 100);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, align, text);
}

// A key seen from above, lying on its side: body on the left, connector on the right.
void drawKeyLying(QPainter& p, const QRectF& body, const QColor& bodyColour, const QColor& metal)
{
    const QRectF plug(body.right() - 2, body.top() + body.height() * 0.22, body.height() * 0.8, body.height() * 0.56);
    p.setPen(Qt::NoPen);
    p.setBrush(metal);
    p.drawRoundedRect(plug, 3, 3);
    p.setBrush(metal.darker(140));
    p.drawRect(QRectF(plug.left() + plug.width() * 0.35, plug.top() + plug.height() * 0.2, plug.width() * 0.18,
                      plug.height() * 0.22));
    p.drawRect(QRectF(plug.left() + plug.width() * 0.65, plug.top() + plug.height() * 0.2, plug.width() * 0.18,
                      plug.height() * 0.22));
    p.setBrush(bodyColour);
    p.drawRoundedRect(body, body.height() * 0.28, body.height() * 0.28);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(body.left() + body.height() * 0.4, body.center().y()), body.height() * 0.13,
                  body.height() * 0.13);
    p.setBrush(kGold);
    p.drawEllipse(QPointF(body.center().x() + body.width() * 0.08, body.center().y()), body.height() * 0.27,
                  body.height() * 0.27);
}

void drawCheck(QPainter& p, const QPointF& c, double r, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(c, r, r);
    p.setPen(stroke(Qt::white, r * 0.28));
    QPolygonF tick;
    tick << QPointF(c.x() - r * 0.45, c.y() + r * 0.02) << QPointF(c.x() - r * 0.1, c.y() + r * 0.38)
         << QPointF(c.x() + r * 0.5, c.y() - r * 0.35);
    p.drawPolyline(tick);
}

void drawCross(QPainter& p, const QPointF& c, double r, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(c, r, r);
    p.setPen(stroke(Qt::white, r * 0.26));
    const double d = r * 0.38;
    p.drawLine(QPointF(c.x() - d, c.y() - d), QPointF(c.x() + d, c.y() + d));
    p.drawLine(QPointF(c.x() + d, c.y() - d), QPointF(c.x() - d, c.y() + d));
}

void drawArrow(QPainter& p, const QPointF& from, const QPointF& to, double head)
{
    p.drawLine(from, to);
    const double angle = qAtan2(to.y() - from.y(), to.x() - from.x());
    p.drawLine(to, to - QPointF(head * qCos(angle - 0.6), head * qSin(angle - 0.6)));
    p.drawLine(to, to - QPointF(head * qCos(angle + 0.6), head * qSin(angle + 0.6)));
}

void drawTitleButtonGround(QPainter& p, const QRectF& r, int state, const QColor& hover)
{
    if (state == 0)
        return;
    p.setPen(Qt::NoPen);
    p.setBrush(state == 1 ? hover : hover.darker(125));
    p.drawRoundedRect(r.adjusted(3, 3, -3, -3), 6, 6);
}

} // namespace

void drawTitleLogo(QPainter& p, const QRectF& r)
{
    drawShield(p, QRectF(r.left() + 2, r.top() + 3, 28, 34), Qt::white, kNavy);
    drawWord(p, r.adjusted(38, 0, 0, 0), "VELMORA", Qt::white, 22, true, Qt::AlignLeft | Qt::AlignVCenter);
}

void drawAboutLogo(QPainter& p, const QRectF& r)
{
    drawShield(p, QRectF(r.left() + 20, r.top() + 15, 100, 120), kNavy, Qt::white);
    drawWord(p, QRectF(r.left() + 145, r.top() + 22, r.width() - 150, 70), "VELMORA", kNavy, 50, true,
             Qt::AlignLeft | Qt::AlignVCenter);
    drawWord(p, QRectF(r.left() + 150, r.top() + 92, r.width() - 150, 36), "Security Key Manager", kGrey, 26, false,
             Qt::AlignLeft | Qt::AlignVCenter);
}

void drawMinimise(QPainter& p, const QRectF& r, int state)
{
    drawTitleButtonGround(p, r, state, kSlate);
    p.setPen(stroke(Qt::white, 2.6));
    p.drawLine(QPointF(r.left() + 12, r.center().y() + 1), QPointF(r.right() - 12, r.center().y() + 1));
}

void drawMaximise(QPainter& p, const QRectF& r)
{
    p.setPen(stroke(Qt::white, 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(12, 12, -12, -12), 2, 2);
}

void drawClose(QPainter& p, const QRectF& r, int state)
{
    drawTitleButtonGround(p, r, state, kRed);
    p.setPen(stroke(Qt::white, 2.6));
    const QRectF x = r.adjusted(13, 13, -13, -13);
    p.drawLine(x.topLeft(), x.bottomRight());
    p.drawLine(x.topRight(), x.bottomLeft());
}

void drawHome(QPainter& p, const QRectF& r)
{
    p.setPen(stroke(Qt::white, 4.5));
    p.setBrush(Qt::NoBrush);
    QPolygonF roof;
    roof << QPointF(6, 28) << QPointF(28, 8) << QPointF(50, 28);
    p.drawPolyline(roof.translated(r.topLeft()));
    QPolygonF walls;
    walls << QPointF(13, 25) << QPointF(13, 48) << QPointF(43, 48) << QPointF(43, 25);
    p.drawPolyline(walls.translated(r.topLeft()));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(23, 33, 10, 15).translated(r.topLeft()), 2, 2);
}

void drawApplications(QPainter& p, const QRectF& r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int i = 0; i < 4; ++i) {
        const QRectF cell(8 + (i % 2) * 22, 8 + (i / 2) * 22, 18, 18);
        p.drawRoundedRect(cell.translated(r.topLeft()), 4, 4);
    }
}

void drawInterfaces(QPainter& p, const QRectF& r)
{
    p.setPen(stroke(Qt::white, 4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(14, 20, 28, 24).translated(r.topLeft()), 4, 4);
    p.drawLine(QPointF(22, 20) + r.topLeft(), QPointF(22, 8) + r.topLeft());
    p.drawLine(QPointF(34, 20) + r.topLeft(), QPointF(34, 8) + r.topLeft());
    p.drawLine(QPointF(28, 44) + r.topLeft(), QPointF(28, 52) + r.topLeft());
}

void drawAbout(QPainter& p, const QRectF& r)
{
    p.setPen(stroke(Qt::white, 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.center(), 21, 21);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(r.center().x(), r.top() + 17), 3.5, 3.5);
    p.drawRoundedRect(QRectF(r.center().x() - 3, r.top() + 24, 6, 18), 2, 2);
}

void drawMenuItem(QPainter& p, const QRectF& r)
{
    p.setPen(stroke(Qt::white, 3.5));
    QPolygonF chevron;
    chevron << QPointF(12, 8) << QPointF(21, 16) << QPointF(12, 24);
    p.drawPolyline(chevron.translated(r.topLeft()));
}

void drawMenuHighlight(QPainter& p, const QRectF& r)
{
    p.fillRect(r, kSlate);
    p.fillRect(QRectF(r.left(), r.top(), 5, r.height()), kAccent);
}

void drawKeyModel(QPainter& p, const QRectF& r)
{
    const double cx = r.center().x();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 205, 212));
    p.drawRoundedRect(QRectF(cx - 42, 12, 84, 110), 6, 6);
    p.setBrush(QColor(150, 156, 166));
    p.drawRect(QRectF(cx - 24, 40, 14, 16));
    p.drawRect(QRectF(cx + 10, 40, 14, 16));
    p.setBrush(kNavy);
    p.drawRoundedRect(QRectF(cx - 72, 112, 144, 276), 34, 34);
    p.setBrush(kSlate);
    p.drawRoundedRect(QRectF(cx - 62, 124, 22, 236), 11, 11);
    p.setBrush(kGold);
    p.drawEllipse(QPointF(cx, 230), 40, 40);
    drawFingerprint(p, QRectF(cx - 30, 200, 60, 60), kNavy, 1.0);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(cx, 346), 15, 15);
}

void drawSelect(QPainter& p, const QRectF& r)
{
    drawCheck(p, r.center(), r.width() / 2 - 2, kGreen);
}

void drawKeyScene(QPainter& p, const QRectF& r, bool inserted)
{
    const QRectF port(r.right() - 130, r.top() + 60, 110, 160);
    const double shift = inserted ? 96 : 0;
    const QColor body = inserted ? kNavy : QColor(150, 158, 172);
    drawKeyLying(p, QRectF(r.left() + 30 + shift, r.center().y() - 36, 176, 72), body, QColor(200, 205, 212));
    p.setPen(Qt::NoPen);
    p.setBrush(kMist);
    p.drawRoundedRect(port, 14, 14);
    if (inserted) {
        p.setBrush(kGreen);
        p.drawEllipse(QPointF(port.center().x() + 10, port.top() + 28), 7, 7);
        drawCheck(p, QPointF(r.left() + 52, r.top() + 48), 26, kGreen);
    } else {
        p.setBrush(QColor(96, 104, 118));
        p.drawRect(QRectF(port.left(), r.center().y() - 24, 14, 48));
        p.setPen(QPen(kGrey, 3, Qt::DashLine, Qt::RoundCap));
        drawArrow(p, QPointF(r.left() + 262, r.center().y()), QPointF(port.left() - 10, r.center().y()), 10);
    }
}

void drawContinue(QPainter& p, const QRectF& r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(r.center(), r.width() / 2 - 4, r.width() / 2 - 4);
    p.setPen(stroke(Qt::white, 5));
    QPolygonF chevron;
    chevron << QPointF(24, 16) << QPointF(35, 28) << QPointF(24, 40);
    p.drawPolyline(chevron.translated(r.topLeft()));
}

void drawUsb(QPainter& p, const QRectF& r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kMist);
    p.drawEllipse(r.center(), r.width() / 2 - 4, r.height() / 2 - 4);
    const double cx = r.center().x();
    p.setPen(stroke(kNavy, 9));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(cx, 52), QPointF(cx, 168));
    QPolygonF left;
    left << QPointF(cx, 140) << QPointF(cx - 44, 112) << QPointF(cx - 44, 92);
    p.drawPolyline(left);
    QPolygonF right;
    right << QPointF(cx, 126) << QPointF(cx + 44, 100) << QPointF(cx + 44, 82);
    p.drawPolyline(right);
    p.setPen(Qt::NoPen);
    p.setBrush(kNavy);
    p.drawEllipse(QPointF(cx, 172), 14, 14);
    p.drawEllipse(QPointF(cx - 44, 84), 10, 10);
    p.drawRect(QRectF(cx + 34, 64, 20, 20));
    QPolygonF tip;
    tip << QPointF(cx, 28) << QPointF(cx + 16, 56) << QPointF(cx - 16, 56);
    p.drawPolygon(tip);
}

void drawTray(QPainter& p, const QRectF& r, bool outwards)
{
    p.setPen(stroke(kSlate, 4));
    p.setBrush(Qt::NoBrush);
    QPolygonF tray;
    tray << QPointF(8, 28) << QPointF(8, 40) << QPointF(40, 40) << QPointF(40, 28);
    p.drawPolyline(tray.translated(r.topLeft()));
    p.setPen(stroke(kAccent, 4));
    if (outwards)
        drawArrow(p, QPointF(24, 32) + r.topLeft(), QPointF(24, 7) + r.topLeft(), 9);
    else
        drawArrow(p, QPointF(24, 6) + r.topLeft(), QPointF(24, 31) + r.topLeft(), 9);
}

void drawTrash(QPainter& p, const QRectF& r)
{
    p.setPen(stroke(kSlate, 3.5));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(9, 12) + r.topLeft(), QPointF(39, 12) + r.topLeft());
    p.drawLine(QPointF(19, 12) + r.topLeft(), QPointF(20, 6) + r.topLeft());
    p.drawLine(QPointF(20, 6) + r.topLeft(), QPointF(28, 6) + r.topLeft());
    p.drawLine(QPointF(28, 6) + r.topLeft(), QPointF(29, 12) + r.topLeft());
    QPolygonF can;
    can << QPointF(12, 16) << QPointF(14, 42) << QPointF(34, 42) << QPointF(36, 16);
    p.drawPolyline(can.translated(r.topLeft()));
    p.setPen(stroke(kRed, 3));
    p.drawLine(QPointF(21, 21) + r.topLeft(), QPointF(21, 36) + r.topLeft());
    p.drawLine(QPointF(27, 21) + r.topLeft(), QPointF(27, 36) + r.topLeft());
}

void drawGenerate(QPainter& p, const QRectF& r)
{
    p.setPen(stroke(kSlate, 3.5));
    p.setBrush(Qt::NoBrush);
    QPolygonF page;
    page << QPointF(30, 6) << QPointF(10, 6) << QPointF(10, 42) << QPointF(38, 42) << QPointF(38, 14) << QPointF(30, 6);
    p.drawPolyline(page.translated(r.topLeft()));
    p.setPen(stroke(kAccent, 4));
    p.drawLine(QPointF(24, 18) + r.topLeft(), QPointF(24, 34) + r.topLeft());
    p.drawLine(QPointF(16, 26) + r.topLeft(), QPointF(32, 26) + r.topLeft());
}

void drawAdd(QPainter& p, const QRectF& r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kSlate);
    p.drawEllipse(r.center(), 20, 20);
    p.setPen(stroke(Qt::white, 4.5));
    p.drawLine(QPointF(r.center().x(), r.center().y() - 10), QPointF(r.center().x(), r.center().y() + 10));
    p.drawLine(QPointF(r.center().x() - 10, r.center().y()), QPointF(r.center().x() + 10, r.center().y()));
}

void drawRemove(QPainter& p, const QRectF& r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(r.center(), 20, 20);
    p.setPen(stroke(Qt::white, 4.5));
    p.drawLine(QPointF(r.center().x() - 10, r.center().y()), QPointF(r.center().x() + 10, r.center().y()));
}

void drawTestFinger(QPainter& p, const QRectF& r)
{
    drawFingerprint(p, r.adjusted(2, 2, -10, -10), kSlate, 1.0);
    drawCheck(p, QPointF(r.right() - 11, r.bottom() - 11), 10, kGreen);
}

void drawFingerprint(QPainter& p, const QRectF& r, const QColor& colour, double filled)
{
    const int ridges = 6;
    const QPointF c(r.center().x(), r.center().y() + r.height() * 0.08);
    const double step = qMin(r.width(), r.height()) * 0.075;
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < ridges; ++i) {
        const bool done = i < qRound(filled * ridges);
        p.setPen(stroke(done ? colour : kMist, step * 0.55));
        const double rx = step * (0.8 + i);
        const QRectF ring(c.x() - rx, c.y() - rx * 1.25, rx * 2, rx * 2.5);
        const int start = (i % 2 == 0) ? -30 : -10;
        const int span = (i % 2 == 0) ? 240 : 200;
        p.drawArc(ring, (start + 20) * 16, span * 16);
    }
}

void drawEnrolment(QPainter& p, const QRectF& r, int samples)
{
    const double radius = r.height() / 2 - 8;
    const QPointF c = r.center();
    p.setPen(stroke(kMist, 6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, radius, radius);
    if (samples > 0) {
        p.setPen(stroke(kAccent, 6));
        p.drawArc(QRectF(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius), 90 * 16, -samples * 90 * 16);
    }
    const QRectF print(c.x() - radius * 0.7, c.y() - radius * 0.75, radius * 1.4, radius * 1.4);
    drawFingerprint(p, print, samples == 0 ? kSlate : kAccent, samples == 0 ? 1.0 : samples / 4.0);
}

void drawVerdict(QPainter& p, const QRectF& r, bool passed)
{
    const double radius = r.height() / 2 - 8;
    const QPointF c = r.center();
    const QColor colour = passed ? kGreen : kRed;
    p.setPen(stroke(colour, 6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, radius, radius);
    drawFingerprint(p, QRectF(c.x() - radius * 0.7, c.y() - radius * 0.75, radius * 1.4, radius * 1.4), colour, 1.0);
    const QPointF badge(c.x() + radius * 0.72, c.y() + radius * 0.62);
    if (passed)
        drawCheck(p, badge, 18, kGreen);
    else
        drawCross(p, badge, 18, kRed);
}

void drawDialogClose(QPainter& p, const QRectF& r)
{
    p.setPen(stroke(kNavy, 2.6));
    const QPointF c = r.center();
    p.drawLine(QPointF(c.x() - 7, c.y() - 7), QPointF(c.x() + 7, c.y() + 7));
    p.drawLine(QPointF(c.x() + 7, c.y() - 7), QPointF(c.x() - 7, c.y() + 7));
}

void drawSwap(QPainter& p, const QRectF& r)
{
    p.setPen(stroke(kSlate, 4.5));
    drawArrow(p, QPointF(10, 20) + r.topLeft(), QPointF(46, 20) + r.topLeft(), 10);
    p.setPen(stroke(kAccent, 4.5));
    drawArrow(p, QPointF(46, 37) + r.topLeft(), QPointF(10, 37) + r.topLeft(), 10);
}

void drawBadge(QPainter& p, const QRectF& r, Badge badge)
{
    const QPointF c = r.center();
    p.setPen(Qt::NoPen);
    if (badge == Badge::Warning) {
        QPainterPath triangle;
        triangle.moveTo(c.x(), r.top() + 4);
        triangle.lineTo(r.right() - 3, r.bottom() - 5);
        triangle.lineTo(r.left() + 3, r.bottom() - 5);
        triangle.closeSubpath();
        p.setPen(stroke(kAmber, 4));
        p.setBrush(kAmber);
        p.drawPath(triangle);
        p.setPen(stroke(Qt::white, 4.5));
        p.drawLine(QPointF(c.x(), c.y() - 6), QPointF(c.x(), c.y() + 6));
        p.drawPoint(QPointF(c.x(), c.y() + 14));
        return;
    }
    if (badge == Badge::Error) {
        drawCross(p, c, r.width() / 2 - 2, kRed);
        return;
    }
    p.setBrush(badge == Badge::Info ? kAccent : kSlate);
    p.drawEllipse(c, r.width() / 2 - 2, r.height() / 2 - 2);
    p.setPen(stroke(Qt::white, 4.5));
    p.setBrush(Qt::NoBrush);
    if (badge == Badge::Info) {
        p.drawPoint(QPointF(c.x(), c.y() - 11));
        p.drawLine(QPointF(c.x(), c.y() - 2), QPointF(c.x(), c.y() + 12));
        return;
    }
    QPainterPath hook;
    hook.moveTo(c.x() - 8, c.y() - 7);
    hook.cubicTo(c.x() - 8, c.y() - 17, c.x() + 9, c.y() - 17, c.x() + 8, c.y() - 7);
    hook.cubicTo(c.x() + 7, c.y() - 1, c.x(), c.y(), c.x(), c.y() + 5);
    p.drawPath(hook);
    p.drawPoint(QPointF(c.x(), c.y() + 13));
}

void drawComboArrow(QPainter& p, const QRectF& r)
{
    p.setPen(stroke(kSlate, 2.6));
    QPolygonF chevron;
    chevron << QPointF(5, 9) << QPointF(12, 16) << QPointF(19, 9);
    p.drawPolyline(chevron.translated(r.topLeft()));
}

} // namespace art
