#include "ui/scaleddialog.h"

#include "ui/scaling.h"

#include <QFrame>
#include <QScreen>

namespace {

// The title bar's colour, 11:1 against the white dialog.
const char kEdgeLook[] = "QFrame{border: 2px solid rgb(53, 64, 85); background: transparent;}";

} // namespace

ScaledDialog::ScaledDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent)
{
    setWindowFlags(flags);
    setWindowOpacity(0.99);
    m_edge = new QFrame(this);
    m_edge->setObjectName(QStringLiteral("dialogEdge"));
    m_edge->setStyleSheet(QLatin1String(kEdgeLook));
    m_edge->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ScaledDialog::scaleForm(double factor)
{
    m_scale = scaling::scaleNewDialog(*this, factor);
    m_edge->raise();
}

void ScaledDialog::centreOn(const QWidget* parent)
{
    if (parent)
        move(parent->geometry().center() - QPoint(width() / 2, height() / 2));
    keepOnScreen();
}

void ScaledDialog::keepOnScreen()
{
    const QRect screen = this->screen()->availableGeometry();
    move(qMax(screen.left(), qMin(x(), screen.right() + 1 - width())),
         qMax(screen.top(), qMin(y(), screen.bottom() + 1 - height())));
}

int ScaledDialog::availableWidth() const
{
    return screen()->availableGeometry().width();
}

void ScaledDialog::screenChanged(double factor)
{
    m_scale = scaling::screenChanged(*this, m_scale, factor);
}

void ScaledDialog::changeObjectSize(QObject const& obj, double factor)
{
    scaling::changeObjectSize(obj, factor);
}

void ScaledDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    m_edge->setGeometry(rect());
}
