// Program entry.
#include "app/program.h"

int main(int argc, char** argv) { return velm::RunProgram(argc, argv); }
