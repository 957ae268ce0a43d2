// Fontconfig, as Debian 12 ships it, loses a few hundred bytes while it
// parses its configuration, once per process; the font-name tests make it do
// so. The leak checker passes over exactly that place, and unwinds
// allocations fully so that it can tell that place from any other.

extern "C" const char* __lsan_default_suppressions()
{
  return "leak:FcInitLoadConfigAndFonts\n";
}

extern "C" const char* __asan_default_options()
{
  return "fast_unwind_on_malloc=0";
}
