// The object that page scripts reach as window.external: seven names that
// answer with success and do nothing.
#pragma once
#include <windows.h>
#include <oaidl.h>

struct ScriptName {
  const char* name;
  DISPID id;
};
const int kScriptNameCount = 7;
// In lookup order; compared exactly, case included.
extern const ScriptName kScriptNames[kScriptNameCount];

class CImpIDispatch : public IDispatch {
 public:
  CImpIDispatch() {}
  virtual ~CImpIDispatch() {}
  CImpIDispatch(const CImpIDispatch&) = delete;
  CImpIDispatch& operator=(const CImpIDispatch&) = delete;

  // Only IID_IDispatch gives the object; IUnknown is refused too, as the
  // pages this launcher shows have always been answered.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  // Counted only: its owner frees it once the browser is gone.
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  // Scripts ask for one name at a time: the first name is looked up and
  // every id entry receives its id (-1 and DISP_E_UNKNOWNNAME when unknown).
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) override;

  LONG RefCount() const { return m_refs; }

 private:
  volatile LONG m_refs = 0;
};

// The external object the browser hands to its pages. The application object
// owns it and installs it for as long as its windows run; null otherwise.
CImpIDispatch* ScriptExternal();
void InstallScriptExternal(CImpIDispatch* external);
