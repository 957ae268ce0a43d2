#pragma once
// Class factories and the server module: what a server's DllGetClassObject
// and DllCanUnloadNow answer from its class table.
//
//   const ServerClass kClasses[] = {
//     {&CLSID_Thing, "Thing", "TLTest.Thing", 1, "Thing Class", &ComObject<Thing>::CreateInstance},
//     {&CLSID_Part, "Part", "TLTest.Part", 1, "Part Class", nullptr},   // not creatable
//   };
//   ServerModule gModule(kClasses, kTypeLibrary);
//
//   extern "C" TL_SERVER_EXPORT HRESULT DllGetClassObject(REFCLSID c, REFIID i, void** o)
//   { return gModule.GetClassObject(c, i, o); }
//   extern "C" TL_SERVER_EXPORT HRESULT DllCanUnloadNow() { return gModule.CanUnloadNow(); }
//
// The factory of a creatable class is made on first request and kept for the
// module's life; it holds no module lock itself (LockServer does).

#include "platform/automation/ComObject.h"

#include <memory>
#include <mutex>
#include <span>
#include <vector>

#define TL_SERVER_EXPORT __attribute__((visibility("default")))

struct IClassFactory : IUnknown {
  static constexpr IID kIID = TL_GUID("00000001-0000-0000-C000-000000000046");
  virtual HRESULT CreateInstance(IUnknown* inOuter, REFIID inIID, void** outObject) = 0;
  virtual HRESULT LockServer(BOOL inLock) = 0;

protected:
  ~IClassFactory() = default;
};

inline constexpr IID IID_IClassFactory = IClassFactory::kIID;

using CreateFunction = HRESULT (*)(ModuleLockCount* inModule, REFIID inIID, void** outObject);

// One class of a server.
struct ServerClass {
  const CLSID* mClassId;
  const char* mName;          // "Canvas"
  const char* mProgId;        // the version-independent ProgID, "Tessaline4.Canvas"
  int mVersion;               // the versioned ProgID is mProgId + "." + mVersion
  const char* mDescription;   // "Canvas Class"
  CreateFunction mCreate;     // null: not creatable (handed out by other objects)
  // The class id as the class's keys spell it ("{CBF60B0F-D3A1-46f8-...}");
  // null: in capitals.
  const char* mClassIdText = nullptr;
};

// The type library a server registers.
struct TypeLibrary {
  const GUID* mLibraryId;
  const char* mName;      // "Tessaline4"
  const char* mHelp;      // "Tessaline 4.0 Image Manipulation Library"
  WORD mMajor;
  WORD mMinor;
  std::span<const DispatchTable* const> mInterfaces;  // registered under Interface\{IID}
  // The library id as the classes' TypeLib keys spell it; null: in capitals.
  const char* mLibraryIdText = nullptr;
};

class ServerModule : public ModuleLockCount {
public:
  ServerModule(std::span<const ServerClass> inClasses, const TypeLibrary& inTypeLibrary);
  ServerModule(const ServerModule&) = delete;
  ServerModule& operator=(const ServerModule&) = delete;
  ~ServerModule();

  // E_POINTER for a null outObject; CLASS_E_CLASSNOTAVAILABLE for a class not
  // in the table or not creatable.
  HRESULT GetClassObject(REFCLSID inClassId, REFIID inIID, void** outObject);
  // S_OK when no object and no server lock is alive, else S_FALSE.
  HRESULT CanUnloadNow() const;

  std::span<const ServerClass> Classes() const { return mClasses; }
  const TypeLibrary& Library() const { return mTypeLibrary; }
  const ServerClass* FindClass(REFCLSID inClassId) const;

private:
  std::span<const ServerClass> mClasses;
  const TypeLibrary& mTypeLibrary;
  std::mutex mFactoryLock;
  std::vector<IClassFactory*> mFactories;  // one slot per class, made on first request
};
