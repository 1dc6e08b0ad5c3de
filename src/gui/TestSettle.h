#pragma once

// Test hook of the real-window tests: with KALVERO_TEST_SETTLE naming a
// file, the program answers a change of the property KALVERO_SETTLE on any
// of its windows by writing the property's value (a number) into that file,
// once it has handled every event that came before the change and has
// nothing else pending. A test sets the property after its clicks and keys
// and waits for its value in the file: a barrier instead of a pause.
// Without the variable (or off X11) nothing is installed.
void installTestSettleHook();
