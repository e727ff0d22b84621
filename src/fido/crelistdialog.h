#pragma once

#include "fido/credential.h"

#include "ui/scaleddialog.h"

#include <QList>
#include <QString>

#include <memory>

class CredentialItem;
class QListWidgetItem;

namespace Ui {
class CreListDialog;
}

// The resident credentials of the key, one checkable row each; asks to delete the checked one.
class CreListDialog : public ScaledDialog
{
    Q_OBJECT

public:
    CreListDialog(QWidget* parent, double factor);
    ~CreListDialog() override;

    void addItem(Credential credential);
    // With true, removes the checked row; the key has confirmed its deletion.
    void delItem(bool deleted);
    // Empties the list and centres the dialog on `center`.
    void delAllItem(QWidget* center);

signals:
    // Delete was pressed with this row checked; the window asks and sends.
    void deleteRequested(const Credential& credential);

public slots:
    void RecvItem(Credential item);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void on_creList_itemClicked(QListWidgetItem* item);
    void on_deleteBtn_clicked();
    void on_Close_clicked();

private:
    // Delete is offered exactly when a row is checked; the checked row is the selected one.
    void showChoice(int row);

    std::unique_ptr<Ui::CreListDialog> ui;
    QList<CredentialItem*> m_items;
};
