// apehost's main (host/cli/src/main.cpp), compiled under another name so that the fuzz target can
// call it in-process.
#define main apehost_main
#include "main.cpp"
