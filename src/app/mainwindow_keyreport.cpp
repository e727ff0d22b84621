// The key report: a button on the home page writes what the window knows about the key.

#include "app/mainwindow.h"

#include "app/keyreporttext.h"
#include "ui/dialogmessage.h"
#include "ui_mainwindow.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kReportViewWidth = 520;
constexpr int kReportViewHeight = 420;

} // namespace

void MainWindow::setupKeyReport()
{
    auto* button = new QPushButton(QStringLiteral("Save key report..."), ui->isKeyInsert->parentWidget());
    button->setObjectName(QStringLiteral("saveKeyReport"));
    button->setAccessibleName(QStringLiteral("Save key report"));
    button->setCursor(Qt::PointingHandCursor);
    ui->layout_5->addWidget(button, 0, Qt::AlignLeft);
    connect(button, &QPushButton::clicked, this, &MainWindow::saveKeyReport);

    auto* view = new QPushButton(QStringLiteral("Show key report..."), ui->isKeyInsert->parentWidget());
    view->setObjectName(QStringLiteral("showKeyReport"));
    view->setAccessibleName(QStringLiteral("Show key report"));
    view->setCursor(Qt::PointingHandCursor);
    ui->layout_5->addWidget(view, 0, Qt::AlignLeft);
    connect(view, &QPushButton::clicked, this, &MainWindow::showKeyReport);
}

// The same facts as the file, to read or copy without saving anything.
void MainWindow::showKeyReport()
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("KeyReportView"));
    dialog.setWindowTitle(QStringLiteral("Key report"));
    auto* text =
        new QPlainTextEdit(KeyReportText::render(m_keyReport.toJson(QDateTime::currentDateTimeUtc())), &dialog);
    text->setObjectName(QStringLiteral("keyReportText"));
    text->setReadOnly(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("close"));
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.resize(dialog.sizeHint().expandedTo(QSize(kReportViewWidth, kReportViewHeight)));
    dialog.exec();
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

void MainWindow::expectPivSlot(const QString& slot)
{
    m_keyReport.expectPivSlot(slot);
}
