#pragma once

// Makes the toolkit's controls compact enough for the window's fixed layout
// of 20-pixel rows (GTK's default theme pads them to more than that).
void applyCompactTheme();
