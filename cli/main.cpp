#include <iostream>

#include "cli_app.h"

int main(int argc, char** argv) { return sorvane::cli::RunCli(argc, argv, std::cout, std::cerr); }
