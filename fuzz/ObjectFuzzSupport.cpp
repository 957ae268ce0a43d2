// The leak list of the object targets. Two libraries, as Debian 12 ships them,
// lose a few hundred bytes: fontconfig once per process while it parses its
// configuration, OSMesa with each context it destroys. No leak of ours is
// passed over.
extern "C" const char* __lsan_default_suppressions()
{
  return "leak:libfontconfig.so\nleak:libOSMesa.so\n";
}
