#include "app/mainwindow.h"

#include "app/page.h"
#include "fido/fidocontroller.h"

#include "ui_mainwindow.h"

#include <QFontMetrics>
#include <QPushButton>

namespace {

// Menu looks: A active, I inactive, G unavailable top-level entry; a active, i inactive sub-item.
const char kActive[] =
    "QPushButton{background-color: #566886;font: 75 bold 19pt;      font-size:25px;color: "
    "rgb(255,255,255);border-image:url(:/new/prefix1/menus.png);text-align:left;padding-left: 20px;}";
const char kInactive[] = "QPushButton{background: transparent;font: 75 bold 19pt;       font-size:25px; color: "
                         "rgb(255,255,255);text-align:left;padding-left: 20px;}";
const char kUnavailable[] = "QPushButton { background: #505050;font: 75 bold 19pt;       font-size:25px; color: "
                            "rgb(190,190,190);text-align:left;padding-left: 20px;}";
const char kSubActive[] = "QPushButton{border-image:url(:/new/prefix1/menus.png);      font-size:20px; color: "
                          "rgb(255,255,255);text-align:left;padding-left: 2px;}";
const char kSubInactive[] = "QPushButton{background: transparent;       font-size:20px; color: "
                            "rgb(255,255,255);text-align: left;padding-left: 2px;}";

enum class Sub { Unchanged, EnabledInactive, AllInactive, Fido, Piv, Otp };

struct Highlight
{
    const char* home;
    const char* application;
    const char* interface;
    const char* about;
    Sub sub;
};

void paint(QPushButton* button, const char* look)
{
    button->setFlat(true);
    // Re-setting the same sheet re-polishes the button; device events repaint the menu often.
    if (button->styleSheet() != QLatin1String(look))
        button->setStyleSheet(QLatin1String(look));
}

Highlight highlightFor(int page)
{
    const char* keyLook = g_insreted ? kInactive : kUnavailable;
    switch (page) {
    case Page::Home:
        return {kActive, keyLook, keyLook, kInactive, Sub::Unchanged};
    case Page::Transports:
        return {kInactive, kActive, kInactive, kInactive, Sub::EnabledInactive};
    case Page::Fido:
        return {kInactive, kActive, kInactive, kInactive, Sub::Fido};
    case Page::Piv:
        return {kInactive, kActive, kInactive, kInactive, Sub::Piv};
    case Page::Otp:
        return {kInactive, kActive, kInactive, kInactive, Sub::Otp};
    case Page::Applications:
        return {kInactive, kInactive, kActive, kInactive, Sub::Unchanged};
    case Page::About:
        return {kInactive, keyLook, keyLook, kActive, Sub::Unchanged};
    default:
        return {kInactive, kInactive, kInactive, kInactive, Sub::AllInactive};
    }
}

} // namespace

void MainWindow::setBtnStyleSheet(int page)
{
    const Highlight h = highlightFor(page);
    paint(ui->home, h.home);
    paint(ui->application, h.application);
    paint(ui->interface_2, h.interface);
    paint(ui->about, h.about);
    paintSubItems(int(h.sub));

    if (page == Page::Fido)
        m_fido->showPinState();
    showKeyNameInTitle(page);
}

void MainWindow::showKeyNameInTitle(int page)
{
    bool shown = g_insreted;
    if (page == Page::Home || page == Page::Transports)
        shown = false;
    else if (page == Page::Fido || page == Page::Piv || page == Page::Otp || page == Page::Applications)
        shown = true;
    if (!shown) {
        if (page == Page::Home || page == Page::Transports)
            ui->keyname_top->clear();
        return;
    }
    // A long name on a small screen is cut with an ellipsis; the whole name stays in the tool tip.
    const QString name = ui->keyname->text();
    const QFontMetrics metrics(ui->keyname_top->font());
    ui->keyname_top->setText(metrics.elidedText(name, Qt::ElideRight, ui->keyname_top->width()));
    ui->keyname_top->setToolTip(name);
    ui->keyname_top->setAccessibleName(name);
    ui->keyname_top->show();
}

// Disabled sub-items keep the look the device state gave them.
void MainWindow::paintSubItems(int mode)
{
    const Sub sub = Sub(mode);
    if (sub == Sub::Unchanged)
        return;
    const struct
    {
        QPushButton* button;
        Sub active;
    } items[] = {{ui->fido, Sub::Fido}, {ui->piv, Sub::Piv}, {ui->otp, Sub::Otp}};
    for (const auto& item : items) {
        if (sub == item.active)
            paint(item.button, kSubActive);
        else if (sub == Sub::AllInactive || item.button->isEnabled())
            paint(item.button, kSubInactive);
    }
}
