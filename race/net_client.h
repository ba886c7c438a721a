// What the network client shares with the rest of the race core.
#pragma once

// Set by the server: arcade physics is applied as off whatever the setup says.
extern int net_arcade_disabled;
