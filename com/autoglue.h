// autoglue.h - the flat entries through which plain code reaches the automation
// client of an Automation object: no COM interface crosses them except the
// VARIANTs of values.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

struct AutoClient;
struct ObjectRecord;

// The record's name: "{" first a CLSID, else a ProgID; 1 when the client was made.
int AutoCreateByName(ObjectRecord* rec);
void AutoRelease(ObjectRecord* rec);
int32_t AutoNavigate(AutoClient* c, const char* name, DISPID id, DISPPARAMS* args);
struct AutoNameList;
int32_t AutoLookupNames(AutoClient* c, AutoNameList* list);
int32_t AutoGetProperty(AutoClient* c, const char* name, DISPID id, DISPPARAMS* args, VARIANT* result);
// The form the picture creators call: a bare IDispatch (name null: by DISPID).
int32_t AutoGetProperty(IDispatch* d, const char* name, DISPID id, DISPPARAMS* args, VARIANT* result);
int32_t AutoPutProperty(AutoClient* c, const char* name, DISPID id, DISPPARAMS* args, VARIANT* value);
// 0, -3 (no IDispatch in v) or -6.
int32_t AutoWrapDispatch(ObjectRecord* rec, const VARIANT* v);
void AutoDispatchToVariant(ObjectRecord* rec, VARIANT* v);
IDispatch* AutoDispatchVariantAddRef(AutoClient* c, VARIANT* v);
int32_t AutoInvokeMethod(AutoClient* c, const char* name, DISPID id, DISPPARAMS* args);
void AutoReleaseDispatch(AutoClient* c);
