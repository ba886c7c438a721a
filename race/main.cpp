#include "frontend/front_end.h"
#include "race/startup.h"

int main(int argc, char** argv)
{
    front_end_install();
    return brovanta_main(argc, argv);
}
