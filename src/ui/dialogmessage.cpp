#include "ui/dialogmessage.h"

#include "ui/uiresources.h"

#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {

const char* const kIcons[] = {
    "image:url(:/new/prefix1/res/info.png);",
    "image:url(:/new/prefix1/res/warning.png);",
    "image:url(:/new/prefix1/res/error.png);",
    "image:url(:/new/prefix1/res/question.png);",
};

QFont formFont(int pointSize)
{
    QFont font(QStringLiteral("Microsoft Sans Serif"));
    font.setPointSize(pointSize);
    return font;
}

QString longestLine(const QString& text)
{
    QString longest;
    for (const QString& part : text.split(QLatin1Char('\n'))) {
        if (part.size() > longest.size())
            longest = part;
    }
    return longest;
}

} // namespace

DialogMessage::DialogMessage(QWidget* parent, double factor)
    : ScaledDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint)
{
    ensureUiResources();
    buildForm();
    scaleForm(factor);
}

void DialogMessage::buildForm()
{
    setObjectName(QStringLiteral("DialogMessage"));
    resize(509, 141);
    setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 255);\n"));
    setWindowTitle(QStringLiteral("Dialog"));

    m_icon = new QFrame(this);
    m_icon->setObjectName(QStringLiteral("frame_message"));
    m_icon->setGeometry(10, 30, 51, 51);
    m_icon->setFrameShape(QFrame::StyledPanel);
    m_icon->setFrameShadow(QFrame::Raised);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("label_message"));
    m_message->setGeometry(80, 30, 411, 51);
    QFont messageFont = formFont(12);
    messageFont.setWeight(QFont::Normal);
    messageFont.setItalic(false);
    m_message->setFont(messageFont);
    m_message->setStyleSheet(QStringLiteral("color: rgb(53,64,85);\nfont: 12pt;"));
    m_message->setWordWrap(true);

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("title"));
    m_title->setGeometry(10, 0, 150, 21);
    m_title->setFont(formFont(12));
    m_title->setStyleSheet(QStringLiteral("color: rgb(53,64,85);"));

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("ok"));
    m_ok->setGeometry(320, 100, 75, 23);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    m_cancel->setGeometry(400, 100, 75, 23);
    for (QPushButton* button : {m_ok, m_cancel}) {
        button->setFont(m_title->font());
        button->setStyleSheet(QStringLiteral("color: rgb(53,64,85);"));
        button->setFlat(true);
        button->setAutoDefault(false);
    }
    QMetaObject::connectSlotsByName(this);
}

void DialogMessage::setDialog(QWidget* parent, int kind, QString title, QString text)
{
    okPressed = false;
    m_message->setText(text);
    m_title->setText(title);
    if (kind >= Information && kind <= Question)
        m_icon->setStyleSheet(QLatin1String(kIcons[kind]));
    if (kind >= Information && kind <= Error) {
        m_cancel->hide();
    } else if (kind == Question) {
        m_ok->show();
        m_cancel->show();
    }

    const QFontMetrics metrics(m_message->font());
    // On a screen narrower than the longest line the message wraps instead of running off it.
    const int roomForText = availableWidth() - m_icon->width() - 50;
    m_message->resize(qMin(metrics.horizontalAdvance(longestLine(text)) + 10, roomForText), m_message->height());
    setFixedWidth(m_icon->width() + m_message->width() + 50);
    // A fallback font wider than the one the form was drawn for must not clip the title.
    const int titleWidth = QFontMetrics(m_title->font()).horizontalAdvance(title) + 4;
    if (titleWidth > m_title->width())
        m_title->resize(titleWidth, m_title->height());
    fitHeight(
        qMax(text.count(QLatin1Char('\n')) + 1, m_message->heightForWidth(m_message->width()) / metrics.lineSpacing()));

    if (m_cancel->isHidden()) {
        m_ok->move(width() - m_ok->width() - 10, m_ok->y());
    } else {
        m_cancel->move(width() - m_cancel->width() - 10, m_cancel->y());
        m_ok->move(m_cancel->x() - m_ok->width() - 10, m_ok->y());
    }
    if (parent)
        move(parent->geometry().center() - rect().center());
    keepOnScreen();
}

// The form has room for about two lines; a longer message grows the dialog downwards instead
// of being cut off, and the next message starts from the form's own height again.
void DialogMessage::fitHeight(int lines)
{
    const int base = m_message->height() - m_extraHeight;
    const int needed = QFontMetrics(m_message->font()).lineSpacing() * lines;
    const int extra = qMax(0, needed - base);
    const int delta = extra - m_extraHeight;
    if (delta == 0)
        return;
    m_extraHeight = extra;
    m_message->resize(m_message->width(), m_message->height() + delta);
    m_ok->move(m_ok->x(), m_ok->y() + delta);
    m_cancel->move(m_cancel->x(), m_cancel->y() + delta);
    resize(width(), height() + delta);
}

void DialogMessage::setLoc(int x, int y)
{
    m_ok->move(x, y);
    m_cancel->move(x + 70, y);
}

void DialogMessage::on_ok_clicked()
{
    okPressed = true;
    close();
}

void DialogMessage::on_cancel_clicked()
{
    okPressed = false;
    close();
}

void DialogMessage::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Return answers the button that has the focus: Tab to Cancel, Return, is a Cancel.
        if (m_cancel->isVisible() && m_cancel->hasFocus())
            on_cancel_clicked();
        else
            on_ok_clicked();
        break;
    case Qt::Key_Escape:
        on_cancel_clicked();
        break;
    default:
        ScaledDialog::keyPressEvent(event);
        break;
    }
}
