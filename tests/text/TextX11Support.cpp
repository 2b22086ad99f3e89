// The text tests on X11 use the same window-manager and screen helpers as the capture tests.
#include "../capture/X11Support.cpp"
