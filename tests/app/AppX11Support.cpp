// The application's X11 tests use the same window-manager and screen helpers as the capture
// tests.
#include "../capture/X11Support.cpp"
