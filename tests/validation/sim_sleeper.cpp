// A stand-in for the running simulator: the Windows-half tests copy it as
// "fs9.exe" into a stand-in installation and start it. It only waits.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  ::Sleep(argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) * 1000 : 30000);
  return 0;
}
