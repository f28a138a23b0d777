#include "Cli.h"

int main(int argc, char** argv) { return qvx::cli::Run(argc, argv); }
