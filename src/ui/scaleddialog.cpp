#include "ui/scaleddialog.h"

#include "ui/scaling.h"

#include <QPainter>

namespace {

// The title bar's colour, 11:1 against the white dialog.
const QColor kEdge(53, 64, 85);
constexpr int kEdgeWidth = 2;

} // namespace

ScaledDialog::ScaledDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent)
{
    setWindowFlags(flags);
    setWindowOpacity(0.99);
}

void ScaledDialog::scaleForm(double factor)
{
    m_scale = scaling::scaleNewDialog(*this, factor);
}

void ScaledDialog::centreOn(const QWidget* parent)
{
    if (parent)
        move(parent->geometry().center() - QPoint(width() / 2, height() / 2));
}

void ScaledDialog::screenChanged(double factor)
{
    m_scale = scaling::screenChanged(*this, m_scale, factor);
}

void ScaledDialog::changeObjectSize(QObject const& obj, double factor)
{
    scaling::changeObjectSize(obj, factor);
}

void ScaledDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(kEdge, kEdgeWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}
