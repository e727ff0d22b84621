#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

// Asks for a touch so the key types its code into a field, and compares it with the code
// the window expects. Only that code is held, never the slot's secret, and only until the
// dialog closes.
class OtpCheckDialog : public QDialog
{
    Q_OBJECT

public:
    OtpCheckDialog(QWidget* parent, const QString& expected);

    // After the dialog closed: the typed code was the expected one.
    bool matches() const { return m_matches; }

    void done(int result) override;

private:
    QLineEdit* m_code = nullptr;
    QString m_expected;
    bool m_matches = false;
};
