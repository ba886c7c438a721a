#include "race/startup.h"

int main(int argc, char** argv)
{
    return brovanta_main(argc, argv);
}
