#include "ui/waitingdialog.h"

#include "ui/uiresources.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QTimer>

WaitingDialog::WaitingDialog(QWidget* parent, Clock clock)
    : QDialog(nullptr), m_now(clock ? std::move(clock) : Clock(&QDateTime::currentDateTime))
{
    ensureUiResources();
    m_panel = new QDialog(parent);
    m_panel->setObjectName(QStringLiteral("waitingPanel"));
    m_animation = new QLabel(m_panel);
    m_animation->setObjectName(QStringLiteral("waitingAnimation"));
    m_animation->setFixedSize(60, 50);
    m_animation->setScaledContents(true);
    // QMovie does not pick an @2x variant itself; the label scales the frames into its 60x50.
    const bool scaled = qApp->devicePixelRatio() > 1.0;
    m_movie = new QMovie(scaled ? QStringLiteral(":/new/prefix1/res/blue-loading@2x.gif")
                                : QStringLiteral(":/new/prefix1/res/blue-loading.gif"),
                         QByteArray(), this);
    m_animation->setMovie(m_movie);
    m_text = new QLabel(m_panel);
    m_text->setObjectName(QStringLiteral("waitingText"));
    m_text->setAlignment(Qt::AlignCenter);

    auto* layout = new QHBoxLayout(m_panel);
    layout->setSpacing(10);
    layout->addWidget(m_animation, 0, Qt::AlignCenter);
    layout->addWidget(m_text, 0, Qt::AlignCenter);
    m_panel->setStyleSheet(QStringLiteral("background-color: rgb(86,104,134);color: rgb(255,255,255);font-size:14px;"));
    m_panel->setWindowOpacity(0.99);
    m_panel->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);

    // This object has no parent of its own; it lives as long as the window that owns the panel.
    if (parent)
        connect(parent, &QObject::destroyed, this, [this] { delete this; });

    m_tick = new QTimer(this);
    m_tick->setInterval(kTickMs);
    connect(m_tick, &QTimer::timeout, this, &WaitingDialog::updateProgress);
}

void WaitingDialog::show(QWidget* parent, QString text)
{
    if (!m_panel)
        return;
    m_text->setText(text);
    if (m_panel->isVisible())
        return;
    m_panel->setWindowModality(Qt::ApplicationModal);
    // The animation runs only while it can be seen; idle, the application wakes for nothing.
    m_movie->start();
    m_panel->show();
    if (parent)
        m_panel->move(parent->geometry().center() - m_panel->rect().center());
    m_start = m_now();
    m_tick->start();
}

void WaitingDialog::hide()
{
    if (!isShowing())
        return;
    m_panel->hide();
    m_movie->stop();
    m_tick->stop();
}

bool WaitingDialog::isShowing() const
{
    return m_panel && m_panel->isVisible();
}

QString WaitingDialog::text() const
{
    return m_panel ? m_text->text() : QString();
}

void WaitingDialog::updateProgress()
{
    // Whole seconds, as the limit is counted: it passes on the first tick after start + 60.
    const quint32 now = quint32(m_now().toSecsSinceEpoch());
    const quint32 limit = quint32(m_start.toSecsSinceEpoch() + kLimitSeconds);
    if (now <= limit)
        return;
    m_tick->stop();
    m_movie->stop();
    if (m_panel)
        m_panel->hide();
    emit operationTimedout();
}
