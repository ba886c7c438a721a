#include "app/program_install.h"
#include "race/program/startup.h"

int main(int argc, char** argv)
{
    program_install();
    return brovanta_main(argc, argv);
}
