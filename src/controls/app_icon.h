// The program's icon (resource 128), drawn by the program itself. The same drawing gives the
// icon files of the install (tools/icon_render.cpp).
#pragma once

class QPainter;

// Makes the icon available as resource IDR_MAINFRAME; calling it again does nothing.
void RegisterAppIcon();

// Draws the icon into the square from (0, 0) to (size, size) of `painter`'s device.
void PaintAppIcon(QPainter& painter, double size);
