// Template 102 of the main window.
#pragma once

#include "ui/dialog_template.h"

const ui::DialogTemplate& MainWindowTemplate();
