#include "platform/automation/ClassFactory.h"

namespace {

class ClassFactory : public IClassFactory {
public:
  using Interfaces = InterfaceList<IClassFactory>;

  ClassFactory(const ServerClass& inClass, ServerModule& inModule) : mClass(inClass), mModule(inModule) {}

  HRESULT CreateInstance(IUnknown* inOuter, REFIID inIID, void** outObject) override
  {
    if (!outObject)
      return E_POINTER;
    *outObject = nullptr;
    if (inOuter)
      return CLASS_E_NOAGGREGATION;
    return mClass.mCreate(&mModule, inIID, outObject);
  }

  HRESULT LockServer(BOOL inLock) override
  {
    if (inLock)
      mModule.Lock();
    else if (mModule.Count() > 0)
      mModule.Unlock();
    return S_OK;
  }

private:
  const ServerClass& mClass;
  ServerModule& mModule;
};

}  // namespace

ServerModule::ServerModule(std::span<const ServerClass> inClasses, const TypeLibrary& inTypeLibrary)
    : mClasses(inClasses), mTypeLibrary(inTypeLibrary), mFactories(inClasses.size(), nullptr)
{
}

ServerModule::~ServerModule()
{
  for (IClassFactory* theFactory : mFactories)
    if (theFactory)
      theFactory->Release();
}

const ServerClass* ServerModule::FindClass(REFCLSID inClassId) const
{
  for (const ServerClass& theClass : mClasses)
    if (*theClass.mClassId == inClassId)
      return &theClass;
  return nullptr;
}

HRESULT ServerModule::GetClassObject(REFCLSID inClassId, REFIID inIID, void** outObject)
{
  if (!outObject)
    return E_POINTER;
  *outObject = nullptr;
  const ServerClass* theClass = FindClass(inClassId);
  if (!theClass || !theClass->mCreate)
    return CLASS_E_CLASSNOTAVAILABLE;
  std::size_t theIndex = static_cast<std::size_t>(theClass - mClasses.data());
  std::lock_guard theLock(mFactoryLock);
  if (!mFactories[theIndex]) {
    ComPtr<ComObject<ClassFactory>> theFactory;
    if (HRESULT theResult = ComObject<ClassFactory>::Create(nullptr, theFactory, *theClass, *this); FAILED(theResult))
      return theResult;
    mFactories[theIndex] = theFactory.Detach();
  }
  return mFactories[theIndex]->QueryInterface(inIID, outObject);
}

HRESULT ServerModule::CanUnloadNow() const
{
  return Count() == 0 ? S_OK : S_FALSE;
}
