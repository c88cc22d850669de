// Entry point of Quarvel.exe.
#include "driver.h"

int main(int argc, char *argv[]) { return RunQuarvel(argc, argv); }
