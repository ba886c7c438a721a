#include "app/program_install.h"

#include "editor/editor_state.h"
#include "frontend/front_end.h"
#include "script/script_seams.h"
#include "view/view_install.h"

void program_install()
{
    view_install();
    front_end_install();
    script_install();
    editor_install();
}
