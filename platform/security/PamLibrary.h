#pragma once
// PAM, loaded by the first logon. PAM and the libraries it pulls in (audit,
// capabilities) cost a process's start about a millisecond, and a page never
// logs anyone on; so libtlplatform.so links none of them. PamLibrary.cpp
// defines the pam_* calls LogonUserA makes, under their own names and
// prototypes: each finds PAM's entry on its first call. Until PAM is loaded
// every call does nothing and answers 0, which is PAM_SUCCESS: callers load
// it first.

// Loads libpam.so.0 once per process; true when its every call the logon
// makes was found. Otherwise false, with an error event naming what failed
// (once).
bool LoadPam();
