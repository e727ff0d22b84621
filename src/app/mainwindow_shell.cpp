// The window shell: the frameless window's construction, dragging, the About page, minimising,
// and display scaling of the window.

#include "app/mainwindow.h"

#include "app/page.h"

#include "app/buildinfo.h"
#include "platform/macwindow.h"
#include "ui/focusring.h"
#include "ui/scaling.h"
#include "ui/uiresources.h"
#include "ui/usermanual.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QIcon>
#include <QListView>
#include <QMouseEvent>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QUrl>

#include <cmath>

namespace {

const char kEdgeLook[] = "QFrame{background-color: rgb(255, 255, 255); border: 1px solid #566886;}";
const char kPositionKey[] = "window/position";

const char kNoKeyLook[] = "QPushButton{ background: #505050;font: 75 bold 19pt;    font-size:25px;color:rgb(190,190,"
                          "190);text-align:left;padding-left: 20px;}";

// The menu's fonts are requested by name; a wider fallback family would push the label past the
// fixed-width column, so such a font is narrowed just enough to fit.
void fitLabel(QPushButton* button, int padding, int available)
{
    button->ensurePolished();
    QFont font = button->font();
    const int textWidth = QFontMetrics(font).horizontalAdvance(button->text());
    const int room = available - padding - button->iconSize().width() - 12;
    if (textWidth <= room || textWidth == 0)
        return;
    font.setStretch(qMax(70, 100 * room / textWidth));
    button->setFont(font);
}

} // namespace

void MainWindow::setupWindowShell()
{
    ensureUiResources();
    // Step 1 sized the window from the screen before the form set its 720 x 480 minimum; the
    // outcome is the larger of the two in each direction.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize fromScreen(int(float(available.width()) * 0.6f), int(float(available.height()) * 0.75f));
    resize(fromScreen.expandedTo(minimumSize()));
    ui->centralWidget->resize(size());

    // The window draws its own edge. A drop shadow (a graphics effect beneath the widgets that
    // repaint above it) left those widgets stale on the screen of an X server, and a translucent
    // window shows black where no compositing manager runs.
    m_background = new QFrame(this);
    m_background->setObjectName(QStringLiteral("backgroundFrame"));
    m_background->setGeometry(rect());
    m_background->setStyleSheet(QLatin1String(kEdgeLook));
    m_background->lower();

    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint);
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL + Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &MainWindow::on_exit_clicked);
    FocusRing::followFocus();

    ui->contentPage->setCurrentIndex(Page::NoKey);
    for (QPushButton* item : {ui->fido, ui->piv, ui->otp})
        item->hide();
    setBtnStyleSheet(Page::Home);
    for (QPushButton* entry : {ui->application, ui->interface_2}) {
        entry->setEnabled(false);
        entry->setStyleSheet(QLatin1String(kNoKeyLook));
    }

    ui->comboBox->setView(new QListView(ui->comboBox));
    ui->comboBox->installEventFilter(this);
    ui->dateEdit->setDateTime(QDateTime::currentDateTime().addYears(1));
    ui->btn_min->setToolTip(QStringLiteral("Minimize"));
    ui->btn_max->setToolTip(QStringLiteral("Maximize"));
    ui->exit->setToolTip(QStringLiteral("Exit"));
    ui->macLogin->show();
    ui->groupBox_24->show();
    ui->pivRLogin->show();
    ui->PIVConfText->setEnabled(false);
    ui->btn_getdeviceinfo->hide();

    ui->btn_min->setStyleSheet(QStringLiteral("QPushButton{border-image: url(:/new/prefix1/min.png)}"
                                              "QPushButton:hover{border-image: url(:/new/prefix1/min_hold.png)}"
                                              "QPushButton:pressed{border-image: url(:/new/prefix1/min_pressed.png)}"));
    ui->exit->setStyleSheet(QStringLiteral("QPushButton{border-image: url(:/new/prefix1/close_new.png)}"
                                           "QPushButton:hover{border-image: url(:/new/prefix1/close_hold.png)}"
                                           "QPushButton:pressed{border-image: url(:/new/prefix1/close_pressed.png)}"));
    ui->btn_max->setStyleSheet(QStringLiteral("QPushButton{border-image: url(:/new/prefix1/max.png)}"));
    // Through an icon, so a scaled screen gets the @2x picture.
    ui->label_2->setPixmap(
        QIcon(QStringLiteral(":/new/prefix1/logo.png")).pixmap(ui->label_2->pixmap(Qt::ReturnByValue).size()));
    fitMenuLabels();
}

void MainWindow::fitMenuLabels()
{
    const int column = ui->widget_5->maximumWidth();
    for (QPushButton* entry : {ui->home, ui->application, ui->interface_2, ui->about})
        fitLabel(entry, 20, column);
    for (QPushButton* item : {ui->fido, ui->piv, ui->otp})
        fitLabel(item, 2, item->maximumWidth());
}

