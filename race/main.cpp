#include "race/startup.h"
#include "view/view_install.h"

int main(int argc, char** argv)
{
    view_install();
    return brovanta_main(argc, argv);
}
