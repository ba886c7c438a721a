#include "editor/editor_state.h"
#include "frontend/front_end.h"
#include "race/program/startup.h"
#include "script/script_seams.h"
#include "view/view_install.h"

int main(int argc, char** argv)
{
    view_install();
    front_end_install();
    script_install();
    editor_install();
    return brovanta_main(argc, argv);
}
