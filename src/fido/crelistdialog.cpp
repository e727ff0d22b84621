#include "fido/crelistdialog.h"

#include "fido/credentialitem.h"
#include "ui_crelistdialog.h"

#include <QKeyEvent>

CreListDialog::CreListDialog(QWidget* parent, double factor)
    : ScaledDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint),
      ui(new Ui::CreListDialog)
{
    ui->setupUi(this);
    scaleForm(factor);
    ui->deleteBtn->setEnabled(false);
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
    // The list would move the highlight to a neighbour that is not checked.
    showChoice(-1);
}

void CreListDialog::delAllItem(QWidget* center)
{
    m_items.clear();
    ui->creList->clear();
    showChoice(-1);
    if (center)
        move(center->geometry().center() - rect().center());
}

void CreListDialog::RecvItem(Credential item)
{
    // One row at a time: the row whose box was clicked ends checked and selected, also when
    // the click unticked it.
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items[i]->getCredential() == item)
            showChoice(i);
}

void CreListDialog::on_creList_itemClicked(QListWidgetItem* item)
{
    showChoice(ui->creList->row(item));
}

void CreListDialog::showChoice(int row)
{
    for (int i = 0; i < m_items.size(); ++i) {
        m_items[i]->setCheckState(i == row);
        ui->creList->item(i)->setSelected(i == row);
    }
    if (row < 0)
        ui->creList->setCurrentIndex(QModelIndex());
    ui->deleteBtn->setEnabled(row >= 0);
}

void CreListDialog::on_deleteBtn_clicked()
{
    for (CredentialItem* row : qAsConst(m_items))
        if (row->getCheckState())
            emit deleteRequested(row->getCredential());
}

void CreListDialog::on_Close_clicked()
{
    close();
}

void CreListDialog::keyPressEvent(QKeyEvent* event)
{
    // Escape must not close the list; Return and Enter act as Delete.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        ui->deleteBtn->click();
}
