#pragma once

#include <QString>
#include <QWidget>

// Finds the window's widgets by their object names, the way a user finds them by sight.
template <typename T = QWidget> T* widget(QWidget* window, const char* name)
{
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    Q_ASSERT_X(w, "widget", name);
    return w;
}
