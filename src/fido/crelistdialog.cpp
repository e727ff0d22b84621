#include "fido/crelistdialog.h"

#include "app/commands.h"
#include "fido/credentialitem.h"
#include "ui_crelistdialog.h"

#include <QDebug>
#include <QKeyEvent>

CreListDialog::CreListDialog(QWidget* parent, double factor)
    : ScaledDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint),
      ui(new Ui::CreListDialog)
{
    ui->setupUi(this);
    scaleForm(factor);
}

CreListDialog::~CreListDialog() = default;

void CreListDialog::addItem(Credential credential)
{
    auto* item = new QListWidgetItem;
    item->setSizeHint(QSize(0, 45));
    auto* row = new CredentialItem(nullptr, credential);
    connect(row, &CredentialItem::SendItem, this, &CreListDialog::RecvItem);
    ui->creList->addItem(item);
    ui->creList->setItemWidget(item, row);
    m_items.append(row);
    ui->creList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void CreListDialog::delItem(bool deleted)
{
    if (!deleted)
        return;
    for (int i = m_items.size() - 1; i >= 0; --i) {
        if (!m_items[i]->getCheckState())
            continue;
        m_items.removeAt(i);
        delete ui->creList->takeItem(i);
    }
}

void CreListDialog::delAllItem(QWidget* center)
{
    m_items.clear();
    ui->creList->clear();
    if (center)
        move(center->geometry().center() - rect().center());
}

void CreListDialog::RecvItem(Credential item)
{
    // One row at a time: the row whose box was clicked ends checked and selected, also when
    // the click unticked it.
    for (int i = 0; i < m_items.size(); ++i) {
        const bool same = m_items[i]->getCredential() == item;
        m_items[i]->setCheckState(same);
        ui->creList->item(i)->setSelected(same);
    }
}

void CreListDialog::on_creList_itemClicked(QListWidgetItem* item)
{
    const int clicked = ui->creList->row(item);
    for (int i = 0; i < m_items.size(); ++i)
        m_items[i]->setCheckState(i == clicked);
}

void CreListDialog::on_deleteBtn_clicked()
{
    m_mesage.clear();
    for (CredentialItem* row : qAsConst(m_items)) {
        if (!row->getCheckState())
            continue;
        const Credential credential = row->getCredential();
        m_mesage = Cmd::fidoDeleteCredential(credential.credentialId, credential.credentialType);
        qDebug() << "cmdSend====m_mesage=" << m_mesage;
        emit message(m_mesage, CmdType::FidoDeleteCredential);
    }
}

void CreListDialog::on_Close_clicked()
{
    close();
}

void CreListDialog::keyPressEvent(QKeyEvent* event)
{
    // Escape must not close the list; Return and Enter delete the checked row.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        on_deleteBtn_clicked();
}
