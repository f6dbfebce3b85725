#include "firmware_update_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  CFirmwareUpdateApp application(instance);
  application.InitInstance();
  return 0;
}
