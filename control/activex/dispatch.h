// IDispatch::Invoke on the member table: every argument checked against its
// member's parameter, converted, the member run, by-reference arguments
// written back where they changed, and the result converted. Nothing that
// is given is trusted: counts, types, pointers and ranges all give defined
// error codes, and the caller's values are left alone on every refusal.
#pragma once

#include "control/activex/member_table.h"
#include "platform/com/twcom.h"

namespace tw::activex {

HRESULT InvokeMember(Target& target, DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, UINT* argError);

// Converts one argument for a parameter of `type` (by reference or not):
// S_OK, DISP_E_TYPEMISMATCH (also for a text holding a character above
// U+00FF) or DISP_E_OVERFLOW. A by-reference argument must have exactly the
// parameter's by-reference type.
HRESULT ReadArgument(const VARIANT& argument, const Parameter& parameter, Value& value);

// Writes `now` back through a by-reference argument when it differs from
// `before`; a replaced BSTR is freed once.
HRESULT WriteBack(const VARIANT& argument, ValueType type, const Value& before, const Value& now);

// A new VARIANT of `type` holding `value` (VT_BOOL as -1/0, VT_BSTR owned).
HRESULT MakeVariant(ValueType type, const Value& value, VARIANT* out);

// Fills EXCEPINFO for a member that failed with an exception.
void FillException(EXCEPINFO* exception, const char* what);

}  // namespace tw::activex
