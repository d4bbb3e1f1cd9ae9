#include "gui/app/program.h"

int main(int argc, char** argv) {
    return quillrun::RunProgram(argc, argv);
}
