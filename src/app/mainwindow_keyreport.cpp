// The key report: a button on the home page writes what the window knows about the key.

#include "app/mainwindow.h"

#include "ui/dialogmessage.h"
#include "ui_mainwindow.h"

#include <QFileDialog>
#include <QPushButton>

void MainWindow::setupKeyReport()
{
    auto* button = new QPushButton(QStringLiteral("Save key report..."), ui->isKeyInsert->parentWidget());
    button->setObjectName(QStringLiteral("saveKeyReport"));
    button->setAccessibleName(QStringLiteral("Save key report"));
    button->setCursor(Qt::PointingHandCursor);
    ui->layout_5->addWidget(button, 0, Qt::AlignLeft);
    connect(button, &QPushButton::clicked, this, &MainWindow::saveKeyReport);
}

void MainWindow::saveKeyReport()
{
    const QString caption = QStringLiteral("Save key report");
    const QString name = QStringLiteral("key-report.json");
    const QString filter = QStringLiteral("Key reports (*.json)");
    const QString path = m_reportSaveFile ? m_reportSaveFile(caption, name, filter)
                                          : QFileDialog::getSaveFileName(this, caption, name, filter);
    if (path.isEmpty())
        return;
    QString error;
    if (m_keyReport.save(path, &error))
        showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("The key report was saved."));
    else
        showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                    QStringLiteral("The key report could not be saved: ") + error);
}
