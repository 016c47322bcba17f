// The application object: prepares the user interface, runs the main window until it closes,
// and ends the program.
#pragma once

class CTunvikApp {
 public:
  // Runs the program; returns its exit code.
  int Run(int argc, char** argv);
};
