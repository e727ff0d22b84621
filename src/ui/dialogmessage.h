#pragma once

#include "ui/scaleddialog.h"

#include <QString>

class QFrame;
class QLabel;
class QPushButton;

// The one message box of the application: an icon, a title, a message laid out on one line per
// "\n"-separated part, and OK (plus Cancel for a question).
class DialogMessage : public ScaledDialog
{
    Q_OBJECT

public:
    enum Kind { Information = 0, Warning = 1, Error = 2, Question = 3 };

    DialogMessage(QWidget* parent, double factor);

    // The answer of the last showing: true only when OK (or Return on it) ended it. Cleared by
    // setDialog, so a showing that the window closes is never taken as confirmed. Escape
    // answers Cancel, and closes a message that has only OK.
    bool okPressed = false;

    // Fills and lays out the dialog and centres it on `parent`; the caller then runs exec().
    void setDialog(QWidget* parent, int kind, QString title, QString text);
    void setLoc(int x, int y);

public slots:
    void on_ok_clicked();
    void on_cancel_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildForm();
    void fitHeight(int lines);

    QFrame* m_icon = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_title = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    int m_extraHeight = 0;
};
