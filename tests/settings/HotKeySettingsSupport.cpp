// The settings tests use the same fake hot-key grabber and capture recorder as the capture tests.
#include "../capture/HotKeyTestSupport.cpp"
