// A module for the loader tests: two exports found by name, one counter that
// shows whether the module's state survived between calls.
extern "C" {
static int g_calls = 0;
__attribute__((visibility("default"))) int TestAdd(int a, int b) { return a + b; }
__attribute__((visibility("default"))) int TestCount() { return ++g_calls; }
}
