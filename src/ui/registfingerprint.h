#pragma once

#include "ui/scaleddialog.h"

#include <QString>

#include <memory>

namespace Ui {
class registFingerprint;
}

// Shows the progress of a fingerprint enrolment sample by sample, or of a fingerprint test.
class registFingerprint : public ScaledDialog
{
    Q_OBJECT

public:
    registFingerprint(QWidget* parent, double factor);
    ~registFingerprint() override;

    // Modes "addfinger" and "testfinger"; the caller runs exec().
    void setType(QWidget* parent, QString const& mode);
    // Remaining samples ("3", "2", "1", "0") or a final text such as "Test Passed!".
    void updateUI(QString text);
    // A sample status or "2F" for a time-out.
    void errCode(QString code);

    bool cancelRequested() const { return m_cancel; }
    void setCancelRequested(bool cancel) { m_cancel = cancel; }
    bool isClosable() const { return m_closable; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void on_close_clicked();

private:
    void setPicture(const char* image);
    void showCloseButton();

    bool m_cancel = false;
    std::unique_ptr<Ui::registFingerprint> ui;
    bool m_closable = true;
};
