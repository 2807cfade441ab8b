// SPDX-License-Identifier: MIT
#include "Forms.h"
#include "Startup.h"

int main(int argc, char **argv) { quill::run(argc, argv, quill::forms::programWindows()); }
