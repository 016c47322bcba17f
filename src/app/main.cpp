#include "app/tunvik_app.h"

int main(int argc, char** argv) {
  CTunvikApp app;
  return app.Run(argc, argv);
}
