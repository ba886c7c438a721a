// The four graphics presets of the graphics screen: "Compatibility", "High FPS",
// "Normal" and "High Detail", each a column of values for 13 graphics settings.
#pragma once

inline constexpr int kDetailPresets = 4;

// Sets the 13 settings from preset n (0..3; others do nothing).
void detail_preset_apply(int n);
// 1 when every setting equals preset n exactly, so the menu can name it; else 0.
int detail_preset_matches(int n);
