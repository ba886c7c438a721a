// Start-up: hands the race core and the rider simulation the world presentation's
// entry points (the world renderer, the roost particle sink and its reset).
#pragma once

void view_install();
