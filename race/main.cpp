#include "race/startup.h"
#include "script/script_seams.h"

int main(int argc, char** argv)
{
    script_install();
    return brovanta_main(argc, argv);
}
