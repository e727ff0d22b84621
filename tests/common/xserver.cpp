#include "common/xserver.h"

XServer::XServer(const QSize& screen)
{
    const QString geometry = QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height());
    // Xvfb writes the display number it picked, then a line end, to the descriptor it is given.
    m_xvfb.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", geometry, "-nolisten", "tcp"});
    while (!m_xvfb.canReadLine()) {
        if (!m_xvfb.waitForReadyRead(10000)) {
            m_reason = QStringLiteral("Xvfb could not be started (is the xvfb package installed?)");
            return;
        }
    }
    qputenv("DISPLAY", ':' + m_xvfb.readLine().trimmed());
    qputenv("QT_QPA_PLATFORM", "xcb");
}

XServer::~XServer()
{
    m_xvfb.terminate();
    m_xvfb.waitForFinished();
}
