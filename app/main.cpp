#include <windows.h>

#include "app/programmer_app.h"

// The one application object, alive for the whole process.
static CProgrammerApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  theApp.InitInstance();
  return 0;
}
