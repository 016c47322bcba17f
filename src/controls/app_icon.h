// The program's icon (resource 128), drawn by the program itself.
#pragma once

// Makes the icon available as resource IDR_MAINFRAME; calling it again does nothing.
void RegisterAppIcon();
