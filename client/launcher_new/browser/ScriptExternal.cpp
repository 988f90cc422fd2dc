#include "ScriptExternal.h"

#include <atomic>
#include <cstring>
#include <string>

#include "common/StrUtil.h"

const ScriptName kScriptNames[kScriptNameCount] = {
    {"CB_IsOurCustomBrowser", 1},       {"CB_Close", 2},           {"CB_CustomFunction", 3},
    {"CB_CustomFunctionWithParams", 4}, {"CB_CustomFunctionAdd", 5}, {"CB_ShowModalDialog", 6},
    {"CB_ShowModelessDialog", 7},
};

STDMETHODIMP CImpIDispatch::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IDispatch)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CImpIDispatch::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

STDMETHODIMP_(ULONG) CImpIDispatch::Release() { return static_cast<ULONG>(InterlockedDecrement(&m_refs)); }

STDMETHODIMP CImpIDispatch::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

STDMETHODIMP CImpIDispatch::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

STDMETHODIMP CImpIDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  // Converted at the length the name needs: a page may ask for any name.
  const std::string name = StrUtil::WideToAnsi(names[0]);
  DISPID found = DISPID_UNKNOWN;
  for (const ScriptName& known : kScriptNames) {
    if (names[0] != nullptr && name == known.name) {
      found = known.id;
      break;
    }
  }
  for (UINT i = 0; i < count; ++i) ids[i] = found;
  return found == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

STDMETHODIMP CImpIDispatch::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return S_OK;
}

namespace {
std::atomic<CImpIDispatch*> g_external{nullptr};
}  // namespace

CImpIDispatch* ScriptExternal() { return g_external.load(); }

void InstallScriptExternal(CImpIDispatch* external) { g_external.store(external); }
