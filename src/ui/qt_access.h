// Access to the Qt widgets behind a dialog, for the dialog layer's own implementation and for
// custom controls. Window classes never include this header.
#pragma once

#include <QFont>
#include <QIcon>
#include <QWidget>

#include "ui/dialog.h"

class QSystemTrayIcon;

namespace ui {

class TrayIcon;

// The dialog's window widget, or null before it is created.
QWidget* WindowWidget(const Dialog& dialog);
// The widget of control `id`, or null.
QWidget* ControlWidget(const Dialog& dialog, int id);
// Makes icon resource `resourceId` available to Dialog::SetIconResource.
void RegisterIconResource(int resourceId, const QIcon& icon);
QIcon IconResource(int resourceId);
// The font of every dialog, and the size of a dialog unit in pixels derived from it.
QFont DialogFont();
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);
// The Qt tray icon behind a TrayIcon: its icon, tooltip and menu as the desktop gets them.
QSystemTrayIcon* SystemTrayIcon(const TrayIcon& tray);

}  // namespace ui