void MainWindow::setupScaling()
{
    refreshDPI();
    connect(QGuiApplication::primaryScreen(), &QScreen::logicalDotsPerInchChanged, this, &MainWindow::refreshDPI);
    restorePosition();
    connect(qApp, &QCoreApplication::aboutToQuit, this, &MainWindow::keepPosition);
}

QSettings MainWindow::settings()
{
    return QSettings(QStringLiteral("VELMORA"), QStringLiteral("Security Key Manager"));
}

// Only where the whole window lands on a screen that is still there.
void MainWindow::restorePosition()
{
    const QVariant kept = settings().value(QLatin1String(kPositionKey));
    if (!kept.isValid())
        return;
    const QRect place(kept.toPoint(), size());
    const QScreen* screen = QGuiApplication::screenAt(place.topLeft());
    if (screen && screen->availableGeometry().contains(place))
        move(place.topLeft());
}

void MainWindow::keepPosition()
{
    settings().setValue(QLatin1String(kPositionKey), pos());
}

void MainWindow::on_about_clicked()
{
    for (QPushButton* item : {ui->fido, ui->piv, ui->otp})
        item->hide();
    ui->contentPage->setCurrentIndex(Page::About);
    setBtnStyleSheet(Page::About);
    // Keep everything up to the last ": " so that repeated visits show one version number.
    QString text = ui->label_29->text();
    const int cut = text.lastIndexOf(QStringLiteral(": "));
    if (cut >= 0)
        text.truncate(cut + 2);
    ui->label_29->setText(text + QLatin1String(kAppVersion));
}

void MainWindow::on_btn_min_clicked()
{
#ifdef Q_OS_MACOS
    // A frameless window is not miniaturizable on macOS until its style mask says so.
    allowMiniaturize(this);
#endif
    showMinimized();
}

void MainWindow::on_help_clicked()
{
    QDesktopServices::openUrl(QUrl(QLatin1String(kUserManualUrl)));
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_lastMousePos = event->globalPos();
    QMainWindow::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    // Dragging over a combo box is picking an item, not moving the window.
    const QWidget* under = QApplication::widgetAt(event->globalPos());
    const bool overCombo =
        under && (under == ui->comboBox || under == ui->cachedTime || under == ui->combobox_language);
    if (!overCombo && (event->buttons() & Qt::LeftButton)) {
        const QPoint delta = event->globalPos() - m_lastMousePos;
        m_lastMousePos = event->globalPos();
        move(pos() + delta);
    }
    QMainWindow::mouseMoveEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    ui->mframe->move((width() - ui->mframe->width()) / 2, (height() - ui->mframe->height()) / 2);
    if (m_background)
        m_background->resize(size());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The wheel must never change the PIV slot under the pointer by accident.
    if (event->type() == QEvent::Wheel && qstrcmp(watched->metaObject()->className(), "QComboBox") == 0)
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// On a screen smaller than the form's minimum (a high scale on a small display) the window goes
// below that minimum to fit; the pages scroll what cannot shrink.
void MainWindow::fitToScreen(const QSize& available)
{
    // Logical sizes are rounded: at scale 1.5 a 1024-pixel screen is 683 wide, and a window 683
    // wide would overhang it by a pixel.
    const qreal ratio = devicePixelRatioF();
    const auto fitting = [ratio](int logical) { return int(std::floor(std::floor(logical * ratio) / ratio)); };
    const QSize room(fitting(available.width()), fitting(available.height()));
    setMinimumSize(minimumSize().boundedTo(room));
    ui->mframe->setMinimumSize(ui->mframe->minimumSize().boundedTo(room));
    resize(size().boundedTo(room));
}

void MainWindow::refreshDPI()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return;
    applyScreen(screens.first()->logicalDotsPerInch(), screens.first()->availableGeometry().size());
}

void MainWindow::applyScreen(double logicalDpi, const QSize& available)
{
    const double newScale = logicalDpi / 96.0;
    const double ratio = newScale / m_scale;
    if (ratio != 1.0)
        scaling::changeObjectSize(*this, ratio);
    m_scale = newScale;

    const int availW = available.width();
    const int availH = available.height();
    qDebug() << availW << availH;
    qDebug() << width() << height();
    qDebug() << ui->centralWidget->width() << ui->centralWidget->height();
    if (!(availW > width() && availH > height())) {
        const double fit = qMin(double(availW) / ui->centralWidget->width() - 0.03,
                                double(availH) / ui->centralWidget->height() - 0.03);
        scaling::changeObjectSize(*this, fit);
        m_scale = fit;
    }
    if (height() < 560)
        resize(int(float(availW) * 0.7f), int(float(availH) * 0.8f));
    fitToScreen(available);
    qDebug() << "after:::" << width() << height();
    emit scaleFactorChanged(m_scale);
}
