// OSMesa, as Debian 12 ships it, keeps a few hundred bytes of each context it
// destroys. The leak checker is told to pass over allocations made inside
// that library.

extern "C" const char* __lsan_default_suppressions()
{
  return "leak:libOSMesa.so\n";
}
