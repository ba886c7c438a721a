// "--open-home": the user data folder shown in the desktop's file browser.
#pragma once

// Makes the user folder with its parents and starts the file browser on it; nothing
// happens when there is no user folder or no browser.
void open_user_folder();
