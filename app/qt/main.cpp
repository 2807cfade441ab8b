// SPDX-License-Identifier: MIT
#include "Forms.h"
#include "Startup.h"

int main(int argc, char **argv) { return quill::run(argc, argv, quill::forms::defineWindows); }
