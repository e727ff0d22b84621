#include "platform/macwindow.h"

#include <QWidget>

#import <AppKit/AppKit.h>

void allowMiniaturize(QWidget* window)
{
    NSView* view = reinterpret_cast<NSView*>(window->winId());
    NSWindow* native = [view window];
    [native setStyleMask:[native styleMask] | NSWindowStyleMaskMiniaturizable];
}
