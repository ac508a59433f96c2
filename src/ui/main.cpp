#include "ui/app.h"

int main(int argc, char** argv) { tarnwick::run_program(argc, argv, {}); }
