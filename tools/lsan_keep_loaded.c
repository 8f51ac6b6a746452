// Preloaded into the sanitizer test run only. The GL driver is unloaded when the window library
// closes its display; LeakSanitizer then no longer sees the driver's globals (what they point to
// shows up as leaked) nor can it name the driver in a stack. Keeping every library mapped until
// exit lets it tell the driver's memory from ours (tools/lsan.supp).
int dlclose(void* handle) {
  (void)handle;
  return 0;
}
